// An unencrypted RSA or EC private key read from a file or standard input:
// PKCS#8, PKCS#1 (RSA) or SEC1 ECPrivateKey ("EC PRIVATE KEY", with its
// public point), PEM or DER; EC keys on P-256, P-384 or P-521. The key
// material only ever lies in storage that is wiped when released, and no
// message quotes it.
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

    // The private key in PKCS#8 form (FORMAT_PRIVATE_KEY_INFO).
    const ZEPKRYKey& key() const { return key_; }
    // The key id of its public key, as PublicKeyFacts::keyId gives it.
    const std::string& keyId() const { return keyId_; }
    // "P-256", "P-384" or "P-521" for an EC key; empty for an RSA key.
    const std::string& curve() const { return curve_; }

private:
    // Reads the PKCS#8 or bare ECPrivateKey `der`; a bare one when
    // `outerless`.
    void readEC(const std::string& name, const ZEPBuffer& der, bool outerless);

    ZEPKRYKey key_;
    std::string keyId_;
    std::string curve_;
};

#endif
