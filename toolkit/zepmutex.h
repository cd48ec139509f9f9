// Mutual exclusion for the toolkit and its modules.
#ifndef MERVIL_ZEPMUTEX_H
#define MERVIL_ZEPMUTEX_H

#include <mutex>

// A non-recursive mutex: never locked twice by one thread.
class ZEPMutex {
public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

// Holds a mutex for its lifetime.
class ZEPMutexLocker {
public:
    explicit ZEPMutexLocker(ZEPMutex& mutex) : mutex_(mutex) { mutex_.lock(); }
    ~ZEPMutexLocker() { mutex_.unlock(); }
    ZEPMutexLocker(const ZEPMutexLocker&) = delete;
    ZEPMutexLocker& operator=(const ZEPMutexLocker&) = delete;

private:
    ZEPMutex& mutex_;
};

#endif
