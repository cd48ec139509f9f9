// Base of signature algorithms with a private key bound at construction.
// One-shot signData, or signDataInit, any number of signDataUpdate and
// signDataFinal. The virtual operations are in the order hosts and modules
// call them through.
#ifndef MERVIL_ZEPKRYSIGNATUREALGORITHM_H
#define MERVIL_ZEPKRYSIGNATUREALGORITHM_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPKRYSignatureAlgorithm {
public:
    virtual ~ZEPKRYSignatureAlgorithm();
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    virtual ZEPBuffer signData(const r_buffer_t& data) = 0;
    virtual void signDataInit() = 0;
    virtual void signDataUpdate(const r_buffer_t& data) = 0;
    virtual ZEPBuffer signDataFinal() = 0;

    static ZEPString getClassName() { return "ZEPKRYSignatureAlgorithm"; }
};

#endif
