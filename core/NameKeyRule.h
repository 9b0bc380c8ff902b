#pragma once

#include "OptionRec.h"

#include <string>
#include <string_view>
#include <vector>

// How a file name becomes its name key, the text under which a file is collected and grouped.
// Built once from the options of a scan; copying it is cheap and it holds no state between
// names. The rules apply in this order, each only when its option is on:
// 1. Unicode names: a name that is valid UTF-8 is brought to NFC (UnicodeNames.h).
// 2. Copy marks: "x (1).txt", "x - Copy.txt", "Copy of x.txt" read "x.txt" (CopyMarks.h).
// 3. Extensions: an extension that belongs to a set of equal extensions ("jpg=jpeg;tif=tiff")
//    becomes the set's first one; "Ignore extension" then leaves the extension out. Extensions
//    are compared exactly with "Case sensitive", else after the case rule below.
// 4. Case, unless case-sensitive: the ASCII letters "A" to "Z" become "a" to "z"; with Unicode
//    names, a name that is valid UTF-8 is case-folded by Unicode's full folding and brought to
//    NFC again instead.
// 5. Ignored characters, unless case-sensitive: every ignore entry is stripped.
// With the four newer options off, a key is the name exactly as found (case-sensitive) or the
// name folded in its ASCII letters with the ignore entries stripped.
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
    // One set of equal extensions: its members as compared (see rule 3) and the first one as
    // written, which stands for all of them.
    struct TExtensionSet {
        std::string First;
        std::vector<std::string> Members;
    };

    void FoldCase(std::string& text) const;
    void ApplyEqualExtensions(std::string& key) const;

    bool FCaseSensitive = false;
    bool FHasIgnoreChars = false;
    bool FUnicodeNames = false;
    bool FIgnoreCopyMarks = false;
    bool FIgnoreExtension = false;
    std::vector<std::string> FIgnoreList;
    std::vector<TExtensionSet> FExtensionSets;
};
