#pragma once

#include <string>
#include <string_view>

// A file name as a terminal or a message box may show it: the bytes of the name, except that
// control characters are written as C escapes ("\t", "\r", "\n", "\xHH" for the other C0
// controls, DEL and the C1 controls), every byte that is not part of valid UTF-8 as "\xHH", and
// the characters that reorder or break a line (bidirectional controls, line and paragraph
// separators) as "\uHHHH". A backslash stays as it is. The result is valid UTF-8.
std::string DisplayText(std::string_view bytes);
// The same appended to `out`. Texts that split after an ASCII byte (a directory ending in "/" and
// a name) give the same as their whole.
void AppendDisplayText(std::string& out, std::string_view bytes);

// Appends a file name as the text report writes it: CR as "\r" and LF as "\n", so that no name
// breaks a line of the report; every other byte as it is.
void AppendReportText(std::string& out, std::string_view bytes);
