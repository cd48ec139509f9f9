// Fresh PINs for new tokens.
#ifndef KEYDB_RANDOMPIN_H
#define KEYDB_RANDOMPIN_H

#include <cstddef>
#include <string>

// `digits` decimal digits, each uniformly drawn from /dev/urandom.
std::string randomPin(std::size_t digits);

#endif
