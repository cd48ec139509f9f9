// Locks that keep the call sequences on one session apart: a search from
// C_FindObjectsInit to C_FindObjectsFinal, a two-pass attribute read, a
// one-shot cryptographic operation from its Init to its one call, and the
// Init of a multi-part one. Cryptoki allows one active operation of a kind
// per session, and copies of a slot manager share one session across
// threads, so such sequences must never interleave, whether or not the
// library does its own locking.
#ifndef MERVIL7_SESSIONLOCKS_H
#define MERVIL7_SESSIONLOCKS_H

#include <array>
#include <mutex>

#include "cryptoki.h"

class SessionLocks {
public:
    // Holds the lock of `session` until destroyed. Sessions share a fixed set
    // of locks, so a lock may also keep another session's sequence waiting,
    // never two sequences of one session running at once.
    [[nodiscard]] std::unique_lock<std::mutex> lock(CK_SESSION_HANDLE session) {
        return std::unique_lock<std::mutex>(locks_[session % locks_.size()]);
    }

private:
    std::array<std::mutex, 31> locks_;
};

#endif
