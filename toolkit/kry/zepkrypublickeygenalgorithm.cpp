#include "kry/zepkrypublickeygenalgorithm.h"

ZEPKRYPublicKeyGenAlgorithm::~ZEPKRYPublicKeyGenAlgorithm() = default;

bool ZEPKRYPublicKeyGenAlgorithm::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPKRYPublicKeyGenAlgorithm::getInstanceName() const { return getClassName(); }
