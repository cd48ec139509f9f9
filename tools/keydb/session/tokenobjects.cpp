#include "session/tokenobjects.h"

#include "io/itemdescription.h"

namespace {

std::string_view bytes(const ZEPBuffer& buffer) {
    return {reinterpret_cast<const char*>(buffer.getValue()), buffer.getLength()};
}

}  // namespace

const TokenObject* TokenObjects::find(const std::function<bool(const TokenObject&)>& fits) const {
    for (const TokenObject& object : objects_)
        if (fits(object)) return &object;
    return nullptr;
}

std::optional<ZEPBuffer> TokenObjects::certificateId(const ZEPBuffer& der, const ZEPBuffer& label) const {
    const std::string text = labelText(label);
    const TokenObject* found = find([&](const TokenObject& object) {
        return object.objectClass == CKO_CERTIFICATE && bytes(object.value) == bytes(der) &&
               labelText(object.label) == text;
    });
    return found ? std::optional(found->id) : std::nullopt;
}

std::optional<ZEPBuffer> TokenObjects::publicKeyId(const PublicKeyFacts& key, const ZEPBuffer& label) const {
    const std::string text = labelText(label);
    const TokenObject* found = find(
        [&](const TokenObject& object) { return object.isPublicKeyOf(key) && labelText(object.label) == text; });
    return found ? std::optional(found->id) : std::nullopt;
}

std::string TokenObjects::privateKeyId(const ZEPBuffer& id, const ZEPBuffer& label, CK_KEY_TYPE keyType) const {
    const std::string text = labelText(label);
    const CK_OBJECT_CLASS holder = keyType == CKK_EC ? CKO_PUBLIC_KEY : CKO_PRIVATE_KEY;
    const TokenObject* found = find([&](const TokenObject& object) {
        return object.objectClass == holder && object.keyType == keyType && bytes(object.id) == bytes(id) &&
               labelText(object.label) == text && !object.keyId().empty();
    });
    return found ? found->keyId() : "";
}

std::vector<TokenObject> TokenObjects::others(const std::function<bool(const TokenObject&)>& fits) const {
    std::vector<TokenObject> result;
    for (const TokenObject& object : objects_)
        if (!object.isKeyDatabaseItem() && fits(object)) result.push_back(object);
    return result;
}
