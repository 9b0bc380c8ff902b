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

    // Whether texts made of ASCII alone are compared through a table instead of ICU.
    bool HasAsciiTable() const { return FHasAsciiTable; }

    // For an ASCII text, when the table is in use: the ranks of its first sixteen weighed
    // characters, big-endian in two words. Two such prefixes that differ order their texts as
    // Compare does.
    struct TAsciiPrefix {
        uint64_t High = 0;
        uint64_t Low = 0;
        bool operator==(const TAsciiPrefix& other) const {
            return High == other.High && Low == other.Low;
        }
        bool operator<(const TAsciiPrefix& other) const {
            return High != other.High ? High < other.High : Low < other.Low;
        }
        // Whether the text has fewer weighed characters than a prefix holds: two such texts
        // with equal prefixes compare equal.
        bool HoldsWholeText() const { return (Low & 0xFF) == 0; }
    };
    bool AsciiPrefix(std::string_view text, TAsciiPrefix& prefix) const;
    // Compare for two texts that AsciiPrefix accepted.
    int CompareKnownAscii(std::string_view a, std::string_view b) const;

  private:
    struct TPrototypeTag {};
    explicit TNameCollator(TPrototypeTag);
    static const TNameCollator& Prototype();
    void BuildAsciiTable();

    UCollator* FCollator = nullptr;
    // Most file names are ASCII. Where the collation weighs every ASCII character on its own
    // (no contractions, no expansions, one primary weight each), comparing two ASCII texts is
    // comparing the ranks of their characters, ignorable characters left out.
    bool FHasAsciiTable = false;
    uint8_t FRank[128] = {};
};
