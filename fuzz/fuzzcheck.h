// What the fuzz targets share: the input as the toolkit's views and buffers,
// and a check that stops the run when a parser breaks its own promise.
#ifndef MERVIL_FUZZ_FUZZCHECK_H
#define MERVIL_FUZZ_FUZZCHECK_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "zepbuffer.h"

inline void fuzz_require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

inline r_buffer_t fuzz_view(const uint8_t* data, size_t size) { return {data, static_cast<unsigned int>(size)}; }

#endif
