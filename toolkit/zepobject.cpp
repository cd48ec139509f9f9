#include "zepobject.h"

bool ZEPObject::isKindOf(const ZEPString& className) const { return className.compare(getClassName()) == 0; }

ZEPString ZEPObject::getInstanceName() const { return getClassName(); }

bool ZEPPKCS11ConnectInfo::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPObject::isKindOf(className);
}
