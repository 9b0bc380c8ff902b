#include "ListText.h"

#include <algorithm>

namespace {

bool IsBlankOrControl(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

bool NeedsQuotes(const std::string& entry) {
    return std::any_of(entry.begin(), entry.end(),
                       [](char c) { return IsBlankOrControl(c) || c == '"' || c == ','; });
}

} // namespace

std::vector<std::string> SplitListText(std::string_view text) {
    // The text ends at a NUL byte, as a C string would.
    std::string s(text.substr(0, text.find('\0')));
    // ";" is stored in place of ",", also inside quotes: both separate the same way.
    std::replace(s.begin(), s.end(), ';', ',');

    std::vector<std::string> entries;
    size_t i = 0;
    const size_t n = s.size();
    auto skipBlanks = [&] {
        while (i < n && IsBlankOrControl(s[i]))
            ++i;
    };

    skipBlanks();
    while (i < n) {
        std::string entry;
        if (s[i] == '"') {
            // A quoted entry without its closing quote takes the rest of the text.
            ++i;
            while (i < n) {
                if (s[i] == '"') {
                    if (i + 1 < n && s[i + 1] == '"') {
                        entry += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                entry += s[i++];
            }
        } else {
            const size_t start = i;
            while (i<n&& static_cast<unsigned char>(s[i])> 32 && s[i] != ',')
                ++i;
            entry = s.substr(start, i - start);
        }
        entries.push_back(std::move(entry));

        skipBlanks();
        if (i < n && s[i] == ',') {
            ++i;
            skipBlanks();
        }
    }
    return entries;
}

std::string JoinListText(const std::vector<std::string>& list) {
    if (list.size() == 1 && list.front().empty())
        return "\"\"";

    std::string result;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0)
            result += ',';
        const std::string& entry = list[i];
        if (!NeedsQuotes(entry)) {
            result += entry;
            continue;
        }
        result += '"';
        for (char c : entry) {
            if (c == '"')
                result += '"';
            result += c;
        }
        result += '"';
    }
    std::replace(result.begin(), result.end(), ',', ';');
    return result;
}
