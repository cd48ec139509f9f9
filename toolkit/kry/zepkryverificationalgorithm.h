// Base of signature verification with a public key bound at construction.
// One-shot verifyData, or verifyDataInit, any number of verifyDataUpdate and
// verifyDataFinal; the result says whether the signature matches the data.
// The virtual operations are in the order hosts and modules call them
// through.
#ifndef MERVIL_ZEPKRYVERIFICATIONALGORITHM_H
#define MERVIL_ZEPKRYVERIFICATIONALGORITHM_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPKRYVerificationAlgorithm {
public:
    virtual ~ZEPKRYVerificationAlgorithm();
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    virtual bool verifyData(const r_buffer_t& data, const r_buffer_t& signature) = 0;
    virtual void verifyDataInit() = 0;
    virtual void verifyDataUpdate(const r_buffer_t& data) = 0;
    virtual bool verifyDataFinal(const r_buffer_t& signature) = 0;

    static ZEPString getClassName() { return "ZEPKRYVerificationAlgorithm"; }
};

#endif
