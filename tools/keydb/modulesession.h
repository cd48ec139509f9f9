// The adapter module loaded into keydb and connected to one Cryptoki
// library, as the toolkit would use it: the module's factory, registered
// under "mervil7", makes the manager. The manager is deleted before the
// module is unloaded.
#ifndef KEYDB_MODULESESSION_H
#define KEYDB_MODULESESSION_H

#include <memory>
#include <string>

#include "loadedlibrary.h"
#include "zeppkcs11manager.h"

class ModuleSession {
public:
    // Loads the module from modulePath() and connects to the Cryptoki
    // library at `cryptokiPath`.
    explicit ModuleSession(const std::string& cryptokiPath);

    ZEPPKCS11Manager& manager() { return *manager_; }

    // $KEYDB_MODULE when set, else libmervil7.so in the lib folder beside
    // the folder of the keydb program.
    static std::string modulePath();

private:
    LoadedLibrary module_;
    std::unique_ptr<ZEPPKCS11Manager> manager_;
};

#endif
