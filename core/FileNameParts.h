#pragma once

#include <string_view>

// Where a file name's extension starts: at its last ".", unless that "." is the name's first
// character (".bashrc" has none, "archive.tar.gz" has ".gz"). A name without one gives its
// length, so the part before the extension is always name.substr(0, ExtensionStart(name)).
inline size_t ExtensionStart(std::string_view name) {
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name.size() : dot;
}
