#include "session/tokenobject.h"

#include <cstdio>
#include <map>
#include <string_view>

namespace {

std::string hexValue(CK_ULONG value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(value));
    return text;
}

std::string nameOf(const std::map<CK_ULONG, const char*>& names, CK_ULONG value) {
    auto found = names.find(value);
    return found != names.end() ? found->second : hexValue(value);
}

constexpr CK_OBJECT_CLASS otpKeyClass = 8;

std::string_view bytes(const ZEPBuffer& buffer) {
    return {reinterpret_cast<const char*>(buffer.getValue()), buffer.getLength()};
}

std::string_view withoutLeadingZeros(const ZEPBuffer& number) {
    std::string_view digits = bytes(number);
    while (!digits.empty() && digits.front() == '\0') digits.remove_prefix(1);
    return digits;
}

}  // namespace

bool TokenObject::isKey() const {
    return objectClass == CKO_PRIVATE_KEY || objectClass == CKO_PUBLIC_KEY || objectClass == CKO_SECRET_KEY ||
           objectClass == otpKeyClass;
}

std::string TokenObject::className() const {
    static const std::map<CK_ULONG, const char*> names = {
        {CKO_DATA, "data"},          {CKO_CERTIFICATE, "certificate"}, {CKO_PUBLIC_KEY, "public-key"},
        {CKO_PRIVATE_KEY, "private-key"}, {CKO_SECRET_KEY, "secret-key"}, {5, "hw-feature"},
        {6, "domain-parameters"},    {7, "mechanism"},                 {otpKeyClass, "otp-key"},
    };
    return nameOf(names, objectClass);
}

std::string TokenObject::keyTypeName() const {
    // The key types of PKCS#11 v2.40 by their CKK_ names.
    static const std::map<CK_ULONG, const char*> names = {
        {0x00, "RSA"},       {0x01, "DSA"},        {0x02, "DH"},          {0x03, "EC"},
        {0x04, "X9_42_DH"},  {0x05, "KEA"},        {0x10, "GENERIC_SECRET"}, {0x11, "RC2"},
        {0x12, "RC4"},       {0x13, "DES"},        {0x14, "DES2"},        {0x15, "DES3"},
        {0x16, "CAST"},      {0x17, "CAST3"},      {0x18, "CAST128"},     {0x19, "RC5"},
        {0x1A, "IDEA"},      {0x1B, "SKIPJACK"},   {0x1C, "BATON"},       {0x1D, "JUNIPER"},
        {0x1E, "CDMF"},      {0x1F, "AES"},        {0x20, "BLOWFISH"},    {0x21, "TWOFISH"},
        {0x22, "SECURID"},   {0x23, "HOTP"},       {0x24, "ACTI"},        {0x25, "CAMELLIA"},
        {0x26, "ARIA"},      {0x30, "GOSTR3410"},  {0x31, "GOSTR3411"},   {0x32, "GOST28147"},
        {0x40, "EC_EDWARDS"}, {0x41, "EC_MONTGOMERY"},
    };
    if (!isKey() || keyType == CK_UNAVAILABLE_INFORMATION) return "";
    return nameOf(names, keyType);
}

bool TokenObject::isPublicKeyOf(const PublicKeyFacts& key) const {
    if (objectClass != CKO_PUBLIC_KEY) return false;
    if (key.algorithm == "EC") return !ecPoint.empty() && bytes(ecPoint) == bytes(key.point);
    return !modulus.empty() && withoutLeadingZeros(modulus) == withoutLeadingZeros(key.modulus);
}

std::string TokenObject::keyId() const {
    if (!modulus.empty()) return modulusKeyId(modulus);
    return ecPoint.empty() ? "" : ecKeyId(ecPoint);
}

bool TokenObject::isKeyDatabaseItem() const {
    if (!damage.empty()) return false;
    if (objectClass == CKO_PRIVATE_KEY || objectClass == CKO_PUBLIC_KEY) return keyType == CKK_RSA || keyType == CKK_EC;
    if (objectClass != CKO_CERTIFICATE) return false;
    try {
        return CertificateFacts::ofDER(value).key.isKeyDatabaseKey();
    } catch (const std::exception&) {
        return false;
    }
}
