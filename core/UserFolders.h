#pragma once

#include <string>

// A folder of the user's by the XDG base directory rules: the variable's value when it is an
// absolute path, else $HOME followed by `belowHome` (such as "/.local/share"); a trailing "/" is
// dropped. "" when neither is known (no absolute value and no absolute $HOME).
std::string UserFolder(const char* variable, const char* belowHome);
