#include "asn/zepasnoid.h"

#include "asn/asn_string.h"

#define ZEP_OID(name, ...)                                       \
    const unsigned long ZEPASNOID::name[] = {__VA_ARGS__};       \
    const unsigned ZEPASNOID::name##_COUNT = sizeof(ZEPASNOID::name) / sizeof(unsigned long);

ZEP_OID(VALUE_RSA, 1, 2, 840, 113549, 1, 1, 1)
ZEP_OID(VALUE_MD5WithRSA, 1, 2, 840, 113549, 1, 1, 4)
ZEP_OID(VALUE_SHA1WithRSA, 1, 2, 840, 113549, 1, 1, 5)
ZEP_OID(VALUE_SHA256WithRSA, 1, 2, 840, 113549, 1, 1, 11)
ZEP_OID(VALUE_SHA1DigestAlgorithm, 1, 3, 14, 3, 2, 26)
ZEP_OID(VALUE_MD5DigestAlgorithm, 1, 2, 840, 113549, 2, 5)

ZEP_OID(VALUE_CommonName, 2, 5, 4, 3)
ZEP_OID(VALUE_Surname, 2, 5, 4, 4)
ZEP_OID(VALUE_SerialNumber, 2, 5, 4, 5)
ZEP_OID(VALUE_Country, 2, 5, 4, 6)
ZEP_OID(VALUE_Locality, 2, 5, 4, 7)
ZEP_OID(VALUE_StateOrProvince, 2, 5, 4, 8)
ZEP_OID(VALUE_Street, 2, 5, 4, 9)
ZEP_OID(VALUE_Organization, 2, 5, 4, 10)
ZEP_OID(VALUE_OrganizationalUnit, 2, 5, 4, 11)
ZEP_OID(VALUE_Title, 2, 5, 4, 12)
ZEP_OID(VALUE_GivenName, 2, 5, 4, 42)
ZEP_OID(VALUE_EmailAddress, 1, 2, 840, 113549, 1, 9, 1)
ZEP_OID(VALUE_DomainComponent, 0, 9, 2342, 19200300, 100, 1, 25)

ZEP_OID(VALUE_SHA224DigestAlgorithm, 2, 16, 840, 1, 101, 3, 4, 2, 4)
ZEP_OID(VALUE_SHA256DigestAlgorithm, 2, 16, 840, 1, 101, 3, 4, 2, 1)
ZEP_OID(VALUE_SHA384DigestAlgorithm, 2, 16, 840, 1, 101, 3, 4, 2, 2)
ZEP_OID(VALUE_SHA512DigestAlgorithm, 2, 16, 840, 1, 101, 3, 4, 2, 3)
ZEP_OID(VALUE_SHA224WithRSA, 1, 2, 840, 113549, 1, 1, 14)
ZEP_OID(VALUE_SHA384WithRSA, 1, 2, 840, 113549, 1, 1, 12)
ZEP_OID(VALUE_SHA512WithRSA, 1, 2, 840, 113549, 1, 1, 13)
ZEP_OID(VALUE_RSASSAPSS, 1, 2, 840, 113549, 1, 1, 10)
ZEP_OID(VALUE_MGF1, 1, 2, 840, 113549, 1, 1, 8)
ZEP_OID(VALUE_ECPublicKey, 1, 2, 840, 10045, 2, 1)
ZEP_OID(VALUE_Prime256v1, 1, 2, 840, 10045, 3, 1, 7)
ZEP_OID(VALUE_Secp384r1, 1, 3, 132, 0, 34)
ZEP_OID(VALUE_Secp521r1, 1, 3, 132, 0, 35)
ZEP_OID(VALUE_ECDSAWithSHA256, 1, 2, 840, 10045, 4, 3, 2)
ZEP_OID(VALUE_ECDSAWithSHA384, 1, 2, 840, 10045, 4, 3, 3)
ZEP_OID(VALUE_ECDSAWithSHA512, 1, 2, 840, 10045, 4, 3, 4)

namespace {

struct attribute_name {
    const char* oid;
    const char* name;
    unsigned long stringTag;
};

// Short names as RFC 4514 and common tools print them.
const attribute_name attributeNames[] = {
    {"2.5.4.3", "CN", asn_string::UTF8},
    {"2.5.4.4", "SN", asn_string::UTF8},
    {"2.5.4.5", "serialNumber", asn_string::PRINTABLE},
    {"2.5.4.6", "C", asn_string::PRINTABLE},
    {"2.5.4.7", "L", asn_string::UTF8},
    {"2.5.4.8", "ST", asn_string::UTF8},
    {"2.5.4.9", "street", asn_string::UTF8},
    {"2.5.4.10", "O", asn_string::UTF8},
    {"2.5.4.11", "OU", asn_string::UTF8},
    {"2.5.4.12", "title", asn_string::UTF8},
    {"2.5.4.13", "description", asn_string::UTF8},
    {"2.5.4.17", "postalCode", asn_string::UTF8},
    {"2.5.4.41", "name", asn_string::UTF8},
    {"2.5.4.42", "GN", asn_string::UTF8},
    {"2.5.4.43", "initials", asn_string::UTF8},
    {"2.5.4.44", "generationQualifier", asn_string::UTF8},
    {"2.5.4.46", "dnQualifier", asn_string::PRINTABLE},
    {"2.5.4.65", "pseudonym", asn_string::UTF8},
    {"1.2.840.113549.1.9.1", "emailAddress", asn_string::IA5},
    // Read as emailAddress too; names are printed with the first entry's.
    {"1.2.840.113549.1.9.1", "E", asn_string::IA5},
    {"0.9.2342.19200300.100.1.1", "UID", asn_string::UTF8},
    {"0.9.2342.19200300.100.1.25", "DC", asn_string::IA5},
};

const attribute_name* find_oid(const std::string& oid) {
    for (const attribute_name& entry : attributeNames)
        if (oid == entry.oid) return &entry;
    return nullptr;
}

bool equal_ignoring_case(const std::string& text, const char* name) {
    size_t i = 0;
    for (; i < text.size() && name[i]; ++i) {
        char a = text[i], b = name[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return i == text.size() && name[i] == 0;
}

}  // namespace

std::string ZEPASNOID::attributeShortName(const std::string& dottedOid) {
    const attribute_name* entry = find_oid(dottedOid);
    return entry ? entry->name : "";
}

std::string ZEPASNOID::attributeOid(const std::string& shortName) {
    for (const attribute_name& entry : attributeNames)
        if (equal_ignoring_case(shortName, entry.name)) return entry.oid;
    return "";
}

unsigned long ZEPASNOID::attributeStringTag(const std::string& dottedOid) {
    const attribute_name* entry = find_oid(dottedOid);
    return entry ? entry->stringTag : asn_string::UTF8;
}
