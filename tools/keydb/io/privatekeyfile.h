// An unencrypted RSA private key read from a file or standard input:
// PKCS#8 or PKCS#1, PEM or DER. The key material only ever lies in storage
// that is wiped when released, and no message quotes it.
#ifndef KEYDB_PRIVATEKEYFILE_H
#define KEYDB_PRIVATEKEYFILE_H

#include <string>

#include "kry/zepkrykey.h"
#include "zepbuffer.h"

class PrivateKeyFile {
public:
    // Throws std::runtime_error naming the file when it cannot be read or
    // holds no such key; an encrypted key is refused as such.
    explicit PrivateKeyFile(const std::string& path);

    // A private RSA key in PKCS#8 form (FORMAT_PRIVATE_KEY_INFO).
    const ZEPKRYKey& key() const { return key_; }
    // The modulus without leading zero bytes.
    const ZEPBuffer& modulus() const { return modulus_; }

private:
    ZEPKRYKey key_;
    ZEPBuffer modulus_;
};

#endif
