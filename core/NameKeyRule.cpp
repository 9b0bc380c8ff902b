#include "NameKeyRule.h"

#include "AsciiCase.h"
#include "CopyMarks.h"
#include "FileNameParts.h"
#include "ListText.h"
#include "UnicodeNames.h"

TNameKeyRule::TNameKeyRule(const TOptionRec& options)
    : FCaseSensitive(options.CaseSensitive), FHasIgnoreChars(!options.IgnoreChar.empty()),
      FUnicodeNames(options.UnicodeNames), FIgnoreCopyMarks(options.IgnoreCopyMarks),
      FIgnoreExtension(options.IgnoreExtension) {
    if (FHasIgnoreChars)
        FIgnoreList = SplitListText(options.IgnoreChar);
    // A set is written "jpg=jpeg=jpe"; a member may be written with its dot, and an empty member
    // (no extension at all) never counts. Sets of fewer than two members change nothing.
    for (const std::string& entry : SplitListText(options.EqualExtensions)) {
        TExtensionSet set;
        for (size_t from = 0; from <= entry.size();) {
            size_t end = entry.find('=', from);
            if (end == std::string::npos)
                end = entry.size();
            std::string member = entry.substr(from, end - from);
            from = end + 1;
            if (!member.empty() && member[0] == '.')
                member.erase(0, 1);
            if (member.empty())
                continue;
            if (set.Members.empty())
                set.First = member;
            if (FUnicodeNames)
                ToNfc(member);
            FoldCase(member);
            set.Members.push_back(std::move(member));
        }
        if (set.Members.size() > 1)
            FExtensionSets.push_back(std::move(set));
    }
}

std::string TNameKeyRule::NameKey(std::string_view name) const {
    std::string key;
    NameKey(name, key);
    return key;
}

void TNameKeyRule::NameKey(std::string_view name, std::string& key) const {
    key.assign(name);
    if (FUnicodeNames)
        ToNfc(key);
    if (FIgnoreCopyMarks)
        RemoveCopyMarks(key);
    if (!FExtensionSets.empty())
        ApplyEqualExtensions(key);
    if (FIgnoreExtension)
        key.erase(ExtensionStart(key));
    if (FCaseSensitive)
        return;
    FoldCase(key);
    if (FHasIgnoreChars)
        key = StripIgnoreChars(std::move(key));
}

void TNameKeyRule::FoldCase(std::string& text) const {
    if (FCaseSensitive)
        return;
    if (FUnicodeNames)
        FoldCaseToNfc(text);
    else
        FoldAscii(text);
}

void TNameKeyRule::ApplyEqualExtensions(std::string& key) const {
    const size_t start = ExtensionStart(key);
    if (start == key.size())
        return;
    std::string extension = key.substr(start + 1);
    FoldCase(extension);
    for (const TExtensionSet& set : FExtensionSets)
        for (const std::string& member : set.Members)
            if (member == extension) {
                key.replace(start + 1, std::string::npos, set.First);
                return;
            }
}

std::string TNameKeyRule::StripIgnoreChars(std::string key) const {
    for (const std::string& entry : FIgnoreList) {
        if (entry.empty())
            continue;
        std::string stripped;
        size_t from = 0;
        for (size_t at = key.find(entry); at != std::string::npos; at = key.find(entry, from)) {
            stripped.append(key, from, at - from);
            from = at + entry.size();
        }
        stripped.append(key, from, std::string::npos);
        key = std::move(stripped);
    }
    return key;
}
