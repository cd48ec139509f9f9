// One object on a token as the module's p11_listObjects reports it, and the
// words keydb uses for its class and key type.
#ifndef KEYDB_TOKENOBJECT_H
#define KEYDB_TOKENOBJECT_H

#include <string>

#include "cryptoki.h"
#include "io/keyfacts.h"
#include "zepbuffer.h"

struct TokenObject {
    CK_OBJECT_HANDLE handle = 0;
    CK_OBJECT_CLASS objectClass = CK_UNAVAILABLE_INFORMATION;
    // CK_UNAVAILABLE_INFORMATION for objects that are no keys.
    CK_ULONG keyType = CK_UNAVAILABLE_INFORMATION;
    ZEPBuffer label;
    ZEPBuffer id;
    // CKA_VALUE of a certificate.
    ZEPBuffer value;
    // CKA_MODULUS of an RSA key.
    ZEPBuffer modulus;
    // The uncompressed point of an EC public key.
    ZEPBuffer ecPoint;
    // CKA_SUBJECT of a key or certificate.
    ZEPBuffer subject;
    // Why the key database makes no item of a certificate or an RSA key (or
    // a key of no type): the attribute it lacks, or the value that does not
    // decode; empty when it makes one and for objects of other kinds.
    std::string damage;

    bool isKey() const;
    // "private-key", "public-key", "secret-key", "certificate", "data", ...,
    // or the class value in hexadecimal.
    std::string className() const;
    // "RSA", "EC", "AES", ..., or the value in hexadecimal; empty for
    // objects that are no keys.
    std::string keyTypeName() const;
    // Whether it is the public key object of `key`: an RSA key of its
    // modulus (leading zero bytes do not count) or an EC key of its point.
    bool isPublicKeyOf(const PublicKeyFacts& key) const;
    // The key id (PublicKeyFacts::keyId) of an RSA key object's modulus or
    // an EC public key object's point; empty for other objects.
    std::string keyId() const;
    // Whether the key database makes items of the object: RSA and EC keys
    // and X.509 certificates of such keys (see
    // PublicKeyFacts::isKeyDatabaseKey) that are not damaged.
    bool isKeyDatabaseItem() const;
};

#endif
