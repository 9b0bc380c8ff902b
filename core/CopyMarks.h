#pragma once

#include <string>

// Removes the marks that file managers and browsers add to the name of a copy, so that
// "report (1).pdf", "report - Copy.pdf" and "Copy of report.pdf" all read "report.pdf".
//
// The marks are looked for in the part of the name before its extension (see FileNameParts.h),
// ASCII letters compared without regard to case; N stands for one or more digits, Nth for digits
// followed by "st", "nd", "rd" or "th". Repeatedly, until nothing changes:
// - a trailing " (N)", "(N)", " - Copy", " - Copy (N)", " copy", " copy N", " (copy)",
//   " (another copy)" or " (Nth copy)" is removed: of the marks that end the part and leave
//   something before them, the longest;
// - otherwise a leading "Copy of " or "Copy (N) of " is removed when something remains after it.
// So "(1).txt" stays as it is, and "x (1) (2).txt" and "Copy of Copy of x.txt" become "x.txt".
void RemoveCopyMarks(std::string& name);
