// Every object of one token, as the module lists them, and what keydb looks
// up in them: the CKA_ID and modulus of the objects behind key database
// items, whose items do not carry them, and the objects the key database
// makes no items of.
#ifndef KEYDB_TOKENOBJECTS_H
#define KEYDB_TOKENOBJECTS_H

#include <functional>
#include <optional>
#include <vector>

#include "session/tokenobject.h"

class TokenObjects {
public:
    explicit TokenObjects(std::vector<TokenObject> objects) : objects_(std::move(objects)) {}

    // In the token's order.
    const std::vector<TokenObject>& all() const { return objects_; }

    // The first object that `fits`, in the token's order.
    const TokenObject* find(const std::function<bool(const TokenObject&)>& fits) const;
    // Labels compare as labelText shows them.
    // The CKA_ID of the first certificate with this DER and label.
    std::optional<ZEPBuffer> certificateId(const ZEPBuffer& der, const ZEPBuffer& label) const;
    // The CKA_ID of the first public key object of `key` with this label
    // (see TokenObject::isPublicKeyOf).
    std::optional<ZEPBuffer> publicKeyId(const PublicKeyFacts& key, const ZEPBuffer& label) const;
    // The key id of the private key of this CKA_ID, label and key type: its
    // modulus's for an RSA key, for an EC key the point's of its public key
    // object (of the same CKA_ID and label), as an EC private key object
    // holds no point; empty when there is none.
    std::string privateKeyId(const ZEPBuffer& id, const ZEPBuffer& label, CK_KEY_TYPE keyType) const;
    // The objects the key database makes no items of that `fits`.
    std::vector<TokenObject> others(const std::function<bool(const TokenObject&)>& fits) const;

private:
    std::vector<TokenObject> objects_;
};

#endif
