#include "kry/zepkrybase64encodealgorithm.h"

#include "asn/zepbase64.h"

bool ZEPKRYBase64EncodeAlgorithm::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPKRYEncodeAlgorithm::isKindOf(className);
}

ZEPString ZEPKRYBase64EncodeAlgorithm::getInstanceName() const { return getClassName(); }

ZEPBuffer ZEPKRYBase64EncodeAlgorithm::encodeData(const r_buffer_t& data) {
    std::string text = ZEPBase64::encode(ZEPBuffer(data));
    return ZEPBuffer(text.size(), text.data());
}
