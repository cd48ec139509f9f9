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
    {CKA_CLASS, "CKA_CLASS", AttributeKind::ULong},
    {CKA_TOKEN, "CKA_TOKEN", AttributeKind::Bool},
    {CKA_PRIVATE, "CKA_PRIVATE", AttributeKind::Bool},
    {CKA_LABEL, "CKA_LABEL", AttributeKind::String},
    {CKA_APPLICATION, "CKA_APPLICATION", AttributeKind::String},
    {CKA_VALUE, "CKA_VALUE", AttributeKind::Bytes},
    {CKA_CERTIFICATE_TYPE, "CKA_CERTIFICATE_TYPE", AttributeKind::ULong},
    {CKA_ISSUER, "CKA_ISSUER", AttributeKind::Bytes},
    {CKA_SERIAL_NUMBER, "CKA_SERIAL_NUMBER", AttributeKind::Bytes},
    {CKA_KEY_TYPE, "CKA_KEY_TYPE", AttributeKind::ULong},
    {CKA_SUBJECT, "CKA_SUBJECT", AttributeKind::Bytes},
    {CKA_ID, "CKA_ID", AttributeKind::Bytes},
    {CKA_SENSITIVE, "CKA_SENSITIVE", AttributeKind::Bool},
    {CKA_ENCRYPT, "CKA_ENCRYPT", AttributeKind::Bool},
    {CKA_DECRYPT, "CKA_DECRYPT", AttributeKind::Bool},
    {CKA_WRAP, "CKA_WRAP", AttributeKind::Bool},
    {CKA_UNWRAP, "CKA_UNWRAP", AttributeKind::Bool},
    {CKA_SIGN, "CKA_SIGN", AttributeKind::Bool},
    {CKA_SIGN_RECOVER, "CKA_SIGN_RECOVER", AttributeKind::Bool},
    {CKA_VERIFY, "CKA_VERIFY", AttributeKind::Bool},
    {CKA_VERIFY_RECOVER, "CKA_VERIFY_RECOVER", AttributeKind::Bool},
    {CKA_DERIVE, "CKA_DERIVE", AttributeKind::Bool},
    {CKA_START_DATE, "CKA_START_DATE", AttributeKind::Date},
    {CKA_END_DATE, "CKA_END_DATE", AttributeKind::Date},
    {CKA_MODULUS, "CKA_MODULUS", AttributeKind::Bytes},
    {CKA_MODULUS_BITS, "CKA_MODULUS_BITS", AttributeKind::ULong},
    {CKA_PUBLIC_EXPONENT, "CKA_PUBLIC_EXPONENT", AttributeKind::Bytes},
    {CKA_PRIVATE_EXPONENT, "CKA_PRIVATE_EXPONENT", AttributeKind::Bytes},
    {CKA_PRIME_1, "CKA_PRIME_1", AttributeKind::Bytes},
    {CKA_PRIME_2, "CKA_PRIME_2", AttributeKind::Bytes},
    {CKA_EXPONENT_1, "CKA_EXPONENT_1", AttributeKind::Bytes},
    {CKA_EXPONENT_2, "CKA_EXPONENT_2", AttributeKind::Bytes},
    {CKA_COEFFICIENT, "CKA_COEFFICIENT", AttributeKind::Bytes},
    {CKA_PRIME, "CKA_PRIME", AttributeKind::Bytes},
    {CKA_SUBPRIME, "CKA_SUBPRIME", AttributeKind::Bytes},
    {CKA_BASE, "CKA_BASE", AttributeKind::Bytes},
    // Counted as bytes here, not as a CK_ULONG.
    {CKA_VALUE_BITS, "CKA_VALUE_BITS", AttributeKind::Bytes},
    {CKA_VALUE_LEN, "CKA_VALUE_LEN", AttributeKind::ULong},
    {CKA_EXTRACTABLE, "CKA_EXTRACTABLE", AttributeKind::Bool},
    {CKA_LOCAL, "CKA_LOCAL", AttributeKind::Bool},
    {CKA_NEVER_EXTRACTABLE, "CKA_NEVER_EXTRACTABLE", AttributeKind::Bool},
    {CKA_ALWAYS_SENSITIVE, "CKA_ALWAYS_SENSITIVE", AttributeKind::Bool},
    {CKA_MODIFIABLE, "CKA_MODIFIABLE", AttributeKind::Bool},
    {CKA_VENDOR_DEFINED, "CKA_VENDOR_DEFINED", AttributeKind::Bytes},
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
        case AttributeKind::ULong: {
            CK_ULONG number = 0;
            attributes.getAttribute(type, number);
            out << valueName(type, number) << std::dec << number << " (0x" << std::hex << number << std::dec << ")";
            break;
        }
        case AttributeKind::Bool: out << (value.getLength() && value.getValue()[0] ? "true" : "false"); break;
        case AttributeKind::String: out.write(reinterpret_cast<const char*>(value.getValue()), value.getLength()); break;
        case AttributeKind::Bytes: out << "\n  > " << value; break;
        case AttributeKind::Date: printDate(out, value); break;
        case AttributeKind::Unknown: break;
    }
}

}  // namespace

AttributeKind getAttributeKind(CK_ATTRIBUTE_TYPE type) {
    const AttributeDescription* d = describe(type);
    return d ? d->kind : AttributeKind::Unknown;
}

ZEPString getAttributeName(CK_ATTRIBUTE_TYPE type) {
    const AttributeDescription* d = describe(type);
    std::string name = d ? d->name : "CKA_?_?_?";
    name.resize(kNameWidth, ' ');
    return ZEPString(std::move(name));
}

void AttributeTemplate::addAttribute(CK_ATTRIBUTE_TYPE type) {
    switch (getAttributeKind(type)) {
        case AttributeKind::ULong: values_[type] = ZEPBuffer(sizeof(CK_ULONG), nullptr); break;
        case AttributeKind::Bool: values_[type] = ZEPBuffer(sizeof(CK_BBOOL), nullptr); break;
        default: values_[type] = ZEPBuffer(); break;
    }
}

void AttributeTemplate::setAttribute(CK_ATTRIBUTE_TYPE type, const ZEPBuffer& value) { values_[type] = value; }

void AttributeTemplate::setAttribute(CK_ATTRIBUTE_TYPE type, const void* bytes, size_t length) {
    values_[type] = ZEPBuffer(length, bytes);
}

void AttributeTemplate::setULong(CK_ATTRIBUTE_TYPE type, CK_ULONG value) { setAttribute(type, &value, sizeof value); }

void AttributeTemplate::setBool(CK_ATTRIBUTE_TYPE type, bool value) {
    const CK_BBOOL stored = value ? CK_TRUE : CK_FALSE;
    setAttribute(type, &stored, sizeof stored);
}

void AttributeTemplate::setText(CK_ATTRIBUTE_TYPE type, const ZEPString& value) { values_[type] = ZEPBuffer(value); }

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
    // A short value is read as far as it goes, never past its end; an empty
    // one has no bytes (nor a pointer) to copy.
    CK_ULONG value = 0;
    const size_t length = std::min(sizeof value, it->second.getLength());
    if (length != 0) std::memcpy(&value, it->second.getValue(), length);
    out = value;
    return true;
}

bool AttributeTemplate::getAttribute(CK_ATTRIBUTE_TYPE type, bool& out) const {
    auto it = values_.find(type);
    if (it == values_.end()) return false;
    out = it->second.getLength() && it->second.getValue()[0];
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
