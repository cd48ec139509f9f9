#include "attributetemplate.h"

#include <algorithm>
#include <cstring>
#include <ostream>

namespace {

struct AttributeDescription {
    CK_ATTRIBUTE_TYPE type;
    const char* name;
    AttributeKind kind;
};

constexpr AttributeDescription kAttributes[] = {
    {CKA_CLASS, "CKA_CLASS", ULong},
    {CKA_TOKEN, "CKA_TOKEN", Bool},
    {CKA_PRIVATE, "CKA_PRIVATE", Bool},
    {CKA_LABEL, "CKA_LABEL", String},
    {CKA_APPLICATION, "CKA_APPLICATION", String},
    {CKA_VALUE, "CKA_VALUE", Bytes},
    {CKA_CERTIFICATE_TYPE, "CKA_CERTIFICATE_TYPE", ULong},
    {CKA_ISSUER, "CKA_ISSUER", Bytes},
    {CKA_SERIAL_NUMBER, "CKA_SERIAL_NUMBER", Bytes},
    {CKA_KEY_TYPE, "CKA_KEY_TYPE", ULong},
    {CKA_SUBJECT, "CKA_SUBJECT", Bytes},
    {CKA_ID, "CKA_ID", Bytes},
    {CKA_SENSITIVE, "CKA_SENSITIVE", Bool},
    {CKA_ENCRYPT, "CKA_ENCRYPT", Bool},
    {CKA_DECRYPT, "CKA_DECRYPT", Bool},
    {CKA_WRAP, "CKA_WRAP", Bool},
    {CKA_UNWRAP, "CKA_UNWRAP", Bool},
    {CKA_SIGN, "CKA_SIGN", Bool},
    {CKA_SIGN_RECOVER, "CKA_SIGN_RECOVER", Bool},
    {CKA_VERIFY, "CKA_VERIFY", Bool},
    {CKA_VERIFY_RECOVER, "CKA_VERIFY_RECOVER", Bool},
    {CKA_DERIVE, "CKA_DERIVE", Bool},
    {CKA_START_DATE, "CKA_START_DATE", Date},
    {CKA_END_DATE, "CKA_END_DATE", Date},
    {CKA_MODULUS, "CKA_MODULUS", Bytes},
    {CKA_MODULUS_BITS, "CKA_MODULUS_BITS", ULong},
    {CKA_PUBLIC_EXPONENT, "CKA_PUBLIC_EXPONENT", Bytes},
    {CKA_PRIVATE_EXPONENT, "CKA_PRIVATE_EXPONENT", Bytes},
    {CKA_PRIME_1, "CKA_PRIME_1", Bytes},
    {CKA_PRIME_2, "CKA_PRIME_2", Bytes},
    {CKA_EXPONENT_1, "CKA_EXPONENT_1", Bytes},
    {CKA_EXPONENT_2, "CKA_EXPONENT_2", Bytes},
    {CKA_COEFFICIENT, "CKA_COEFFICIENT", Bytes},
    {CKA_PRIME, "CKA_PRIME", Bytes},
    {CKA_SUBPRIME, "CKA_SUBPRIME", Bytes},
    {CKA_BASE, "CKA_BASE", Bytes},
    // Counted as bytes here, not as a CK_ULONG.
    {CKA_VALUE_BITS, "CKA_VALUE_BITS", Bytes},
    {CKA_VALUE_LEN, "CKA_VALUE_LEN", ULong},
    {CKA_EXTRACTABLE, "CKA_EXTRACTABLE", Bool},
    {CKA_LOCAL, "CKA_LOCAL", Bool},
    {CKA_NEVER_EXTRACTABLE, "CKA_NEVER_EXTRACTABLE", Bool},
    {CKA_ALWAYS_SENSITIVE, "CKA_ALWAYS_SENSITIVE", Bool},
    {CKA_MODIFIABLE, "CKA_MODIFIABLE", Bool},
    {CKA_VENDOR_DEFINED, "CKA_VENDOR_DEFINED", Bytes},
};

constexpr size_t kNameWidth = 21;

const AttributeDescription* describe(CK_ATTRIBUTE_TYPE type) {
    for (const AttributeDescription& d : kAttributes)
        if (d.type == type) return &d;
    return nullptr;
}

// The symbolic name printed before the number of some CK_ULONG attributes.
const char* valueName(CK_ATTRIBUTE_TYPE type, CK_ULONG value) {
    switch (type) {
        case CKA_CLASS:
            switch (value) {
                case CKO_DATA: return "CKO_DATA  ";
                case CKO_CERTIFICATE: return "CKO_CERTIFICATE  ";
                case CKO_PUBLIC_KEY: return "CKO_PUBLIC_KEY  ";
                case CKO_PRIVATE_KEY: return "CKO_PRIVATE_KEY  ";
                case CKO_SECRET_KEY: return "CKO_SECRET_KEY  ";
                default: return "CKO_VENDOR_DEFINED  ";
            }
        case CKA_KEY_TYPE:
            switch (value) {
                case CKK_RSA: return "CKK_RSA  ";
                case CKK_DSA: return "CKK_DSA  ";
                case CKK_DH: return "CKK_DH  ";
                default: return "OTHER  ";
            }
        case CKA_CERTIFICATE_TYPE: return value == CKC_X_509 ? "CKC_X_509  " : "CKC_VENDOR_DEFINED  ";
        default: return "";
    }
}

void printDate(std::ostream& out, const ZEPBuffer& value) {
    const char* date = reinterpret_cast<const char*>(value.getValue());
    if (value.getLength() < 8 || date[0] < '1' || date[0] > '9') {
        out << "yyyy/mm/dd";
        return;
    }
    out.write(date, 4) << '/';
    out.write(date + 4, 2) << '/';
    out.write(date + 6, 2);
}

void printValue(std::ostream& out, CK_ATTRIBUTE_TYPE type, const AttributeTemplate& attributes) {
    ZEPBuffer value;
    attributes.getAttribute(type, value);
    switch (getAttributeKind(type)) {
        case ULong: {
            CK_ULONG number = 0;
            attributes.getAttribute(type, number);
            out << valueName(type, number) << std::dec << number << " (0x" << std::hex << number << std::dec << ")";
            break;
        }
        case Bool: out << (value.getLength() && value.getValue()[0] ? "true" : "false"); break;
        case String: out.write(reinterpret_cast<const char*>(value.getValue()), value.getLength()); break;
        case Bytes: out << "\n  > " << value; break;
        case Date: printDate(out, value); break;
        case Unknown: break;
    }
}

}  // namespace

