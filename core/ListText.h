#pragma once

#include <string>
#include <string_view>
#include <vector>

// A list text holds a list of strings on one line: entries separated by ";" (on reading also by
// "," and by blanks), an entry with a blank, a control character, a double quote or a comma
// written in double quotes with inner quotes doubled.

std::vector<std::string> SplitListText(std::string_view text);
std::string JoinListText(const std::vector<std::string>& list);
