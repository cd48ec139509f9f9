// Base of secret key generators; the algorithm and its parameters are
// bound at construction. The virtual operations are in the order hosts and
// modules call them through.
#ifndef MERVIL_ZEPKRYSECRETKEYGENALGORITHM_H
#define MERVIL_ZEPKRYSECRETKEYGENALGORITHM_H

#include "kry/zepkrykey.h"
#include "zepstring.h"

class ZEPKRYSecretKeyGenAlgorithm {
public:
    virtual ~ZEPKRYSecretKeyGenAlgorithm();
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    virtual ZEPKRYKey generateKey() = 0;

    static ZEPString getClassName() { return "ZEPKRYSecretKeyGenAlgorithm"; }
};

#endif
