#include "zeppkcs11manager.h"

bool ZEPPKCS11Manager::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPPKCS11Manager::getInstanceName() const { return getClassName(); }
