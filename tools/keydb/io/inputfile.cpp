#include "io/inputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "zepallocator.h"

namespace {

// Closes the descriptor it was given, unless it is standard input.
class InputDescriptor {
public:
    explicit InputDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~InputDescriptor() {
        if (descriptor_ > STDIN_FILENO) close(descriptor_);
    }
    InputDescriptor(const InputDescriptor&) = delete;
    InputDescriptor& operator=(const InputDescriptor&) = delete;
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

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

std::runtime_error failure(const std::string& name, int error) {
    return std::runtime_error("cannot read " + name + ": " + std::strerror(error));
}

void appendBlock(std::string& bytes, const char* block, std::size_t count) { bytes.append(block, count); }
void appendBlock(ZEPBuffer& bytes, const char* block, std::size_t count) { bytes.append(count, block); }

// Appends the input's bytes to `bytes` (a std::string or a ZEPBuffer) in
// blocks, wiping the block buffer before it goes.
template <typename Bytes>
void readInto(const std::string& path, std::size_t limit, Bytes& bytes) {
    const bool standardInput = path == "-";
    const std::string name = standardInput ? "standard input" : path;
    InputDescriptor input(standardInput ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (input.get() < 0) throw failure(name, errno);
    struct stat status {};
    if (fstat(input.get(), &status) == 0 && S_ISDIR(status.st_mode)) throw failure(name, EISDIR);

    char block[65536];
    WipedOnExit wiped(block, sizeof block);
    std::size_t total = 0;
    for (;;) {
        ssize_t count = read(input.get(), block, sizeof block);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw failure(name, errno);
        if (count == 0) return;
        appendBlock(bytes, block, static_cast<std::size_t>(count));
        total += static_cast<std::size_t>(count);
        if (total > limit)
            throw std::runtime_error("cannot read " + name + ": it holds more than " +
                                     std::to_string(limit / (1024 * 1024)) + " MiB, more than any certificate");
    }
}

}  // namespace

std::string readInputFile(const std::string& path, std::size_t limit) {
    std::string bytes;
    readInto(path, limit, bytes);
    return bytes;
}

ZEPBuffer readSecretInputFile(const std::string& path, std::size_t limit) {
    ZEPBuffer bytes;
    readInto(path, limit, bytes);
    return bytes;
}
