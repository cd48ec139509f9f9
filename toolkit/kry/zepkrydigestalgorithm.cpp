#include "kry/zepkrydigestalgorithm.h"

ZEPKRYDigestAlgorithm::~ZEPKRYDigestAlgorithm() = default;

bool ZEPKRYDigestAlgorithm::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPKRYDigestAlgorithm::getInstanceName() const { return getClassName(); }
