#include "asn/zeppem.h"

#include <string_view>

#include "asn/zepasnutility.h"
#include "asn/zepbase64.h"
#include "zepexception.h"
#include "zeptrace.h"

namespace {

std::string boundary(const char* kind, const char* label) { return std::string("-----") + kind + " " + label + "-----"; }

}  // namespace

std::string ZEPPEM::encode(const ZEPBuffer& der, const char* label) {
    return boundary("BEGIN", label) + "\n" + ZEPBase64::encode(der, 64) + "\n" + boundary("END", label) + "\n";
}

ZEPBuffer ZEPPEM::decode(const ZEPBuffer& input, const char* label) {
    if (input.getLength() > 0 && input.getValue()[0] == 0x30) return input;
    // A view of the input, not a copy: the block may be a private key.
    const std::string_view text(reinterpret_cast<const char*>(input.getValue()), input.getLength());
    const std::string begin = boundary("BEGIN", label), end = boundary("END", label);
    size_t start = text.find(begin);
    // The BEGIN line must stand at the start of a line.
    while (start != std::string_view::npos && start > 0 && text[start - 1] != '\n') start = text.find(begin, start + 1);
    size_t stop = start == std::string_view::npos ? start : text.find(end, start + begin.size());
    ZEPBuffer der;
    if (stop == std::string_view::npos ||
        !ZEPBase64::decode(text.substr(start + begin.size(), stop - start - begin.size()), der) || der.empty())
        throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, ZEPString("no valid PEM block ") + label);
    return der;
}

std::string ZEPPEM::write(const asn_object& object, const char* label) {
    return encode(ZEPASNUtility::getDEREncoding(object), label);
}

void ZEPPEM::read(const ZEPBuffer& input, const char* label, asn_object& object) {
    ZEPASNUtility::setDEREncoding(decode(input, label), object);
}
