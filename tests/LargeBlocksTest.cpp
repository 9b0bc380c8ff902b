#include "LargeBlocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <string>

namespace {

constexpr size_t MiB = size_t{1} << 20;

// The huge-page size the system offers, or 0.
size_t SystemHugePage() {
    std::ifstream file("/sys/kernel/mm/transparent_hugepage/hpage_pmd_size");
    size_t size = 0;
    return file >> size ? size : 0;
}

// The flags of the mapping that holds address, as /proc/self/smaps lists them ("rd wr ... hg").
std::string MappingFlags(const void* address) {
    const auto wanted = reinterpret_cast<uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        unsigned long begin = 0, end = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx ", &begin, &end) == 2 &&
            line.find('-') < line.find(' '))
            inside = begin <= wanted && wanted < end;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line;
    }
    return "";
}

TEST(LargeBlocksTest, TablesKeepTheirContentsThroughGrowthWhateverTheirSize) {
    // From a few bytes on the heap to blocks of several huge pages, and back by shrinking.
    TLargeVector<uint32_t> table;
    for (uint32_t i = 0; i < 3 * MiB; ++i)
        table.push_back(i * 7);
    for (uint32_t i = 0; i < table.size(); i += 4099)
        ASSERT_EQ(table[i], i * 7) << i;
    table.resize(100);
    table.shrink_to_fit();
    EXPECT_EQ(table.back(), 99u * 7);
    TLargeVector<char> small(10, 'x');
    EXPECT_EQ(std::string(small.begin(), small.end()), "xxxxxxxxxx");
    // A size that cannot be rounded up to whole huge pages fails as an allocation does.
    EXPECT_THROW(AllocateLarge(SIZE_MAX - 10), std::bad_alloc);
}

TEST(LargeBlocksTest, ALargeBlockStartsOnAHugePageAndAsksForHugePages) {
    const size_t hugePage = SystemHugePage();
    if (hugePage == 0 || hugePage > 4 * MiB)
        GTEST_SKIP() << "this system offers no huge pages of a usable size";
    const size_t bytes = 3 * hugePage + 1;
    char* const block = static_cast<char*>(AllocateLarge(bytes));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % hugePage, 0u);
    std::memset(block, 0x5a, bytes); // every byte asked for is there
    EXPECT_EQ(block[bytes - 1], 0x5a);
    EXPECT_NE(MappingFlags(block + bytes - 1).find(" hg"), std::string::npos)
        << MappingFlags(block + bytes - 1);
    FreeLarge(block, bytes);

    // The first block of a list that fills its blocks in turn asks for none.
    char* const firstBlock = static_cast<char*>(AllocateLarge(bytes, false));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(firstBlock) % hugePage, 0u);
    firstBlock[bytes - 1] = 1;
    EXPECT_EQ(MappingFlags(firstBlock).find(" hg"), std::string::npos);
    FreeLarge(firstBlock, bytes);

    // Below a huge page, a block comes from the heap, which asks for none.
    char* const smallBlock = static_cast<char*>(AllocateLarge(hugePage / 2));
    std::memset(smallBlock, 1, hugePage / 2);
    EXPECT_EQ(MappingFlags(smallBlock).find(" hg"), std::string::npos);
    FreeLarge(smallBlock, hugePage / 2);
}

} // namespace
