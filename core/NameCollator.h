#pragma once

#include <cstdint>
#include <string_view>

struct UCollator;

// Orders name keys the way the user's locale does, ignoring letter case (ICU, secondary
// strength). In the C and POSIX locales ICU's default collation keeps capitals and small letters
// apart, so the root collation takes its place there.
class TNameCollator {
public:
    TNameCollator();
    TNameCollator(const TNameCollator& other);
    TNameCollator& operator=(const TNameCollator&) = delete;
    ~TNameCollator();

    // Negative, zero or positive as a sorts before, with or after b. UTF-8 input.
    int Compare(std::string_view a, std::string_view b) const;

    // The first eight bytes of the sort key, big-endian: when two prefixes differ they order
    // the texts as Compare does; when they are equal only Compare can tell.
    uint64_t KeyPrefix(std::string_view text) const;

private:
    UCollator* FCollator = nullptr;
};
