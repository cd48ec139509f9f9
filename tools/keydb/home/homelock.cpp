#include "home/homelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <iostream>
#include <system_error>
#include <thread>

namespace {
// Tries before the waiting line, 50 ms apart: about a second.
constexpr int quietTries = 20;
}  // namespace

HomeLock::HomeLock(const std::filesystem::path& file, std::string guarded)
    : file_(file),
      guarded_(std::move(guarded)),
      descriptor_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
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

HomeLock::HomeLock(HomeLock&& other) noexcept
    : file_(std::move(other.file_)), guarded_(std::move(other.guarded_)), descriptor_(other.descriptor_) {
    other.descriptor_ = -1;
}

void HomeLock::exclusive() { take(LOCK_EX); }

void HomeLock::shared() { take(LOCK_SH); }

void HomeLock::take(int operation) {
    for (int tries = 0; tries < quietTries; ++tries) {
        if (tryTake(operation | LOCK_NB)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::cerr << "keydb: waiting for another keydb to finish with " << guarded_ << " (lock " << file_.string()
              << ")" << std::endl;
    // Without LOCK_NB it returns once the lock is free.
    tryTake(operation);
}

bool HomeLock::tryTake(int operation) {
    while (::flock(descriptor_, operation) != 0) {
        if (errno == EWOULDBLOCK) return false;
        if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "cannot lock " + file_.string());
    }
    return true;
}
