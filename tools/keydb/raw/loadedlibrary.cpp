#include "raw/loadedlibrary.h"

#include <dlfcn.h>

#include <stdexcept>

#include "zepplatform.h"

LoadedLibrary::LoadedLibrary(const std::string& path) {
    if (zep_load_library(path.c_str(), handle_) != 0) {
        // The loader's own words name the file and the reason ("cannot open
        // shared object file", "undefined symbol").
        const char* reason = dlerror();
        throw std::runtime_error("cannot load " + (reason ? std::string(reason) : path));
    }
}

LoadedLibrary::~LoadedLibrary() { zep_free_library(handle_); }

void* LoadedLibrary::symbol(const char* name) const {
    void* address = nullptr;
    if (zep_get_func_address(handle_, name, address) != 0 || !address)
        throw std::runtime_error(std::string("the loaded library exports no ") + name);
    return address;
}
