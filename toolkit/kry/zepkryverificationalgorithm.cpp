#include "kry/zepkryverificationalgorithm.h"

ZEPKRYVerificationAlgorithm::~ZEPKRYVerificationAlgorithm() = default;

bool ZEPKRYVerificationAlgorithm::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPKRYVerificationAlgorithm::getInstanceName() const { return getClassName(); }
