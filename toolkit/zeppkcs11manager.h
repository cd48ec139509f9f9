// The toolkit's view of a PKCS#11 module's manager: what a host may ask
// about one Cryptoki library. Modules derive from it; the virtual operations
// are in the order hosts call them through.
#ifndef MERVIL_ZEPPKCS11MANAGER_H
#define MERVIL_ZEPPKCS11MANAGER_H

#include <vector>

#include "cryptoki.h"
#include "zepstring.h"

class ZEPSlotManager;

class ZEPPKCS11Manager {
public:
    virtual ~ZEPPKCS11Manager() = default;
    virtual ZEPPKCS11Manager* duplicate() const = 0;
    virtual ZEPSlotManager* getSlotManager(CK_SLOT_ID slotId, int sessionType) = 0;
    virtual unsigned int getSlotCount() = 0;
    virtual void getSlotIds(std::vector<CK_SLOT_ID>& slotIds) = 0;
    virtual ZEPString getLibraryDescription() = 0;
    virtual ZEPString getManufacturer() = 0;
    virtual ZEPString getDllName() const = 0;
    virtual ZEPString getVersion() = 0;
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;

    static ZEPString getClassName() { return "ZEPPKCS11Manager"; }
};

#endif
