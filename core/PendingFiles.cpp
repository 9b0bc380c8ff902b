#include "PendingFiles.h"

#include <cstring>
#include <malloc.h>
#include <stdexcept>

TPendingFiles::TPendingFiles() {
    FKeySlots.assign(1024, 0);
}

void TPendingFiles::Clear() {
    FBlocks.clear();
    FBlockUsed = 0;
    FDirs.clear();
    FDirIds.clear();
    FFiles.clear();
    FKeys.clear();
    FKeySlots.assign(1024, 0);
    FKeySlots.shrink_to_fit();
}

void TPendingFiles::EndCollecting() {
    FKeySlots.clear();
    FKeySlots.shrink_to_fit();
    // The walk is over: what the heaps kept of the listings and batches freed during it goes
    // back to the system before the grouping needs memory of its own.
    malloc_trim(0);
}

void TPendingFiles::KeepOnly(const TLargeVector<uint32_t>& files) {
    {
        // The old lists end with this block, before their memory is handed back below.
        const TBlocks blocks = std::move(FBlocks);
        const TSegmentedList<TFile> oldFiles = std::move(FFiles);
        const TSegmentedList<TKey> oldKeys = std::move(FKeys);
        const std::vector<TDirRef> oldDirs = std::move(FDirs);
        const std::vector<TDirId> oldDirIds = std::move(FDirIds);
        FBlocks.clear();
        FFiles.clear();
        FKeys.clear();
        FDirs.clear();
        FDirIds.clear();
        FBlockUsed = 0;
        TLargeVector<uint32_t> newKeyIds(oldKeys.size(), UINT32_MAX);
        TLargeVector<uint32_t> newDirs(oldDirs.size(), UINT32_MAX);
        for (const uint32_t index : files) {
            const TFile& file = oldFiles[index];
            // The paths are copied as well: left where the walk's thread put them, they would
            // keep most of its released pages in use.
            uint32_t& dir = newDirs[file.Dir];
            if (dir == UINT32_MAX)
                dir = AddDir(*oldDirs[file.Dir], oldDirIds[file.Dir].Device,
                             oldDirIds[file.Dir].Inode);
            const std::string_view name = Text(blocks, file.Name, file.NameLength);
            const uint32_t storedName = Store(name);
            uint32_t& keyId = newKeyIds[file.Key];
            if (keyId == UINT32_MAX) {
                const TKey& key = oldKeys[file.Key];
                const std::string_view text = Text(blocks, key.Text, key.Length);
                FKeys.push_back({text == name ? storedName : Store(text), key.Length});
                keyId = static_cast<uint32_t>(FKeys.size() - 1);
            }
            FFiles.push_back({storedName, dir, keyId, file.NameLength});
        }
    }
    // What was released is handed back to the system: much of it lies in the heap of the thread
    // that built the keys, which nothing allocated later draws from.
    malloc_trim(0);
}

uint32_t TPendingFiles::Store(std::string_view text) {
    // A full block takes no more, not even an empty text, whose offset would not fit.
    if (FBlocks.empty() || FBlockUsed + text.size() > BlockSize || FBlockUsed == BlockSize) {
        if (FBlocks.size() >= (size_t{1} << (32 - BlockBits)))
            throw std::length_error("Too many file names for one scan");
        FBlocks.reserve(FBlocks.size() + 1); // the block below is not lost if this fails
        // No need to clear what is written before it is read.
        FBlocks.emplace_back(static_cast<char*>(AllocateLarge(BlockSize, !FBlocks.empty())));
        FBlockUsed = 0;
    }
    char* target = FBlocks.back().get() + FBlockUsed;
    if (!text.empty())
        std::memcpy(target, text.data(), text.size());
    const auto ref = static_cast<uint32_t>(((FBlocks.size() - 1) << BlockBits) | FBlockUsed);
    FBlockUsed += text.size();
    return ref;
}

uint32_t TPendingFiles::AddDir(std::string dir, uint64_t device, uint64_t inode) {
    FDirs.push_back(std::make_shared<const std::string>(std::move(dir)));
    FDirIds.push_back({device, inode});
    return static_cast<uint32_t>(FDirs.size() - 1);
}

uint32_t TPendingFiles::KeyHash(std::string_view key) {
    // FNV-1a: short file names, no need for more.
    uint32_t hash = 2166136261u;
    for (char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

void TPendingFiles::Add(uint32_t dir, std::string_view name, std::string_view key, uint32_t hash) {
    // Longer names than any file system allows cannot come from a directory listing.
    if (name.size() > MaxTextLength || key.size() > MaxTextLength)
        return;
    const uint32_t storedName = Store(name);
    const uint32_t keyId = FindOrAddKey(key, hash, key == name, storedName);
    FFiles.push_back({storedName, dir, keyId, static_cast<uint16_t>(name.size())});
}

uint32_t TPendingFiles::FindOrAddKey(std::string_view key, uint32_t hash, bool keyIsName,
                                     uint32_t storedName) {
    const size_t mask = FKeySlots.size() - 1;
    size_t slot = hash & mask;
    while (FKeySlots[slot] != 0) {
        const uint64_t entry = FKeySlots[slot];
        if (static_cast<uint32_t>(entry >> 32) == hash) {
            const auto keyId = static_cast<uint32_t>(entry) - 1;
            const TKey& existing = FKeys[keyId];
            if (Text(existing.Text, existing.Length) == key)
                return keyId;
        }
        slot = (slot + 1) & mask;
    }
    const uint32_t text = keyIsName ? storedName : Store(key);
    FKeys.push_back({text, static_cast<uint32_t>(key.size())});
    const auto keyId = static_cast<uint32_t>(FKeys.size() - 1);
    FKeySlots[slot] = (static_cast<uint64_t>(hash) << 32) | (keyId + 1);
    if (FKeys.size() * 2 > FKeySlots.size())
        GrowKeySlots();
    return keyId;
}

void TPendingFiles::GrowKeySlots() {
    TLargeVector<uint64_t> slots(FKeySlots.size() * 2, 0);
    const size_t mask = slots.size() - 1;
    for (const uint64_t entry : FKeySlots) {
        if (entry == 0)
            continue;
        size_t slot = (entry >> 32) & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = entry;
    }
    FKeySlots = std::move(slots);
}
