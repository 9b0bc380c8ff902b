#include "NameKeyRule.h"

#include "ListText.h"

TNameKeyRule::TNameKeyRule(const TOptionRec& options)
    : FCaseSensitive(options.CaseSensitive), FHasIgnoreChars(!options.IgnoreChar.empty()) {
    if (FHasIgnoreChars)
        FIgnoreList = SplitListText(options.IgnoreChar);
}

std::string TNameKeyRule::NameKey(std::string_view name) const {
    std::string key;
    NameKey(name, key);
    return key;
}

void TNameKeyRule::NameKey(std::string_view name, std::string& key) const {
    key.assign(name);
    if (FCaseSensitive)
        return;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (FHasIgnoreChars)
        key = StripIgnoreChars(std::move(key));
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
