#include "modulesession.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "failuretext.h"
#include "zepexception.h"
#include "zeplibrarymanager.h"
#include "zepobject.h"

namespace {
constexpr const char* moduleName = "mervil7";
}  // namespace

ModuleSession::ModuleSession(const std::string& cryptokiPath) : module_(modulePath()) {
    ZEPLibraryFunction factory = ZEPLibraryManager::findLibEntry(moduleName);
    if (!factory) throw std::runtime_error(modulePath() + " registered no module \"" + moduleName + "\"");
    ZEPPKCS11ConnectInfo info(cryptokiPath.c_str());
    try {
        manager_.reset(static_cast<ZEPPKCS11Manager*>(factory(&info)));
    } catch (const ZEPException& failure) {
        throw std::runtime_error("cannot connect to Cryptoki library " + cryptokiPath + ": " + failureText(failure));
    }
}

std::string ModuleSession::modulePath() {
    const char* configured = std::getenv("KEYDB_MODULE");
    if (configured && *configured) return configured;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe");
    return (program.parent_path().parent_path() / "lib" / "libmervil7.so").string();
}
