#include "pkcs11global.h"

#include "errorcodes.h"
#include "moduleexport.h"
#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "zepcmsglobal.h"
#include "zepexception.h"
#include "zeplibrarymanager.h"
#include "zepobject.h"
#include "zeptrace.h"

#ifdef _WIN32
#include <windows.h>
#endif

// Build identification and notice, exported for hosts that show them.
extern "C" MERVIL7_EXPORT const char p11_SCCSInfo[] = "@(#)mervil7 PKCS#11 adapter module 0.1.0";
extern "C" MERVIL7_EXPORT const char p11_Copyright[] = "Copyright (c) 2026 the mervil developers. All rights reserved.";

namespace {
// Live PKCS11Global objects; changes only while the module loads or unloads.
int32_t liveGlobals = 0;

void init() {
    ZEP_TRACE(MODULE_TRACE, "init");
    ZEPLibraryManager::addLibEntry("mervil7", libraryFunction);
}

void fini() {
    ZEP_TRACE(MODULE_TRACE, "fini");
    ZEPLibraryManager::removeLibEntries(libraryFunction);
}
}  // namespace

PKCS11Global::PKCS11Global() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Global::ctor");
    if (++liveGlobals == 1) init();
}

PKCS11Global::~PKCS11Global() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Global::dtor");
    if (liveGlobals-- == 1) fini();
}

void* libraryFunction(void* args) {
    ZEP_TRACE(MODULE_TRACE, "libraryFunction");
    if (!args) throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "args cannot be NULL");
    const ZEPObject* object = static_cast<const ZEPObject*>(args);
    if (!object->isKindOf(ZEPPKCS11ConnectInfo::getClassName()))
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "args is invalid");
    return new PKCS11Manager(*static_cast<const ZEPPKCS11ConnectInfo*>(object));
}

// Static construction runs in this order and teardown in the reverse: the
// toolkit's global object, the registration, the library table with its
// mutex.
namespace {
ZEPCMSGlobal cmsGlobal;
PKCS11Global pkcs11Global;
}  // namespace
LibraryTable libraryTable;

LibraryTable::LibraryTable() = default;

LibraryTable::~LibraryTable() {
    for (LibraryEntry& entry : entries_) static_cast<void>(entry.client.release());
}

LibraryEntry* LibraryTable::find(const ZEPString& libraryName) {
    for (LibraryEntry& entry : entries_)
        if (entry.libraryName.compare(libraryName) == 0) return &entry;
    return nullptr;
}

LibraryEntry& LibraryTable::add(const ZEPString& libraryName, std::unique_ptr<PKCS11Client> client) {
    entries_.push_back(LibraryEntry{1, libraryName, std::move(client)});
    return entries_.back();
}

void LibraryTable::remove(LibraryEntry& entry) {
    std::unique_ptr<PKCS11Client> client = std::move(entry.client);
    entries_.erase(entries_.begin() + (&entry - entries_.data()));
    client.reset();
}

#ifdef _WIN32
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
#endif
