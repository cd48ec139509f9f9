// One thing on a token that a command can name: a key+certificate pair, a
// pending request, a certificate of no pair, a key (the private and public
// key objects of one CKA_ID and label that belong to no pair or request) or
// other objects (those of one CKA_ID and label that the key database makes
// no item of). A pair is its certificate, its private key and its public
// key; a request is its two keys.
#ifndef KEYDB_TOKENITEM_H
#define KEYDB_TOKENITEM_H

#include <optional>
#include <string>
#include <vector>

#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "session/tokenobject.h"

enum class ItemKind { pair, certificate, request, key, other };

// "pair", "certificate", "request", "key", "other", as reports name them.
std::string kindName(ItemKind kind);

struct TokenItem {
    ItemKind kind = ItemKind::other;
    // As labelText shows it.
    std::string label;
    ZEPBuffer id;
    // The token objects it is made of.
    std::vector<TokenObject> objects;
    // The key database's items behind it: a pair's, a request's, and a key's
    // private and public key (when it has one).
    std::optional<ZEPKeyCertItem> pair;
    std::optional<ZEPKeyCertReqItem> request;
    std::optional<ZEPKeyItem> privateKey;
    std::optional<ZEPKeyItem> publicKey;

    // Whether one of its objects is of the class.
    bool has(CK_OBJECT_CLASS objectClass) const;
    // The private key item of a pair, a request or a key; null when it has
    // none.
    const ZEPKeyItem* privateKeyItem() const;
    std::string kindName() const { return ::kindName(kind); }
    // The kind with its article, for sentences: "a pair", "a public key",
    // "another object".
    std::string kindWords() const;
    // "key 01ab", "other (no id)": its kind and id, to tell it apart.
    std::string shortName() const;
};

#endif
