// The registry through which loaded modules offer their factory functions to
// the toolkit and its hosts.
#ifndef MERVIL_ZEPLIBRARYMANAGER_H
#define MERVIL_ZEPLIBRARYMANAGER_H

#include "zepstring.h"

// A module's factory: takes and returns one untyped pointer.
typedef void* (*ZEPLibraryFunction)(void*);

class ZEPLibraryManager {
public:
    static void addLibEntry(const ZEPString& moduleName, ZEPLibraryFunction function);
    // Removes every entry registered with `function`.
    static void removeLibEntries(ZEPLibraryFunction function);
    // The factory most recently registered under `moduleName`, or null.
    static ZEPLibraryFunction findLibEntry(const ZEPString& moduleName);
};

#endif
