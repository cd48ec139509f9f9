// The character string types. The content octets are kept as read; the
// text is given and taken as UTF-8, converted by the type's character set:
// UTF8String as is, BMPString (UCS-2) and UniversalString (UCS-4) by code
// point, TeletexString as Latin-1, the ASCII subsets byte for byte. A
// UTF8String reads and stores any octets; get_text refuses those that are
// no UTF-8.
#ifndef MERVIL_ASN_STRING_H
#define MERVIL_ASN_STRING_H

#include <string>

#include "asn/asn_primitive.h"

class asn_string : public asn_primitive {
public:
    enum string_tag : unsigned long {
        UTF8 = 12, NUMERIC = 18, PRINTABLE = 19, TELETEX = 20, IA5 = 22, VISIBLE = 26, UNIVERSAL = 28, BMP = 30
    };

    // The value as UTF-8.
    int get_text(std::string& utf8) const;
    // ASN_BAD_ARGUMENT when `utf8` is no UTF-8 or has characters outside
    // the type's character set.
    int set_text(const std::string& utf8);
    // The raw content octets as the value (a UTF8String keeps a label's
    // bytes this way, whatever their encoding); checked like decoded
    // content.
    int set_value(const unsigned char* bytes, size_t length);

    static bool is_string_tag(unsigned long tag);
    // Text of content octets of a string type `tag`.
    static int text_of(unsigned long tag, const unsigned char* content, size_t length, std::string& utf8);

protected:
    asn_string(unsigned long tag, int security) : asn_primitive(tag, security) {}
    int check_content(const unsigned char* content, size_t length) const override;
};

template <unsigned long Tag>
class asn_string_of : public asn_string {
public:
    explicit asn_string_of(int security = 0) : asn_string(Tag, security) {}
};

using asn_UTF8String = asn_string_of<asn_string::UTF8>;
using asn_NumericString = asn_string_of<asn_string::NUMERIC>;
using asn_PrintableString = asn_string_of<asn_string::PRINTABLE>;
using asn_TeletexString = asn_string_of<asn_string::TELETEX>;
using asn_T61String = asn_TeletexString;
using asn_IA5String = asn_string_of<asn_string::IA5>;
using asn_VisibleString = asn_string_of<asn_string::VISIBLE>;
using asn_UniversalString = asn_string_of<asn_string::UNIVERSAL>;
using asn_BMPString = asn_string_of<asn_string::BMP>;

#endif
