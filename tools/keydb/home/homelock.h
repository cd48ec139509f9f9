// An flock(2) lock on a file, held while this object lives. keydb processes
// on the default token serialise on it: SoftHSM2's file store does not
// survive concurrent writers. Taking a lock waits while another process
// holds it in a conflicting mode; after about a second of waiting, keydb
// says on stderr what it waits for.
#ifndef KEYDB_HOMELOCK_H
#define KEYDB_HOMELOCK_H

#include <filesystem>
#include <string>

class HomeLock {
public:
    // Opens (or creates, mode 0600) the lock file; takes no lock yet.
    // `guarded` names what the lock guards, for the waiting line.
    HomeLock(const std::filesystem::path& file, std::string guarded);
    ~HomeLock();
    HomeLock(HomeLock&& other) noexcept;
    HomeLock& operator=(HomeLock&&) = delete;
    HomeLock(const HomeLock&) = delete;
    HomeLock& operator=(const HomeLock&) = delete;

    // Takes the lock: exclusive for one writer, shared for readers.
    void exclusive();
    void shared();

private:
    void take(int operation);
    // One try; false when another process holds the lock.
    bool tryTake(int operation);

    std::filesystem::path file_;
    std::string guarded_;
    int descriptor_;
};

#endif
