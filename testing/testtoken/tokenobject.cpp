#include "tokenobject.h"

#include "cryptokierror.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace testtoken {

namespace {

constexpr std::array<CK_ATTRIBUTE_TYPE, 7> privateKeyComponents{
    CKA_PRIVATE_EXPONENT, CKA_PRIME_1, CKA_PRIME_2, CKA_EXPONENT_1, CKA_EXPONENT_2, CKA_COEFFICIENT, CKA_VALUE};

constexpr std::array<CK_ATTRIBUTE_TYPE, 5> fixedAttributes{CKA_CLASS, CKA_KEY_TYPE, CKA_TOKEN, CKA_PRIVATE,
                                                           CKA_MODIFIABLE};

template <std::size_t N>
bool contains(const std::array<CK_ATTRIBUTE_TYPE, N>& types, CK_ATTRIBUTE_TYPE type) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

// CKO_VENDOR_DEFINED when the class is missing or malformed.
CK_OBJECT_CLASS objectClass(const Attributes& attributes) {
    CK_OBJECT_CLASS value = CKO_VENDOR_DEFINED;
    const auto found = attributes.find(CKA_CLASS);
    if (found != attributes.end() && found->second.size() == sizeof value) {
        std::memcpy(&value, found->second.data(), sizeof value);
    }
    return value;
}

}  // namespace

TokenObject::TokenObject(Attributes attributes, bool tokenByDefault, CK_SESSION_HANDLE creator)
    : attributes_(std::move(attributes)) {
    const CK_OBJECT_CLASS kind = objectClass(attributes_);
    attributes_.try_emplace(CKA_TOKEN, boolValue(tokenByDefault));
    attributes_.try_emplace(CKA_PRIVATE, boolValue(kind == CKO_PRIVATE_KEY || kind == CKO_SECRET_KEY));
    attributes_.try_emplace(CKA_MODIFIABLE, boolValue(true));
    if (!isTokenObject()) {
        owner_ = creator;
    }
}

const AttributeValue* TokenObject::find(CK_ATTRIBUTE_TYPE type) const {
    const auto found = attributes_.find(type);
    return found == attributes_.end() ? nullptr : &found->second;
}

bool TokenObject::isSensitive(CK_ATTRIBUTE_TYPE type) const {
    const CK_OBJECT_CLASS kind = objectClass(attributes_);
    const bool component = kind == CKO_PRIVATE_KEY ? contains(privateKeyComponents, type)
                                                   : kind == CKO_SECRET_KEY && type == CKA_VALUE;
    const bool unextractable = find(CKA_EXTRACTABLE) != nullptr && !flag(CKA_EXTRACTABLE);
    return component && (flag(CKA_SENSITIVE) || unextractable);
}

bool TokenObject::matches(const Attributes& filter) const {
    return std::ranges::all_of(filter, [this](const auto& wanted) {
        const AttributeValue* value = find(wanted.first);
        return value != nullptr && *value == wanted.second;
    });
}

void TokenObject::modify(const Attributes& changes) {
    const bool allowed = flag(CKA_MODIFIABLE) && std::ranges::none_of(changes, [this](const auto& change) {
                             const AttributeValue* value = find(change.first);
                             return contains(fixedAttributes, change.first) && (!value || *value != change.second);
                         });
    if (!allowed) {
        throw CryptokiError(CKR_ATTRIBUTE_READ_ONLY);
    }
    for (const auto& [type, value] : changes) {
        attributes_.insert_or_assign(type, value);
    }
}

bool TokenObject::flag(CK_ATTRIBUTE_TYPE type) const {
    const AttributeValue* value = find(type);
    return value != nullptr && !value->empty() && value->front() != CK_FALSE;
}

}  // namespace testtoken
