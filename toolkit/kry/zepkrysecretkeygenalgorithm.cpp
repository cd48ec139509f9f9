#include "kry/zepkrysecretkeygenalgorithm.h"

ZEPKRYSecretKeyGenAlgorithm::~ZEPKRYSecretKeyGenAlgorithm() = default;

bool ZEPKRYSecretKeyGenAlgorithm::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPKRYSecretKeyGenAlgorithm::getInstanceName() const { return getClassName(); }
