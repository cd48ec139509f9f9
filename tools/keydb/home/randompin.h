// Fresh PINs for new tokens.
#ifndef KEYDB_RANDOMPIN_H
#define KEYDB_RANDOMPIN_H

#include <cstddef>

#include "zepbuffer.h"

// `digits` decimal digits, each uniformly drawn from /dev/urandom, in a
// buffer that is wiped when it goes.
ZEPBuffer randomPin(std::size_t digits);

#endif
