#pragma once

#include "FileInfoRec.h"
#include "LargeBlocks.h"
#include "SegmentedList.h"

#include <cstdint>
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

    // Registers a directory (ending in "/") with the device and inode the walk saw, and returns
    // its index.
    uint32_t AddDir(std::string dir, uint64_t device, uint64_t inode);
    void Add(uint32_t dir, std::string_view name, std::string_view key) {
        Add(dir, name, key, KeyHash(key));
    }
    // The same with the key's hash known (KeyHash): a caller that adds many files hashes the
    // next keys first and calls PrefetchKey for them, so that looking a key up does not wait for
    // memory.
    void Add(uint32_t dir, std::string_view name, std::string_view key, uint32_t hash);
    static uint32_t KeyHash(std::string_view key);
    void PrefetchKey(uint32_t hash) const {
        __builtin_prefetch(&FKeySlots[hash & (FKeySlots.size() - 1)]);
    }
    void Clear();

    // The walk is over: releases what only adding needed.
    void EndCollecting();
    // After EndCollecting: keeps only the given files (ascending indices), numbered from 0 in
    // that order, with their names and keys moved together into fresh blocks; their keys and
    // directories are numbered anew in the order the kept files first use them. Everything else
    // is released.
    void KeepOnly(const TLargeVector<uint32_t>& files);

    uint32_t Count() const { return static_cast<uint32_t>(FFiles.size()); }
    std::string_view Name(uint32_t file) const {
        return Text(FFiles[file].Name, FFiles[file].NameLength);
    }
    uint32_t DirIndex(uint32_t file) const { return FFiles[file].Dir; }
    const TDirRef& Dir(uint32_t file) const { return FDirs[FFiles[file].Dir]; }
    // The identity of the file's directory when the walk read it.
    uint64_t DirDevice(uint32_t file) const { return FDirIds[FFiles[file].Dir].Device; }
    uint64_t DirInode(uint32_t file) const { return FDirIds[FFiles[file].Dir].Inode; }
    uint32_t KeyId(uint32_t file) const { return FFiles[file].Key; }

    // Distinct name keys, numbered from 0 in the order they were first met.
    uint32_t KeyCount() const { return static_cast<uint32_t>(FKeys.size()); }
    std::string_view Key(uint32_t keyId) const {
        return Text(FKeys[keyId].Text, FKeys[keyId].Length);
    }

  private:
    // Texts are stored in blocks of 2 MiB (large blocks, see LargeBlocks.h) and referred to by
    // block number and offset, which keeps a file's entry at 16 bytes.
    static constexpr unsigned BlockBits = 21;
    static constexpr size_t BlockSize = size_t{1} << BlockBits;
    static constexpr size_t MaxTextLength = 0xffff;

    struct TFile {
        uint32_t Name;
        uint32_t Dir;
        uint32_t Key;
        uint16_t NameLength;
    };
    struct TDirId {
        uint64_t Device;
        uint64_t Inode;
    };
    struct TKey {
        uint32_t Text;
        uint32_t Length;
    };

    using TBlocks = std::vector<std::unique_ptr<char[], TLargeBlockFree<BlockSize>>>;

    static std::string_view Text(const TBlocks& blocks, uint32_t ref, uint32_t length) {
        return {blocks[ref >> BlockBits].get() + (ref & (BlockSize - 1)), length};
    }
    std::string_view Text(uint32_t ref, uint32_t length) const {
        return Text(FBlocks, ref, length);
    }
    uint32_t Store(std::string_view text);
    // A key equal to the file's name shares the name's stored bytes.
    uint32_t FindOrAddKey(std::string_view key, uint32_t hash, bool keyIsName, uint32_t storedName);
    void GrowKeySlots();

    TBlocks FBlocks;
    size_t FBlockUsed = 0;
    std::vector<TDirRef> FDirs;
    std::vector<TDirId> FDirIds; // parallel to FDirs
    TSegmentedList<TFile> FFiles;
    TSegmentedList<TKey> FKeys;
    // Open addressing: the key's hash in the high half and its id + 1 in the low half, or 0 for
    // a free slot; the hash spares most visits to the key itself.
    TLargeVector<uint64_t> FKeySlots;
};
