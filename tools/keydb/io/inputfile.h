// Input files, or standard input for "-": read in blocks, or whole up to a
// limit instead of without end (/dev/zero, a disk image).
#ifndef KEYDB_INPUTFILE_H
#define KEYDB_INPUTFILE_H

#include <cstddef>
#include <string>

#include "zepbuffer.h"

class InputFile {
public:
    // Throws std::runtime_error naming the file and the reason ("No such
    // file or directory", "Is a directory").
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // The file's path, or "standard input".
    const std::string& name() const { return name_; }
    // Up to `size` next bytes into `block`; 0 at the end of the input.
    std::size_t read(char* block, std::size_t size);

private:
    std::string name_;
    int descriptor_;
};

// The whole input; throws std::runtime_error naming the file when it holds
// more than `limit` bytes (a whole number of MiB), more than any
// certificate or key keydb reads.
std::string readInputFile(const std::string& path, std::size_t limit);
// The same for secrets such as private keys: the bytes only ever lie in
// storage that is wiped when released.
ZEPBuffer readSecretInputFile(const std::string& path, std::size_t limit);
// The rest of the input when it holds at most `limit` bytes; otherwise
// throws std::runtime_error("NAME holds more than LIMIT bytes, " + why).
ZEPBuffer readBoundedInput(InputFile& input, std::size_t limit, const std::string& why);

#endif
