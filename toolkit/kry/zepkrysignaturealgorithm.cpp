#include "kry/zepkrysignaturealgorithm.h"

ZEPKRYSignatureAlgorithm::~ZEPKRYSignatureAlgorithm() = default;

bool ZEPKRYSignatureAlgorithm::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPKRYSignatureAlgorithm::getInstanceName() const { return getClassName(); }
