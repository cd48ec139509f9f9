// Base of message digests. One-shot digestData, or a multi-part digest:
// digestDataInit, any number of digestDataUpdate, digestDataFinal. The
// virtual operations are in the order hosts and modules call them through.
#ifndef MERVIL_ZEPKRYDIGESTALGORITHM_H
#define MERVIL_ZEPKRYDIGESTALGORITHM_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPKRYDigestAlgorithm {
public:
    virtual ~ZEPKRYDigestAlgorithm();
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    virtual ZEPBuffer digestData(const r_buffer_t& data) = 0;
    // Starts a new message, dropping any unfinished one.
    virtual void digestDataInit() = 0;
    virtual void digestDataUpdate(const r_buffer_t& data) = 0;
    virtual ZEPBuffer digestDataFinal() = 0;

    static ZEPString getClassName() { return "ZEPKRYDigestAlgorithm"; }
};

#endif
