// What the toolkit learns about one Cryptoki library, and the source of
// slot managers. Every manager is attached by library name to one entry of
// the process-wide library table; the first attach loads the library, the
// last release unloads it.
#ifndef MERVIL7_PKCS11MANAGER_H
#define MERVIL7_PKCS11MANAGER_H

#include <memory>

#include "pkcs11global.h"
#include "zepobject.h"
#include "zeppkcs11manager.h"

class PKCS11Client;

class PKCS11Manager : public ZEPPKCS11Manager {
public:
    explicit PKCS11Manager(const ZEPPKCS11ConnectInfo& connectInfo);
    PKCS11Manager(const PKCS11Manager& other);
    PKCS11Manager& operator=(const PKCS11Manager&) = delete;
    ~PKCS11Manager() override;

    ZEPPKCS11Manager* duplicate() const override;
    ZEPSlotManager* getSlotManager(CK_SLOT_ID slotId, int sessionType) override;
    unsigned int getSlotCount() override;
    void getSlotIds(std::vector<CK_SLOT_ID>& slotIds) override;
    ZEPString getLibraryDescription() override;
    ZEPString getManufacturer() override;
    ZEPString getDllName() const override;
    ZEPString getVersion() override;
    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override;
    virtual PKCS11Client* getClient() const;

    static ZEPString getClassName() { return "PKCS11Manager"; }

private:
    // The library this manager is attached to.
    struct LibraryRef {
        ZEPString libraryName;
        PKCS11Client* client = nullptr;  // the table entry's; valid while attached
    };

    void attachLibrary(const ZEPString& libraryName);
    static LibraryEntry* findLibrary(const ZEPString& libraryName);
    static LibraryEntry& loadLibrary(const ZEPString& libraryName);
    void unloadLibrary();
    CK_INFO libraryInfo();

    std::unique_ptr<LibraryRef> library_;
};

#endif
