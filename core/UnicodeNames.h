#pragma once

#include <string>
#include <string_view>

// Unicode forms of file names, which Linux keeps as bytes: a name may arrive composed from one
// program and decomposed from another (copies from macOS), and need not be UTF-8 at all. Only
// valid UTF-8 is ever changed here; other bytes are left as they are.

bool IsAscii(std::string_view text);
// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code points above
// U+10FFFF.
bool IsValidUtf8(std::string_view text);

// Brings valid UTF-8 to Normalization Form C; other text is left unchanged.
void ToNfc(std::string& text);
// Full Unicode case folding by the root rules (not the Turkish ones), then NFC again, because
// folding can leave a decomposed form ("ǰ" folds to "j" and a combining caron). Text that is not
// valid UTF-8 keeps its bytes, except that "A" to "Z" become "a" to "z".
void FoldCaseToNfc(std::string& text);
