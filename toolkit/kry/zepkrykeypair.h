// The two halves of an asymmetric key pair, as a key-pair generator
// returns them.
#ifndef MERVIL_ZEPKRYKEYPAIR_H
#define MERVIL_ZEPKRYKEYPAIR_H

#include "kry/zepkrykey.h"

class ZEPKRYKeyPair {
public:
    ZEPKRYKeyPair() = default;
    ZEPKRYKeyPair(const ZEPKRYKey& publicKey, const ZEPKRYKey& privateKey);

    const ZEPKRYKey& getPublicKey() const { return publicKey_; }
    const ZEPKRYKey& getPrivateKey() const { return privateKey_; }

private:
    ZEPKRYKey publicKey_;
    ZEPKRYKey privateKey_;
};

#endif
