#include "choice/tokenitem.h"

#include <algorithm>

#include "io/keyfacts.h"

bool TokenItem::has(CK_OBJECT_CLASS objectClass) const {
    return std::any_of(objects.begin(), objects.end(),
                       [&](const TokenObject& object) { return object.objectClass == objectClass; });
}

const ZEPKeyItem* TokenItem::privateKeyItem() const {
    if (pair) return &pair->getKeyItem();
    if (request) return &request->getPrivateKeyItem();
    return privateKey ? &*privateKey : nullptr;
}

std::string kindName(ItemKind kind) {
    switch (kind) {
        case ItemKind::pair: return "pair";
        case ItemKind::certificate: return "certificate";
        case ItemKind::request: return "request";
        case ItemKind::key: return "key";
        case ItemKind::other: break;
    }
    return "other";
}

std::string TokenItem::kindWords() const {
    if (kind == ItemKind::other) return "another object";
    if (kind == ItemKind::key && !privateKeyItem()) return "a public key";
    return "a " + kindName();
}

std::string TokenItem::shortName() const { return kindName() + (id.empty() ? " (no id)" : " " + lowerHex(id)); }
