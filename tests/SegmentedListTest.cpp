#include "SegmentedList.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace {

struct TEntry {
    uint32_t A;
    uint32_t B;
    uint64_t C;
};

TEST(SegmentedListTest, KeepsEveryEntryAcrossSegmentsAndHandsThemOnWhole) {
    // 16-byte entries fill a segment of 2 MiB with 131,072; this list spans three segments.
    constexpr uint32_t Count = 300000;
    TSegmentedList<TEntry> list;
    for (uint32_t i = 0; i < Count; ++i) {
        list.push_back({i, ~i, uint64_t{i} << 32});
        ASSERT_EQ(list.size(), i + 1u);
    }
    TSegmentedList<TEntry> moved = std::move(list);
    EXPECT_EQ(list.size(), 0u); // NOLINT(bugprone-use-after-move): a moved-from list is empty
    ASSERT_EQ(moved.size(), size_t{Count});
    for (uint32_t i = 0; i < Count; ++i) {
        const TEntry& entry = moved[i];
        ASSERT_TRUE(entry.A == i && entry.B == ~i && entry.C == uint64_t{i} << 32) << i;
    }
    // A list filled again after clear starts from its first entry.
    moved.clear();
    moved.push_back({7, 8, 9});
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].C, 9u);
    list = std::move(moved);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(moved.size(), 0u); // NOLINT(bugprone-use-after-move)
}

} // namespace
