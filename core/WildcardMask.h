#pragma once

#include <string>
#include <string_view>

// A file mask with "*" (any run of characters) and "?" (one character: one UTF-8 code point, or
// one byte that is not valid UTF-8), matched against the whole name without regard to ASCII
// letter case. As in the classic file search, a mask ending in ".*" also matches the name
// without that extension, so "*.*" matches every name. An empty mask matches nothing.
class TWildcardMask {
  public:
    explicit TWildcardMask(std::string mask);

    bool Matches(std::string_view name) const;

  private:
    std::string FMask;
    bool FMatchesEverything = false;
};

// The length in bytes of the character that starts at text[index]: a whole UTF-8 sequence, or
// 1 for a byte that does not start a valid one.
size_t Utf8CharLength(std::string_view text, size_t index);
