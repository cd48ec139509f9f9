#include "kry/zepkrybase64decodealgorithm.h"

#include "asn/asn_error.h"
#include "asn/zepbase64.h"
#include "zepexception.h"
#include "zeptrace.h"

bool ZEPKRYBase64DecodeAlgorithm::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPKRYDecodeAlgorithm::isKindOf(className);
}

ZEPString ZEPKRYBase64DecodeAlgorithm::getInstanceName() const { return getClassName(); }

ZEPBuffer ZEPKRYBase64DecodeAlgorithm::decodeData(const r_buffer_t& data) {
    ZEPBuffer bytes;
    if (!ZEPBase64::decode(std::string_view(reinterpret_cast<const char*>(data.data), data.len), bytes)) throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "invalid Base64 text");
    return bytes;
}
