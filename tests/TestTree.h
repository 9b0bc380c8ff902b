#pragma once

#include "FileInfoRec.h"

#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <string>
#include <sys/resource.h>
#include <vector>

// Caps the size of the files this process writes while it lives: writing past the cap fails
// with EFBIG, for root too.
class TFileSizeCap {
  public:
    explicit TFileSizeCap(rlim_t bytes);
    ~TFileSizeCap();
    TFileSizeCap(const TFileSizeCap&) = delete;
    TFileSizeCap& operator=(const TFileSizeCap&) = delete;

  private:
    void (*FHandler)(int);
    rlimit FSaved{};
};

// The whole content of a file ("" when it cannot be read).
std::string ReadBytes(const std::string& path);
// The record a scan of this run makes of a file as it is now: size, times and identity (an
// empty record with its path when the file cannot be looked up).
TFileInfoRec RecordOf(const std::string& path);
// Replaces the file's content with the bytes.
void WriteBytes(const std::string& path, const std::string& bytes);
// The names in a directory, sorted.
std::vector<std::string> Entries(const std::string& dir);

// A temporary directory tree for tests, removed again with everything in it.
class TTestTree {
  public:
    // 2003-02-01 10:11:12 UTC: a time every file gets unless a test chooses another.
    static constexpr time_t DefaultTime = 1044094272;

    struct TFileSpec {
        std::string Path; // relative to the root; a path ending in "/" is a directory
        int64_t Size = 0;
        time_t Time = DefaultTime;
    };

    TTestTree();
    explicit TTestTree(std::initializer_list<TFileSpec> files);
    ~TTestTree();
    TTestTree(const TTestTree&) = delete;
    TTestTree& operator=(const TTestTree&) = delete;

    // The root, without a trailing "/".
    const std::string& Root() const { return FRoot; }
    // A path below the root.
    std::string operator/(const std::string& relative) const { return FRoot + "/" + relative; }

    // Creates a file (and its missing parent directories) of the size (sparse) and time.
    void File(const std::string& relative, int64_t size = 0, time_t time = DefaultTime);
    void File(const TFileSpec& file) { File(file.Path, file.Size, file.Time); }
    void Dir(const std::string& relative);
    void Symlink(const std::string& relative, const std::string& target);
    void Fifo(const std::string& relative);
    void Chmod(const std::string& relative, unsigned mode);
    void Remove(const std::string& relative);

  private:
    void MakeParents(const std::string& relative);

    std::string FRoot;
};
