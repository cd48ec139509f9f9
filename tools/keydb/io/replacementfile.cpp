#include "io/replacementfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

ReplacementFile::ReplacementFile(std::filesystem::path target) : target_(std::move(target)) {
    // Refused before anything is written: rename(2) would take an empty
    // folder's place.
    struct stat status {};
    if (::lstat(target_.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) fail(EISDIR);
    std::string name = (target_.parent_path() / ("." + target_.filename().string() + ".XXXXXX")).string();
    descriptor_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor_ < 0) fail(errno);
    temporary_ = name;
    if (::fchmod(descriptor_, 0600) != 0) {
        int error = errno;
        ::close(descriptor_);
        ::unlink(temporary_.c_str());
        fail(error);
    }
}

ReplacementFile::~ReplacementFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void ReplacementFile::write(const void* bytes, std::size_t length) {
    const char* next = static_cast<const char*>(bytes);
    while (length > 0) {
        ssize_t written = ::write(descriptor_, next, length);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) fail(errno);
        next += written;
        length -= static_cast<std::size_t>(written);
    }
}

void ReplacementFile::commit() {
    // On disk before the rename, so that a crash cannot leave an empty file
    // where the old one was.
    if (::fsync(descriptor_) != 0) fail(errno);
    const int closed = ::close(descriptor_);
    descriptor_ = -1;
    if (closed != 0) fail(errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) fail(errno);
    temporary_.clear();
}

void ReplacementFile::fail(int error) const {
    throw std::system_error(error, std::generic_category(), "cannot write " + target_.string());
}
