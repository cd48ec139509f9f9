// An flock(2) lock on a file, held while this object lives. keydb processes
// on the default token serialise on it: SoftHSM2's file store does not
// survive concurrent writers. Taking a lock waits while another process
// holds it in a conflicting mode.
#ifndef KEYDB_HOMELOCK_H
#define KEYDB_HOMELOCK_H

#include <filesystem>

class HomeLock {
public:
    // Opens (or creates, mode 0600) the lock file; takes no lock yet.
    explicit HomeLock(const std::filesystem::path& file);
    ~HomeLock();
    HomeLock(HomeLock&& other) noexcept;
    HomeLock& operator=(HomeLock&&) = delete;
    HomeLock(const HomeLock&) = delete;
    HomeLock& operator=(const HomeLock&) = delete;

    // Takes or converts the lock: exclusive for one writer, shared for
    // readers.
    void exclusive();
    void shared();

private:
    void take(int operation);

    std::filesystem::path file_;
    int descriptor_;
};

#endif
