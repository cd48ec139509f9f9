#include "session/modulesession.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "io/failuretext.h"
#include "keystore/zepslotmanager.h"
#include "zepexception.h"
#include "zeplibrarymanager.h"
#include "zepobject.h"

namespace {

constexpr const char* moduleName = "mervil7";
// The module's code for a library it could not load or bind.
constexpr long notBound = 577003;

// Why the module could not use the library, in words. Its messages name
// the platform call that failed; the loader keeps its own words for the
// reason, until the next loader call in this thread.
std::string connectFailure(const ZEPException& failure) {
    const std::string& message = failure.getMessage().str();
    if (failure.getCode() != notBound) return failureText(failure);
    if (message.find("C_GetFunctionList") != std::string::npos)
        return "it is no Cryptoki library: it exports no C_GetFunctionList";
    if (message.empty()) return "its C_GetFunctionList gave no function list";
    const char* reason = dlerror();
    if (!reason) return "it cannot be loaded";
    // The loader's text starts with the path, which the caller names.
    std::string text = reason;
    std::size_t separator = text.find(": ");
    return separator == std::string::npos ? text : text.substr(separator + 2);
}

}  // namespace

ModuleSession::ModuleSession(const std::string& cryptokiPath)
    : cryptokiPath_(cryptokiPath), module_(modulePath()), diagnostics_(module_) {
    ZEPLibraryFunction factory = ZEPLibraryManager::findLibEntry(moduleName);
    if (!factory) throw std::runtime_error(modulePath() + " registered no module \"" + moduleName + "\"");
    ZEPPKCS11ConnectInfo info(cryptokiPath.c_str());
    try {
        manager_.reset(static_cast<ZEPPKCS11Manager*>(factory(&info)));
    } catch (const ZEPException& failure) {
        throw std::runtime_error("cannot use the Cryptoki library " + cryptokiPath + ": " + connectFailure(failure));
    }
}

std::vector<SlotInfo> ModuleSession::slots() {
    std::vector<CK_SLOT_ID> ids;
    manager_->getSlotIds(ids);
    std::vector<SlotInfo> result;
    for (CK_SLOT_ID id : ids) result.push_back(diagnostics_.slotInfo(*manager_, id));
    return result;
}

std::unique_ptr<ZEPSlotManager> ModuleSession::openSlot(CK_SLOT_ID slot, int sessionType) {
    return std::unique_ptr<ZEPSlotManager>(manager_->getSlotManager(slot, sessionType));
}

std::string ModuleSession::modulePath() {
    const char* configured = std::getenv("KEYDB_MODULE");
    if (configured && *configured) return configured;
    // An installed keydb finds the module in the library folder it was
    // installed with (KEYDB_MODULE_FOLDER, relative to the program's folder);
    // in the build tree the module is in lib/ beside bin/.
    std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    std::filesystem::path installed = (folder / KEYDB_MODULE_FOLDER / "libmervil7.so").lexically_normal();
    std::error_code unreadable;
    if (std::filesystem::exists(installed, unreadable)) return installed.string();
    return (folder.parent_path() / "lib" / "libmervil7.so").string();
}
