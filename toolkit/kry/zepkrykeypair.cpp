#include "kry/zepkrykeypair.h"

ZEPKRYKeyPair::ZEPKRYKeyPair(const ZEPKRYKey& publicKey, const ZEPKRYKey& privateKey)
    : publicKey_(publicKey), privateKey_(privateKey) {}
