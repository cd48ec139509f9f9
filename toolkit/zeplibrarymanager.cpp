#include "zeplibrarymanager.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {
struct LibEntry {
    ZEPString moduleName;
    ZEPLibraryFunction function;
};

struct Registry {
    std::mutex mutex;
    std::vector<LibEntry> entries;
};

// Built on first use, so modules may register from their static constructors.
Registry& registry() {
    static Registry instance;
    return instance;
}
}  // namespace

void ZEPLibraryManager::addLibEntry(const ZEPString& moduleName, ZEPLibraryFunction function) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.entries.push_back(LibEntry{moduleName, function});
}

void ZEPLibraryManager::removeLibEntries(ZEPLibraryFunction function) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::erase_if(r.entries, [function](const LibEntry& e) { return e.function == function; });
}

ZEPLibraryFunction ZEPLibraryManager::findLibEntry(const ZEPString& moduleName) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = std::find_if(r.entries.rbegin(), r.entries.rend(),
                           [&moduleName](const LibEntry& e) { return e.moduleName.compare(moduleName) == 0; });
    return it == r.entries.rend() ? nullptr : it->function;
}
