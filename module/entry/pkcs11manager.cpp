#include "pkcs11manager.h"

#include <sstream>

#include "errorcodes.h"
#include "pkcs11client.h"
#include "slotmanager.h"
#include "zeptrace.h"

namespace {
ZEPString fixedWidthText(const CK_UTF8CHAR* field, size_t width) {
    return ZEPString(reinterpret_cast<const char*>(field), width);
}
}  // namespace

PKCS11Manager::PKCS11Manager(const ZEPPKCS11ConnectInfo& connectInfo) : library_(std::make_unique<LibraryRef>()) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::PKCS11Manager(ZEPPKCS11ConnectInfo)");
    attachLibrary(ZEPString(connectInfo.getDLLName()));
}

PKCS11Manager::PKCS11Manager(const PKCS11Manager& other)
    : ZEPPKCS11Manager(other), library_(std::make_unique<LibraryRef>()) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::PKCS11Manager(PKCS11Manager)");
    attachLibrary(other.getDllName());
}

PKCS11Manager::~PKCS11Manager() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::~PKCS11Manager()");
    unloadLibrary();
}

void PKCS11Manager::attachLibrary(const ZEPString& libraryName) {
    const auto lock = libraryTable.lock();
    library_->libraryName = libraryName;
    LibraryEntry* entry = findLibrary(libraryName);
    if (entry)
        ++entry->referenceCount;
    else
        entry = &loadLibrary(libraryName);
    library_->client = entry->client.get();
}

LibraryEntry* PKCS11Manager::findLibrary(const ZEPString& libraryName) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::findLibrary()");
    return libraryTable.find(libraryName);
}

LibraryEntry& PKCS11Manager::loadLibrary(const ZEPString& libraryName) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::loadLibrary()");
    return libraryTable.add(libraryName, std::make_unique<PKCS11Client>(libraryName.c_str()));
}

void PKCS11Manager::unloadLibrary() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::unloadLibrary()");
    const auto lock = libraryTable.lock();
    LibraryEntry* entry = findLibrary(library_->libraryName);
    if (entry && entry->referenceCount-- == 1) libraryTable.remove(*entry);
}

ZEPPKCS11Manager* PKCS11Manager::duplicate() const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::duplicate()");
    return new PKCS11Manager(*this);
}

ZEPSlotManager* PKCS11Manager::getSlotManager(CK_SLOT_ID slotId, int sessionType) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::getSlotManager()");
    auto slotManager = std::make_unique<SlotManager>(*this, slotId);
    slotManager->setSessionType(sessionType);
    return slotManager.release();
}

unsigned int PKCS11Manager::getSlotCount() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::getSlotCount()");
    std::vector<CK_SLOT_ID> slotIds;
    getSlotIds(slotIds);
    return static_cast<unsigned int>(slotIds.size());
}

void PKCS11Manager::getSlotIds(std::vector<CK_SLOT_ID>& slotIds) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::getSlotIds()");
    library_->client->getSlotList(slotIds, false);
}

CK_INFO PKCS11Manager::libraryInfo() {
    CK_INFO info = {};
    library_->client->getInfo(&info);
    return info;
}

ZEPString PKCS11Manager::getLibraryDescription() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::getLibraryDescription()");
    CK_INFO info = libraryInfo();
    return fixedWidthText(info.libraryDescription, sizeof info.libraryDescription);
}

ZEPString PKCS11Manager::getManufacturer() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::getManufacturer()");
    CK_INFO info = libraryInfo();
    return fixedWidthText(info.manufacturerID, sizeof info.manufacturerID);
}

ZEPString PKCS11Manager::getDllName() const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::getDllName()");
    return library_->libraryName;
}

ZEPString PKCS11Manager::getVersion() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::getVersion()");
    CK_INFO info = libraryInfo();
    std::ostringstream text;
    text << "Cryptoki version: " << unsigned(info.cryptokiVersion.major) << "." << unsigned(info.cryptokiVersion.minor)
         << "  Library version: " << unsigned(info.libraryVersion.major) << "." << unsigned(info.libraryVersion.minor);
    return ZEPString(text.str());
}

bool PKCS11Manager::isKindOf(const ZEPString& className) const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::isKindOf()");
    return className.compare(getClassName()) == 0 || ZEPPKCS11Manager::isKindOf(className);
}

ZEPString PKCS11Manager::getInstanceName() const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::getInstanceName()");
    return getClassName();
}

PKCS11Client* PKCS11Manager::getClient() const {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Manager::getClient()");
    return library_->client;
}
