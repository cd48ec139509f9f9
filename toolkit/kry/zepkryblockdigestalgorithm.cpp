#include "kry/zepkryblockdigestalgorithm.h"

template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA1>::getClassName() {
    return "ZEPKRYSHA1DigestAlgorithm";
}

template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPMD5>::getClassName() {
    return "ZEPKRYMD5DigestAlgorithm";
}

template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA224>::getClassName() {
    return "ZEPKRYSHA224DigestAlgorithm";
}

template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA256>::getClassName() {
    return "ZEPKRYSHA256DigestAlgorithm";
}

template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA384>::getClassName() {
    return "ZEPKRYSHA384DigestAlgorithm";
}

template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA512>::getClassName() {
    return "ZEPKRYSHA512DigestAlgorithm";
}

template class ZEPKRYBlockDigestAlgorithm<ZEPSHA1>;
template class ZEPKRYBlockDigestAlgorithm<ZEPMD5>;
template class ZEPKRYBlockDigestAlgorithm<ZEPSHA224>;
template class ZEPKRYBlockDigestAlgorithm<ZEPSHA256>;
template class ZEPKRYBlockDigestAlgorithm<ZEPSHA384>;
template class ZEPKRYBlockDigestAlgorithm<ZEPSHA512>;
