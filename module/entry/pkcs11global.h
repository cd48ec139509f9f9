// The module's front door: while the module is loaded, its one static
// PKCS11Global object keeps `libraryFunction` registered with the toolkit's
// library manager under "mervil7".
#ifndef MERVIL7_PKCS11GLOBAL_H
#define MERVIL7_PKCS11GLOBAL_H

#include <cstdint>
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
    PKCS11Client* client;  // owned; deleted by the last release
};

// The process-wide library table, in the order libraries were first loaded,
// and the mutex that guards it.
using LibraryTable = std::vector<LibraryEntry>;
extern LibraryTable libraryTable;
extern ZEPMutex libraryTableMutex;

#endif
