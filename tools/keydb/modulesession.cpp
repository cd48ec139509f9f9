#include "modulesession.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "failuretext.h"
#include "keystore/zepslotmanager.h"
#include "zepexception.h"
#include "zeplibrarymanager.h"
#include "zepobject.h"

namespace {
constexpr const char* moduleName = "mervil7";
}  // namespace

ModuleSession::ModuleSession(const std::string& cryptokiPath) : module_(modulePath()), diagnostics_(module_) {
    ZEPLibraryFunction factory = ZEPLibraryManager::findLibEntry(moduleName);
    if (!factory) throw std::runtime_error(modulePath() + " registered no module \"" + moduleName + "\"");
    ZEPPKCS11ConnectInfo info(cryptokiPath.c_str());
    try {
        manager_.reset(static_cast<ZEPPKCS11Manager*>(factory(&info)));
    } catch (const ZEPException& failure) {
        throw std::runtime_error("cannot connect to Cryptoki library " + cryptokiPath + ": " + failureText(failure));
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
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe");
    return (program.parent_path().parent_path() / "lib" / "libmervil7.so").string();
}
