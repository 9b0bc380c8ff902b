#pragma once

#include "LargeBlocks.h"

#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

// A list that grows at its end and never moves what it holds, in segments of 2 MiB taken as
// large blocks (huge pages where the system offers them, from the second segment on): a deque
// whose nodes are large enough that filling it with millions of entries costs few page faults.
template <class T> class TSegmentedList {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "entries are copied as bytes and never destroyed");

  public:
    TSegmentedList() = default;
    TSegmentedList(TSegmentedList&& other) noexcept
        : FSegments(std::move(other.FSegments)), FSize(std::exchange(other.FSize, 0)) {}
    TSegmentedList& operator=(TSegmentedList&& other) noexcept {
        if (this != &other) {
            FSegments = std::move(other.FSegments);
            FSize = std::exchange(other.FSize, 0);
        }
        return *this;
    }

    void push_back(const T& value) {
        if ((FSize & (PerSegment - 1)) == 0) {
            FSegments.reserve(FSegments.size() + 1); // the segment below is not lost if this fails
            FSegments.emplace_back(
                static_cast<T*>(AllocateLarge(SegmentBytes, !FSegments.empty())));
        }
        FSegments[FSize / PerSegment][FSize & (PerSegment - 1)] = value;
        ++FSize;
    }
    const T& operator[](size_t index) const {
        return FSegments[index / PerSegment][index & (PerSegment - 1)];
    }
    size_t size() const { return FSize; }
    void clear() {
        FSegments.clear();
        FSize = 0;
    }

  private:
    static constexpr size_t SegmentBytes = size_t{2} << 20;
    static constexpr size_t PerSegment = SegmentBytes / sizeof(T);
    static_assert(PerSegment * sizeof(T) == SegmentBytes && (PerSegment & (PerSegment - 1)) == 0,
                  "a segment holds a power of two of entries and fills its 2 MiB");

    std::vector<std::unique_ptr<T[], TLargeBlockFree<SegmentBytes>>> FSegments;
    size_t FSize = 0;
};
