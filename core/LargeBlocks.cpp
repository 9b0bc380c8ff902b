#include "LargeBlocks.h"

#include <cstdio>
#include <cstring>
#include <sys/mman.h>

namespace {

// Whether transparent huge pages are switched off altogether ("[never]").
bool HugePagesOff() {
    FILE* file = std::fopen("/sys/kernel/mm/transparent_hugepage/enabled", "re");
    if (file == nullptr)
        return true;
    char line[128] = {};
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    return !read || std::strstr(line, "[never]") != nullptr;
}

// The size of a huge page that the system hands out on request, or 0 when it does not: read
// once from the kernel. Sizes far beyond the common 2 MiB (as with 64 KiB base pages) would
// waste more memory at the end of each block than the faults cost, so they count as none.
//
// A huge page is made when a block is first touched, and the kernel may first compact memory
// for it; where that fails, the block gets small pages.
size_t HugePageSize() {
    static const size_t size = [] {
        size_t found = 0;
        if (HugePagesOff())
            return found;
        if (FILE* file = std::fopen("/sys/kernel/mm/transparent_hugepage/hpage_pmd_size", "re")) {
            unsigned long long value = 0;
            if (std::fscanf(file, "%llu", &value) == 1 && value >= 4096 && value <= (4u << 20) &&
                (value & (value - 1)) == 0)
                found = static_cast<size_t>(value);
            std::fclose(file);
        }
        return found;
    }();
    return size;
}

size_t RoundUp(size_t value, size_t step) {
    return (value + step - 1) / step * step;
}

} // namespace

void* AllocateLarge(size_t bytes, bool hugePages) {
    const size_t hugePage = HugePageSize();
    if (hugePage == 0 || bytes < hugePage)
        return ::operator new(bytes);
    if (bytes > SIZE_MAX - 2 * hugePage)
        throw std::bad_alloc();
    const size_t size = RoundUp(bytes, hugePage);
    // One huge page more than the block, so that the block can start on a huge page's boundary;
    // what lies before and after it is handed back at once.
    const size_t mappedSize = size + hugePage;
    void* const mapped =
        mmap(nullptr, mappedSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t begin = RoundUp(start, hugePage);
    const uintptr_t end = begin + size;
    if (begin > start)
        munmap(mapped, begin - start);
    if (start + mappedSize > end)
        munmap(reinterpret_cast<void*>(end), start + mappedSize - end);
    void* const block = reinterpret_cast<void*>(begin);
    if (hugePages)
        madvise(block, size, MADV_HUGEPAGE); // a request only: small pages serve as well
    return block;
}

void FreeLarge(void* block, size_t bytes) noexcept {
    const size_t hugePage = HugePageSize();
    if (hugePage == 0 || bytes < hugePage) {
        ::operator delete(block);
        return;
    }
    munmap(block, RoundUp(bytes, hugePage));
}
