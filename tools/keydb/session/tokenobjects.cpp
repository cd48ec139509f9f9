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
    const auto fits = [&](const TokenObject& object) {
        return object.isPublicKeyOf(key) && labelText(object.label) == text;
    };
    const TokenObject* found =
        find([&](const TokenObject& object) { return fits(object) && lowerHex(object.id) == key.keyId; });
    if (!found) found = find(fits);
    return found ? std::optional(found->id) : std::nullopt;
}

std::optional<ZEPBuffer> TokenObjects::privateKeyModulus(const ZEPBuffer& id, const ZEPBuffer& label) const {
    const std::string text = labelText(label);
    const TokenObject* found = find([&](const TokenObject& object) {
        return object.objectClass == CKO_PRIVATE_KEY && !object.modulus.empty() && bytes(object.id) == bytes(id) &&
               labelText(object.label) == text;
    });
    return found ? std::optional(found->modulus) : std::nullopt;
}

std::vector<TokenObject> TokenObjects::others(const std::function<bool(const TokenObject&)>& fits) const {
    std::vector<TokenObject> result;
    for (const TokenObject& object : objects_)
        if (!object.isKeyDatabaseItem() && fits(object)) result.push_back(object);
    return result;
}
