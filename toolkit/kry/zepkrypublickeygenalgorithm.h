// Base of key-pair generators; the algorithm and the key size are bound at
// construction. The virtual operations are in the order hosts and modules
// call them through.
#ifndef MERVIL_ZEPKRYPUBLICKEYGENALGORITHM_H
#define MERVIL_ZEPKRYPUBLICKEYGENALGORITHM_H

#include "kry/zepkrykeypair.h"
#include "zepstring.h"

class ZEPKRYPublicKeyGenAlgorithm {
public:
    virtual ~ZEPKRYPublicKeyGenAlgorithm();
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    virtual ZEPKRYKeyPair generateKeyPair() = 0;

    static ZEPString getClassName() { return "ZEPKRYPublicKeyGenAlgorithm"; }
};

#endif
