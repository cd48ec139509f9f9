// The module's front door: while the module is loaded, its one static
// PKCS11Global object keeps `libraryFunction` registered with the toolkit's
// library manager under "mervil7".
#ifndef MERVIL7_PKCS11GLOBAL_H
#define MERVIL7_PKCS11GLOBAL_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "zepmutex.h"
#include "zepstring.h"

class PKCS11Client;

class PKCS11Global {
public:
    PKCS11Global();
    ~PKCS11Global();
    PKCS11Global(const PKCS11Global&) = delete;
    PKCS11Global& operator=(const PKCS11Global&) = delete;
};

// The factory the toolkit calls with a ZEPPKCS11ConnectInfo; returns a new
// PKCS11Manager owned by the caller.
void* libraryFunction(void* args);

// One loaded Cryptoki library, shared by all managers that name it.
struct LibraryEntry {
    int32_t referenceCount;
    ZEPString libraryName;
    std::unique_ptr<PKCS11Client> client;
};

// The process-wide table of loaded Cryptoki libraries, in the order they were
// first loaded, and the mutex that guards it: hold lock() across every look
// up, load, count change and unload.
class LibraryTable {
public:
    LibraryTable();
    // Clients of managers still alive when the module unloads are left as
    // they are: finalising a library under a live manager would pull it away.
    ~LibraryTable();
    LibraryTable(const LibraryTable&) = delete;
    LibraryTable& operator=(const LibraryTable&) = delete;

    [[nodiscard]] std::unique_lock<ZEPMutex> lock() { return std::unique_lock<ZEPMutex>(mutex_); }

    // The first entry of exactly that name, or null.
    LibraryEntry* find(const ZEPString& libraryName);
    // A new entry with reference count 1.
    LibraryEntry& add(const ZEPString& libraryName, std::unique_ptr<PKCS11Client> client);
    // Removes the entry, keeping the order of the others; its client is
    // destroyed, which finalises and unloads the library.
    void remove(LibraryEntry& entry);

private:
    std::vector<LibraryEntry> entries_;
    ZEPMutex mutex_;
};

extern LibraryTable libraryTable;

#endif
