#include "kry/zepkryencodealgorithm.h"

ZEPKRYEncodeAlgorithm::~ZEPKRYEncodeAlgorithm() = default;

bool ZEPKRYEncodeAlgorithm::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPKRYEncodeAlgorithm::getInstanceName() const { return getClassName(); }
