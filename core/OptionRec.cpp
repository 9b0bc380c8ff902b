#include "OptionRec.h"

bool TOptionRec::operator==(const TOptionRec& other) const {
    return CompareMode == other.CompareMode && CaseSensitive == other.CaseSensitive &&
           IgnoreChar == other.IgnoreChar && ScanPath == other.ScanPath &&
           ExcludePath == other.ExcludePath && FileTypes == other.FileTypes &&
           UnicodeNames == other.UnicodeNames && IgnoreCopyMarks == other.IgnoreCopyMarks &&
           IgnoreExtension == other.IgnoreExtension && EqualExtensions == other.EqualExtensions;
}

TOptionRec DefaultOptions() {
    TOptionRec options;
    options.ScanPath = DefaultScanPath;
    return options;
}
