#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The directory of a file, ending in "/". All files of one directory share one string.
using TDirRef = std::shared_ptr<const std::string>;

// What the program keeps of one found file.
struct TFileInfoRec {
    int64_t Size = 0;  // the full size in bytes, never wrapped
    uint32_t Time = 0; // last write as a packed DOS date-time in local time (0 if out of range)
    uint64_t LastWriteTime = 0; // last write in UTC, 100-nanosecond steps since 1601-01-01
    // The file's identity as the scan saw it; both 0 when unknown (a record loaded from a file).
    uint64_t Device = 0;
    uint64_t Inode = 0;
    std::string Name; // the file name as the directory gave it
    TDirRef Dir;      // the directory holding the file; may be null (empty)

    const std::string& DirText() const;
    // The full path of the file: Dir followed by Name.
    std::string FullPath() const;
};

// Splits a full path at its last "/" into a shared directory and a name, so that FullPath()
// gives the path back unchanged.
TFileInfoRec FileInfoForPath(const std::string& fullPath);
