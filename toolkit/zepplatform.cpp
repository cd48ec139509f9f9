#include "zepplatform.h"

#include <atomic>
#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {
// A failure that the platform did not describe still has to be non-zero.
long failureValue(long platformValue) { return platformValue != 0 ? platformValue : -1; }
}  // namespace

#ifdef _WIN32

long zep_load_library(const char* name, void*& handle) {
    handle = nullptr;
    if (!name || !*name) return ERROR_MOD_NOT_FOUND;
    handle = reinterpret_cast<void*>(LoadLibraryA(name));
    return handle ? 0 : failureValue(static_cast<long>(GetLastError()));
}

long zep_get_func_address(void* handle, const char* symbol, void*& address) {
    address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), symbol));
    return address ? 0 : failureValue(static_cast<long>(GetLastError()));
}

void zep_free_library(void* handle) {
    if (handle) FreeLibrary(static_cast<HMODULE>(handle));
}

#else

long zep_load_library(const char* name, void*& handle) {
    handle = nullptr;
    // dlopen would hand out the main program for an empty name.
    if (!name || !*name) return ENOENT;
    errno = 0;
    handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    return handle ? 0 : failureValue(errno);
}

long zep_get_func_address(void* handle, const char* symbol, void*& address) {
    errno = 0;
    address = handle ? dlsym(handle, symbol) : nullptr;
    return address ? 0 : failureValue(errno);
}

void zep_free_library(void* handle) {
    if (handle) dlclose(handle);
}

#endif

int32_t zep_atomic_swap(int32_t* target, int32_t delta) {
    return std::atomic_ref<int32_t>(*target).fetch_add(delta);
}
