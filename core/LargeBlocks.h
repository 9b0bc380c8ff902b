#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

// Memory for a scan's large tables and text blocks. A block of a huge page or more is mapped on
// its own, on huge-page boundaries, and the system is asked to back it with huge pages: a scan
// fills tens of megabytes, and every small page costs a fault when it is first touched, which
// on a virtual machine can take microseconds. Where the system has no huge pages the request is
// ignored and the block works all the same. Smaller blocks come from the heap.
//
// A list that fills its blocks one after the other takes its first one in small pages
// (hugePages false), so that a small scan holds only the pages it has touched.
void* AllocateLarge(size_t bytes, bool hugePages = true);
void FreeLarge(void* block, size_t bytes) noexcept;

template <class T> class TLargeAllocator {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "blocks are aligned as new's");

  public:
    using value_type = T;

    TLargeAllocator() = default;
    template <class U> TLargeAllocator(const TLargeAllocator<U>& /*other*/) noexcept {}

    T* allocate(size_t count) {
        if (count > SIZE_MAX / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(AllocateLarge(count * sizeof(T)));
    }
    void deallocate(T* block, size_t count) noexcept { FreeLarge(block, count * sizeof(T)); }

    template <class U> bool operator==(const TLargeAllocator<U>& /*other*/) const noexcept {
        return true;
    }
    template <class U> bool operator!=(const TLargeAllocator<U>& /*other*/) const noexcept {
        return false;
    }
};

template <class T> using TLargeVector = std::vector<T, TLargeAllocator<T>>;

// Frees a block of Bytes taken with AllocateLarge, for a std::unique_ptr.
template <size_t Bytes> struct TLargeBlockFree {
    void operator()(void* block) const noexcept { FreeLarge(block, Bytes); }
};
