#pragma once

#include "OptionRec.h"

#include <string>
#include <string_view>
#include <vector>

// How a file name becomes its name key, the text under which a file is collected and grouped.
// Case-sensitive, the key is the name exactly as found. Otherwise the ASCII letters "A" to "Z"
// become "a" to "z" and then the ignore entries are stripped from it. Built once from the options
// of a scan; copying it is cheap and it holds no state between names.
class TNameKeyRule {
  public:
    TNameKeyRule() = default;
    explicit TNameKeyRule(const TOptionRec& options);

    // The name key under which a file of that name is collected.
    std::string NameKey(std::string_view name) const;
    // The same, written into `key`, whose buffer is reused from name to name.
    void NameKey(std::string_view name, std::string& key) const;

    // Removes every occurrence of each ignore entry from a name key, entry by entry, in one
    // left-to-right pass per entry (the text that results is not searched again, so removing
    // "ab" from "aabb" leaves "ab"). An empty entry changes nothing.
    std::string StripIgnoreChars(std::string key) const;

  private:
    bool FCaseSensitive = false;
    bool FHasIgnoreChars = false;
    std::vector<std::string> FIgnoreList;
};
