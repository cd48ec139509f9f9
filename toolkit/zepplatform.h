// Platform services: dynamic libraries and atomic counters.
#ifndef MERVIL_ZEPPLATFORM_H
#define MERVIL_ZEPPLATFORM_H

#include <cstdint>

// Each returns 0 on success, otherwise the platform's error value (errno or
// GetLastError), which callers carry in their exceptions.
long zep_load_library(const char* name, void*& handle);
long zep_get_func_address(void* handle, const char* symbol, void*& address);
void zep_free_library(void* handle);

// Adds `delta` to `*target` atomically and returns the value before.
int32_t zep_atomic_swap(int32_t* target, int32_t delta);

#endif
