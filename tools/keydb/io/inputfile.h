// Reads a whole input file, or standard input for "-", refusing more than a
// limit at once instead of reading without end (/dev/zero, a disk image).
#ifndef KEYDB_INPUTFILE_H
#define KEYDB_INPUTFILE_H

#include <cstddef>
#include <string>

#include "zepbuffer.h"

// Throws std::runtime_error naming the file and the reason ("No such file
// or directory", "Is a directory", too large).
std::string readInputFile(const std::string& path, std::size_t limit);
// The same for secrets such as private keys: the bytes only ever lie in
// storage that is wiped when released.
ZEPBuffer readSecretInputFile(const std::string& path, std::size_t limit);

#endif
