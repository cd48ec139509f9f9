// Writes a command's bytes to the file --out names, or to standard output
// when it names none.
#ifndef KEYDB_OUTPUTFILE_H
#define KEYDB_OUTPUTFILE_H

#include <string>

#include "zepbuffer.h"

// Throws std::runtime_error when the file cannot be written.
void writeOutputFile(const std::string& path, const std::string& bytes);
void writeOutputFile(const std::string& path, const ZEPBuffer& bytes);

#endif
