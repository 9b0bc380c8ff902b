#pragma once

#include "FileInfoRec.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The files a walk has collected and not yet grouped, in the order the walk found them, each
// with its name key. Names and keys live in shared blocks and every distinct key is stored once,
// so a million files cost a few dozen bytes each.
class TPendingFiles {
public:
    TPendingFiles();

    // Registers a directory (ending in "/") and returns its index.
    uint32_t AddDir(std::string dir);
    void Add(uint32_t dir, std::string_view name, std::string_view key);
    void Clear();

    uint32_t Count() const { return static_cast<uint32_t>(FFiles.size()); }
    std::string_view Name(uint32_t file) const { return {FFiles[file].Name, FFiles[file].NameLength}; }
    const TDirRef& Dir(uint32_t file) const { return FDirs[FFiles[file].Dir]; }
    uint32_t KeyId(uint32_t file) const { return FFiles[file].Key; }

    // Distinct name keys, numbered from 0 in the order they were first met.
    uint32_t KeyCount() const { return static_cast<uint32_t>(FKeys.size()); }
    std::string_view Key(uint32_t keyId) const { return {FKeys[keyId].Text, FKeys[keyId].Length}; }

private:
    struct TFile {
        const char* Name;
        uint32_t NameLength;
        uint32_t Dir;
        uint32_t Key;
    };
    struct TKey {
        const char* Text;
        uint32_t Length;
        uint32_t Hash;
    };

    const char* Store(std::string_view text);
    uint32_t FindOrAddKey(std::string_view key, const char* storedName);
    void GrowKeySlots();

    std::vector<std::unique_ptr<char[]>> FBlocks;
    size_t FBlockUsed = 0;
    size_t FBlockSize = 0;
    std::vector<TDirRef> FDirs;
    std::deque<TFile> FFiles;
    std::vector<TKey> FKeys;
    std::vector<uint32_t> FKeySlots; // open addressing: key id + 1, or 0 for a free slot
};
