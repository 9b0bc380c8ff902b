#pragma once

#include <cstdint>
#include <string>

// Which attributes, besides the name key, two files must share to count as the same file.
// The record stores the value as a plain integer: anything outside 0..3 behaves as cmNameOnly.
enum TCompareMode : int32_t {
    cmNameSizeTime = 0,
    cmNameSize = 1,
    cmNameTime = 2,
    cmNameOnly = 3,
};

// Whether a compare mode asks for equal sizes, and for equal last-write times.
inline bool ComparesSize(int32_t compareMode) {
    return compareMode == cmNameSizeTime || compareMode == cmNameSize;
}
inline bool ComparesTime(int32_t compareMode) {
    return compareMode == cmNameSizeTime || compareMode == cmNameTime;
}

// Whether two files with the same name key count as the same file under a compare mode. A file
// is anything with a Size and a packed DOS Time: a found file's record, or its status while the
// scan groups it.
template <typename TFile> bool SameFile(int32_t compareMode, const TFile& a, const TFile& b) {
    return (!ComparesSize(compareMode) || a.Size == b.Size) &&
           (!ComparesTime(compareMode) || a.Time == b.Time);
}

// The options of one search. The four text fields are list texts (see ListText.h).
struct TOptionRec {
    int32_t CompareMode = cmNameSizeTime;
    bool CaseSensitive = false;
    std::string IgnoreChar;
    std::string ScanPath;
    std::string ExcludePath;
    std::string FileTypes;
    // Further name rules, each off by default; with all of them off a name key is formed exactly
    // as the three fields above say (see NameKeyRule.h for what each one does).
    bool UnicodeNames = false;
    bool IgnoreCopyMarks = false;
    bool IgnoreExtension = false;
    // List text of extension sets such as "jpg=jpeg;tif=tiff".
    std::string EqualExtensions;

    bool operator==(const TOptionRec& other) const;
    bool operator!=(const TOptionRec& other) const { return !(*this == other); }
};

// The system's temporary directory takes the place of the original "C:\Temp".
inline constexpr const char* DefaultScanPath = "/tmp";

// The record a fresh window starts with, before any configuration file is read.
TOptionRec DefaultOptions();
