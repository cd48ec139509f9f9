// Base of byte encodings for transport (Base64 and the like). The virtual
// operations are in the order hosts and modules call them through.
#ifndef MERVIL_ZEPKRYENCODEALGORITHM_H
#define MERVIL_ZEPKRYENCODEALGORITHM_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPKRYEncodeAlgorithm {
public:
    virtual ~ZEPKRYEncodeAlgorithm();
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    virtual ZEPBuffer encodeData(const r_buffer_t& data) = 0;

    static ZEPString getClassName() { return "ZEPKRYEncodeAlgorithm"; }
};

#endif
