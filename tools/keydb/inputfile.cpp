#include "inputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

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

std::runtime_error failure(const std::string& name, int error) {
    return std::runtime_error("cannot read " + name + ": " + std::strerror(error));
}

}  // namespace

std::string readInputFile(const std::string& path, std::size_t limit) {
    const bool standardInput = path == "-";
    const std::string name = standardInput ? "standard input" : path;
    InputDescriptor input(standardInput ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (input.get() < 0) throw failure(name, errno);
    struct stat status {};
    if (fstat(input.get(), &status) == 0 && S_ISDIR(status.st_mode)) throw failure(name, EISDIR);

    std::string bytes;
    char block[65536];
    for (;;) {
        ssize_t count = read(input.get(), block, sizeof block);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw failure(name, errno);
        if (count == 0) return bytes;
        bytes.append(block, static_cast<std::size_t>(count));
        if (bytes.size() > limit)
            throw std::runtime_error("cannot read " + name + ": it holds more than " +
                                     std::to_string(limit / (1024 * 1024)) + " MiB, more than any certificate");
    }
}
