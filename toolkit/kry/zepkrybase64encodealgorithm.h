// Base64 encoding (RFC 4648, standard alphabet, padded, one line) as an
// encode algorithm; the result is the ASCII text as bytes.
#ifndef MERVIL_ZEPKRYBASE64ENCODEALGORITHM_H
#define MERVIL_ZEPKRYBASE64ENCODEALGORITHM_H

#include "kry/zepkryencodealgorithm.h"

class ZEPKRYBase64EncodeAlgorithm : public ZEPKRYEncodeAlgorithm {
public:
    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override;
    ZEPBuffer encodeData(const r_buffer_t& data) override;

    static ZEPString getClassName() { return "ZEPKRYBase64EncodeAlgorithm"; }
};

#endif
