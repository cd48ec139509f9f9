// Owned character strings and constant string references of the toolkit.
#ifndef MERVIL_ZEPSTRING_H
#define MERVIL_ZEPSTRING_H

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

// A reference to characters that outlive it (typically a literal).
class ZEPConstString {
public:
    constexpr ZEPConstString(const char* text) : text_(text ? text : "") {}
    const char* c_str() const { return text_; }
    size_t size() const { return std::char_traits<char>::length(text_); }

private:
    const char* text_;
};

// An owned string of characters; may hold embedded zero bytes.
class ZEPString {
public:
    static constexpr size_t npos = std::string::npos;

    ZEPString() = default;
    ZEPString(const char* text);
    ZEPString(const char* chars, size_t length);
    ZEPString(const ZEPConstString& text);
    ZEPString(const ZEPString& source, size_t start, size_t count = npos);
    explicit ZEPString(std::string text) : text_(std::move(text)) {}

    const char* c_str() const { return text_.c_str(); }
    size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }

    // 0 when both strings hold exactly the same characters; otherwise the
    // sign of the first difference.
    int compare(const ZEPString& other) const;

    ZEPString& assign(const char* chars, size_t length);
    ZEPString& operator+=(const ZEPString& other);
    ZEPString& operator+=(const char* text);

    bool operator==(const ZEPString& other) const { return text_ == other.text_; }
    bool operator!=(const ZEPString& other) const { return text_ != other.text_; }

    void display(std::ostream& out) const;
    const std::string& str() const { return text_; }
    std::string_view view() const { return text_; }

private:
    std::string text_;
};

inline ZEPString operator+(ZEPString left, const char* right) { return left += right; }
inline ZEPString operator+(ZEPString left, const ZEPString& right) { return left += right; }

std::ostream& operator<<(std::ostream& out, const ZEPString& text);

#endif
