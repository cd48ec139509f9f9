// The adapter module loaded into keydb and connected to one Cryptoki
// library, as the toolkit would use it: the module's factory, registered
// under "mervil7", makes the manager. The manager is deleted before the
// module is unloaded.
#ifndef KEYDB_MODULESESSION_H
#define KEYDB_MODULESESSION_H

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/failuretext.h"
#include "raw/loadedlibrary.h"
#include "session/modulediagnostics.h"
#include "zeppkcs11manager.h"

class ModuleSession {
public:
    // Loads the module from modulePath() and connects to the Cryptoki
    // library at `cryptokiPath`.
    explicit ModuleSession(const std::string& cryptokiPath);

    ZEPPKCS11Manager& manager() { return *manager_; }
    const std::string& cryptokiPath() const { return cryptokiPath_; }
    const ModuleDiagnostics& diagnostics() const { return diagnostics_; }

    // Every slot of the library, with its token's information.
    std::vector<SlotInfo> slots();
    // A slot manager for `slot`; session type 1 opens read-write sessions.
    std::unique_ptr<ZEPSlotManager> openSlot(CK_SLOT_ID slot, int sessionType);

    // $KEYDB_MODULE when set, else libmervil7.so in the library folder keydb
    // was installed with, else in the lib folder beside the folder of the
    // keydb program (the build tree).
    static std::string modulePath();

    // Runs `work`, which uses the module; a failure the module reports goes
    // on as std::runtime_error with its text (see failureText). The
    // module's exception objects are destroyed by the module's code, so
    // none may outlive the session.
    template <typename Work>
    void run(Work&& work) {
        try {
            work();
        } catch (const ZEPException& failure) {
            throw std::runtime_error(failureText(failure));
        }
    }

private:
    std::string cryptokiPath_;
    LoadedLibrary module_;
    ModuleDiagnostics diagnostics_;
    std::unique_ptr<ZEPPKCS11Manager> manager_;
};

#endif
