#include "keystore/zepslotmanager.h"

bool ZEPSlotManager::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPSlotManager::getInstanceName() const { return getClassName(); }