AttributeKind getAttributeKind(CK_ATTRIBUTE_TYPE type) {
    const AttributeDescription* d = describe(type);
    return d ? d->kind : Unknown;
}

ZEPString getAttributeName(CK_ATTRIBUTE_TYPE type) {
    const AttributeDescription* d = describe(type);
    std::string name = d ? d->name : "CKA_?_?_?";
    name.resize(kNameWidth, ' ');
    return ZEPString(std::move(name));
}

void AttributeTemplate::addAttribute(CK_ATTRIBUTE_TYPE type) {
    switch (getAttributeKind(type)) {
        case ULong: values_[type] = ZEPBuffer(sizeof(CK_ULONG), nullptr); break;
        case Bool: values_[type] = ZEPBuffer(sizeof(CK_BBOOL), nullptr); break;
        default: values_[type] = ZEPBuffer(); break;
    }
}

void AttributeTemplate::setAttribute(CK_ATTRIBUTE_TYPE type, const ZEPBuffer& value) { values_[type] = value; }

void AttributeTemplate::setAttribute(CK_ATTRIBUTE_TYPE type, const ZEPString& value) {
    values_[type] = ZEPBuffer(value);
}

void AttributeTemplate::setAttribute(CK_ATTRIBUTE_TYPE type, CK_ULONG value) {
    values_[type] = ZEPBuffer(sizeof value, &value);
}

void AttributeTemplate::setAttribute(CK_ATTRIBUTE_TYPE type, int32_t truthValue) {
    CK_BBOOL value = truthValue == 1 ? CK_TRUE : CK_FALSE;
    values_[type] = ZEPBuffer(sizeof value, &value);
}

void AttributeTemplate::setAttribute(CK_ATTRIBUTE_TYPE type, const void* bytes, size_t length) {
    values_[type] = ZEPBuffer(length, bytes);
}

bool AttributeTemplate::getAttribute(CK_ATTRIBUTE_TYPE type, ZEPString& out) const {
    auto it = values_.find(type);
    if (it == values_.end()) return false;
    out.assign(reinterpret_cast<const char*>(it->second.getValue()), it->second.getLength());
    return true;
}

bool AttributeTemplate::getAttribute(CK_ATTRIBUTE_TYPE type, ZEPBuffer& out) const {
    auto it = values_.find(type);
    if (it == values_.end()) return false;
    out = it->second;
    return true;
}

bool AttributeTemplate::getAttribute(CK_ATTRIBUTE_TYPE type, CK_ULONG& out) const {
    auto it = values_.find(type);
    if (it == values_.end()) return false;
    // A short value is read as far as it goes, never past its end.
    CK_ULONG value = 0;
    std::memcpy(&value, it->second.getValue(), std::min(sizeof value, it->second.getLength()));
    out = value;
    return true;
}

bool AttributeTemplate::getAttribute(CK_ATTRIBUTE_TYPE type, int32_t& truthValue) const {
    auto it = values_.find(type);
    if (it == values_.end()) return false;
    truthValue = it->second.getLength() && it->second.getValue()[0] ? 1 : 0;
    return true;
}

void AttributeTemplate::toArray(std::unique_ptr<CK_ATTRIBUTE[]>& array) {
    if (values_.empty()) return;
    auto attributes = std::make_unique<CK_ATTRIBUTE[]>(values_.size());
    size_t i = 0;
    for (auto& [type, value] : values_) {
        attributes[i].type = type;
        attributes[i].pValue = value.getValue();
        attributes[i].ulValueLen = value.getLength();
        ++i;
    }
    array = std::move(attributes);
}

std::ostream& operator<<(std::ostream& out, const AttributeTemplate& attributes) {
    const AttributeTemplate copy(attributes);
    for (const auto& entry : copy.values()) {
        out << " Attribute: " << getAttributeName(entry.first) << "\t" << "     Value: ";
        printValue(out, entry.first, copy);
        out << std::endl;
    }
    return out;
}
