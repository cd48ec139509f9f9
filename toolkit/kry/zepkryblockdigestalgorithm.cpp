#include "kry/zepkryblockdigestalgorithm.h"

template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA1>::getClassName() {
    return "ZEPKRYSHA1DigestAlgorithm";
}

template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPMD5>::getClassName() {
    return "ZEPKRYMD5DigestAlgorithm";
}

template class ZEPKRYBlockDigestAlgorithm<ZEPSHA1>;
template class ZEPKRYBlockDigestAlgorithm<ZEPMD5>;
