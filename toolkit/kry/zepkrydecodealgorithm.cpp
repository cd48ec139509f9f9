#include "kry/zepkrydecodealgorithm.h"

ZEPKRYDecodeAlgorithm::~ZEPKRYDecodeAlgorithm() = default;

bool ZEPKRYDecodeAlgorithm::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPKRYDecodeAlgorithm::getInstanceName() const { return getClassName(); }
