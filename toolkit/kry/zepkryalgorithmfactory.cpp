#include "kry/zepkryalgorithmfactory.h"

#include "kry/zepkrybase64decodealgorithm.h"
#include "kry/zepkrybase64encodealgorithm.h"
#include "kry/zepkryblockdigestalgorithm.h"

ZEPKRYAlgorithmFactory::~ZEPKRYAlgorithmFactory() = default;

ZEPKRYAlgorithmFactory* ZEPKRYAlgorithmFactory::duplicate() const { return new ZEPKRYAlgorithmFactory(*this); }

ZEPKRYDigestAlgorithm* ZEPKRYAlgorithmFactory::make_MD5_DigestAlgorithm() const {
    return new ZEPKRYMD5DigestAlgorithm();
}

ZEPKRYDigestAlgorithm* ZEPKRYAlgorithmFactory::make_SHA1_DigestAlgorithm() const {
    return new ZEPKRYSHA1DigestAlgorithm();
}

ZEPKRYDigestAlgorithm* ZEPKRYAlgorithmFactory::make_SHA224_DigestAlgorithm() const {
    return new ZEPKRYSHA224DigestAlgorithm();
}

ZEPKRYDigestAlgorithm* ZEPKRYAlgorithmFactory::make_SHA256_DigestAlgorithm() const {
    return new ZEPKRYSHA256DigestAlgorithm();
}

ZEPKRYDigestAlgorithm* ZEPKRYAlgorithmFactory::make_SHA384_DigestAlgorithm() const {
    return new ZEPKRYSHA384DigestAlgorithm();
}

ZEPKRYDigestAlgorithm* ZEPKRYAlgorithmFactory::make_SHA512_DigestAlgorithm() const {
    return new ZEPKRYSHA512DigestAlgorithm();
}

ZEPKRYEncodeAlgorithm* ZEPKRYAlgorithmFactory::make_BASE64_EncodeAlgorithm() const {
    return new ZEPKRYBase64EncodeAlgorithm();
}

ZEPKRYDecodeAlgorithm* ZEPKRYAlgorithmFactory::make_BASE64_DecodeAlgorithm() const {
    return new ZEPKRYBase64DecodeAlgorithm();
}

bool ZEPKRYAlgorithmFactory::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0;
}

ZEPString ZEPKRYAlgorithmFactory::getInstanceName() const { return getClassName(); }
