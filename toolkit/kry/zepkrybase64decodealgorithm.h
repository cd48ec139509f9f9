// Base64 decoding (RFC 4648, standard alphabet, padded) as a decode
// algorithm. ASCII white space in the text is ignored; anything else that
// is not Base64 throws ZEPASNException (ASN_BAD_VALUE).
#ifndef MERVIL_ZEPKRYBASE64DECODEALGORITHM_H
#define MERVIL_ZEPKRYBASE64DECODEALGORITHM_H

#include "kry/zepkrydecodealgorithm.h"

class ZEPKRYBase64DecodeAlgorithm : public ZEPKRYDecodeAlgorithm {
public:
    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override;
    ZEPBuffer decodeData(const r_buffer_t& data) override;

    static ZEPString getClassName() { return "ZEPKRYBase64DecodeAlgorithm"; }
};

#endif
