#pragma once

#include <string>

// Folding without regard to ASCII letter case: "A" to "Z" become "a" to "z", and every other
// byte, UTF-8 included, stays as it is.
inline char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline void FoldAscii(std::string& text) {
    for (char& c : text)
        c = FoldAscii(c);
}
