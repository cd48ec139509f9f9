#include "zepstring.h"

#include <ostream>

ZEPString::ZEPString(const char* text) : text_(text ? text : "") {}

ZEPString::ZEPString(const char* chars, size_t length) : text_(chars ? std::string(chars, length) : std::string()) {}

ZEPString::ZEPString(const ZEPConstString& text) : text_(text.c_str()) {}

ZEPString::ZEPString(const ZEPString& source, size_t start, size_t count)
    : text_(start <= source.text_.size() ? source.text_.substr(start, count) : std::string()) {}

int ZEPString::compare(const ZEPString& other) const {
    int order = text_.compare(other.text_);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

ZEPString& ZEPString::assign(const char* chars, size_t length) {
    if (chars)
        text_.assign(chars, length);
    else
        text_.clear();
    return *this;
}

ZEPString& ZEPString::operator+=(const ZEPString& other) {
    text_ += other.text_;
    return *this;
}

ZEPString& ZEPString::operator+=(const char* text) {
    if (text) text_ += text;
    return *this;
}

void ZEPString::display(std::ostream& out) const { out.write(text_.data(), static_cast<std::streamsize>(text_.size())); }

std::ostream& operator<<(std::ostream& out, const ZEPString& text) {
    text.display(out);
    return out;
}
