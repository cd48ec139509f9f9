#include "kry/zepkrydecryptionalgorithm.h"

ZEPKRYDecryptionAlgorithm::~ZEPKRYDecryptionAlgorithm() = default;

bool ZEPKRYDecryptionAlgorithm::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPKRYDecryptionAlgorithm::getInstanceName() const { return getClassName(); }
