#include "io/inputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "zepallocator.h"

namespace {

std::runtime_error failure(const std::string& name, int error) {
    return std::runtime_error("cannot read " + name + ": " + std::strerror(error));
}

// Wipes a stack buffer when the scope ends, also by an exception.
class WipedOnExit {
public:
    WipedOnExit(void* bytes, std::size_t length) : bytes_(bytes), length_(length) {}
    ~WipedOnExit() { zep_wipe(bytes_, length_); }
    WipedOnExit(const WipedOnExit&) = delete;
    WipedOnExit& operator=(const WipedOnExit&) = delete;

private:
    void* bytes_;
    std::size_t length_;
};

void appendBlock(std::string& bytes, const char* block, std::size_t count) { bytes.append(block, count); }
void appendBlock(ZEPBuffer& bytes, const char* block, std::size_t count) { bytes.append(count, block); }

// Appends the input's bytes to `bytes` (a std::string or a ZEPBuffer) in
// blocks, wiping the block buffer before it goes. False when the input
// holds more than `limit` bytes: then it stops reading there.
template <typename Bytes>
bool readInto(InputFile& input, std::size_t limit, Bytes& bytes) {
    char block[65536];
    WipedOnExit wiped(block, sizeof block);
    std::size_t total = 0;
    while (std::size_t count = input.read(block, sizeof block)) {
        appendBlock(bytes, block, count);
        total += count;
        if (total > limit) return false;
    }
    return true;
}

template <typename Bytes>
Bytes readWhole(const std::string& path, std::size_t limit) {
    InputFile input(path);
    Bytes bytes;
    if (!readInto(input, limit, bytes))
        throw std::runtime_error("cannot read " + input.name() + ": it holds more than " +
                                 std::to_string(limit / (1024 * 1024)) + " MiB, more than any certificate");
    return bytes;
}

}  // namespace

InputFile::InputFile(const std::string& path)
    : name_(path == "-" ? "standard input" : path),
      descriptor_(path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (descriptor_ < 0) throw failure(name_, errno);
    struct stat status {};
    if (::fstat(descriptor_, &status) == 0 && S_ISDIR(status.st_mode)) {
        if (descriptor_ != STDIN_FILENO) ::close(descriptor_);
        throw failure(name_, EISDIR);
    }
}

InputFile::~InputFile() {
    if (descriptor_ != STDIN_FILENO) ::close(descriptor_);
}

std::size_t InputFile::read(char* block, std::size_t size) {
    for (;;) {
        ssize_t count = ::read(descriptor_, block, size);
        if (count >= 0) return static_cast<std::size_t>(count);
        if (errno != EINTR) throw failure(name_, errno);
    }
}

std::string readInputFile(const std::string& path, std::size_t limit) { return readWhole<std::string>(path, limit); }

ZEPBuffer readSecretInputFile(const std::string& path, std::size_t limit) { return readWhole<ZEPBuffer>(path, limit); }

ZEPBuffer readBoundedInput(InputFile& input, std::size_t limit, const std::string& why) {
    ZEPBuffer bytes;
    if (!readInto(input, limit, bytes))
        throw std::runtime_error(input.name() + " holds more than " + std::to_string(limit) + " bytes, " + why);
    return bytes;
}
