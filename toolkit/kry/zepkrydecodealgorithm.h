// Base of the decoding side of byte encodings for transport. Input that is
// no valid encoding is an error. The virtual operations are in the order
// hosts and modules call them through.
#ifndef MERVIL_ZEPKRYDECODEALGORITHM_H
#define MERVIL_ZEPKRYDECODEALGORITHM_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPKRYDecodeAlgorithm {
public:
    virtual ~ZEPKRYDecodeAlgorithm();
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    virtual ZEPBuffer decodeData(const r_buffer_t& data) = 0;

    static ZEPString getClassName() { return "ZEPKRYDecodeAlgorithm"; }
};

#endif
