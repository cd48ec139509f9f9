// A dynamic library loaded with the toolkit's zep_load_library and freed
// again when this object goes.
#ifndef KEYDB_LOADEDLIBRARY_H
#define KEYDB_LOADEDLIBRARY_H

#include <string>

class LoadedLibrary {
public:
    // Throws std::runtime_error naming the path when loading fails.
    explicit LoadedLibrary(const std::string& path);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    // The address of an exported symbol; throws std::runtime_error naming
    // it when the library does not export it.
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

#endif
