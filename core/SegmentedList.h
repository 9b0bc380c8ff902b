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
        FSegments = std::move(other.FSegments);
        FSize = std::exchange(other.FSize, 0);
        return *this;
    }

    void push_back(const T& value) {
        if ((FSize & (PerSegment - 1)) == 0 && FSize / PerSegment == FSegments.size())
            FSegments.emplace_back(
                static_cast<T*>(AllocateLarge(PerSegment * sizeof(T), !FSegments.empty())));
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
    // The most entries that fit in 2 MiB, rounded down to a power of two.
    static constexpr size_t PerSegment = [] {
        size_t count = 1;
        while (count * 2 * sizeof(T) <= (size_t{2} << 20))
            count *= 2;
        return count;
    }();

    struct TSegmentFree {
        void operator()(T* segment) const noexcept { FreeLarge(segment, PerSegment * sizeof(T)); }
    };

    std::vector<std::unique_ptr<T[], TSegmentFree>> FSegments;
    size_t FSize = 0;
};
