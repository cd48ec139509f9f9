// An allocator that overwrites memory with zeros before releasing it.
#ifndef MERVIL_ZEPALLOCATOR_H
#define MERVIL_ZEPALLOCATOR_H

#include <cstddef>
#include <memory>

void zep_wipe(void* bytes, size_t length);

template <typename T>
struct ZEPWipingAllocator {
    using value_type = T;

    ZEPWipingAllocator() = default;
    template <typename U>
    ZEPWipingAllocator(const ZEPWipingAllocator<U>&) {}

    T* allocate(size_t count) { return std::allocator<T>().allocate(count); }
    void deallocate(T* items, size_t count) {
        zep_wipe(items, count * sizeof(T));
        std::allocator<T>().deallocate(items, count);
    }

    template <typename U>
    bool operator==(const ZEPWipingAllocator<U>&) const { return true; }
};

#endif
