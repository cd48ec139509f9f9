#include "kry/zepkryencryptionalgorithm.h"

ZEPKRYEncryptionAlgorithm::~ZEPKRYEncryptionAlgorithm() = default;

bool ZEPKRYEncryptionAlgorithm::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPKRYEncryptionAlgorithm::getInstanceName() const { return getClassName(); }
