#include "home/homelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

HomeLock::HomeLock(const std::filesystem::path& file)
    : file_(file), descriptor_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
    if (descriptor_ < 0) throw std::system_error(errno, std::generic_category(), "cannot open " + file.string());
    // The umask may have narrowed the mode; later opens need it readable.
    if (::fchmod(descriptor_, 0600) != 0) {
        int error = errno;
        ::close(descriptor_);
        throw std::system_error(error, std::generic_category(), "cannot set the mode of " + file.string());
    }
}

HomeLock::~HomeLock() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

HomeLock::HomeLock(HomeLock&& other) noexcept : file_(std::move(other.file_)), descriptor_(other.descriptor_) {
    other.descriptor_ = -1;
}

void HomeLock::exclusive() { take(LOCK_EX); }

void HomeLock::shared() { take(LOCK_SH); }

void HomeLock::take(int operation) {
    while (::flock(descriptor_, operation) != 0)
        if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "cannot lock " + file_.string());
}
