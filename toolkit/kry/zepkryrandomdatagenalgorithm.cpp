#include "kry/zepkryrandomdatagenalgorithm.h"

ZEPKRYRandomDataGenAlgorithm::~ZEPKRYRandomDataGenAlgorithm() = default;

bool ZEPKRYRandomDataGenAlgorithm::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPKRYRandomDataGenAlgorithm::getInstanceName() const { return getClassName(); }
