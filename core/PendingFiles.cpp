#include "PendingFiles.h"

#include <cstring>

namespace {

constexpr size_t TextBlockSize = 1 << 20;

uint32_t HashText(std::string_view text) {
    // FNV-1a: short file names, no need for more.
    uint32_t hash = 2166136261u;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

} // namespace

TPendingFiles::TPendingFiles() { FKeySlots.assign(1024, 0); }

void TPendingFiles::Clear() {
    FBlocks.clear();
    FBlockUsed = 0;
    FBlockSize = 0;
    FDirs.clear();
    FFiles.clear();
    FKeys.clear();
    FKeys.shrink_to_fit();
    FKeySlots.assign(1024, 0);
    FKeySlots.shrink_to_fit();
}

const char* TPendingFiles::Store(std::string_view text) {
    if (FBlocks.empty() || FBlockUsed + text.size() > FBlockSize) {
        FBlockSize = std::max(TextBlockSize, text.size());
        FBlocks.push_back(std::make_unique<char[]>(FBlockSize));
        FBlockUsed = 0;
    }
    char* target = FBlocks.back().get() + FBlockUsed;
    if (!text.empty())
        std::memcpy(target, text.data(), text.size());
    FBlockUsed += text.size();
    return target;
}

uint32_t TPendingFiles::AddDir(std::string dir) {
    FDirs.push_back(std::make_shared<const std::string>(std::move(dir)));
    return static_cast<uint32_t>(FDirs.size() - 1);
}

void TPendingFiles::Add(uint32_t dir, std::string_view name, std::string_view key) {
    const char* storedName = Store(name);
    const uint32_t keyId = FindOrAddKey(key, key == name ? storedName : nullptr);
    FFiles.push_back({storedName, static_cast<uint32_t>(name.size()), dir, keyId});
}

uint32_t TPendingFiles::FindOrAddKey(std::string_view key, const char* storedName) {
    const uint32_t hash = HashText(key);
    const size_t mask = FKeySlots.size() - 1;
    size_t slot = hash & mask;
    while (FKeySlots[slot] != 0) {
        const TKey& existing = FKeys[FKeySlots[slot] - 1];
        if (existing.Hash == hash && existing.Length == key.size() &&
            std::memcmp(existing.Text, key.data(), key.size()) == 0)
            return FKeySlots[slot] - 1;
        slot = (slot + 1) & mask;
    }
    // A key equal to the file's name shares the name's bytes.
    const char* text = storedName != nullptr ? storedName : Store(key);
    FKeys.push_back({text, static_cast<uint32_t>(key.size()), hash});
    const auto keyId = static_cast<uint32_t>(FKeys.size() - 1);
    FKeySlots[slot] = keyId + 1;
    if (FKeys.size() * 2 > FKeySlots.size())
        GrowKeySlots();
    return keyId;
}

void TPendingFiles::GrowKeySlots() {
    std::vector<uint32_t> slots(FKeySlots.size() * 2, 0);
    const size_t mask = slots.size() - 1;
    for (uint32_t keyId = 0; keyId < FKeys.size(); ++keyId) {
        size_t slot = FKeys[keyId].Hash & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = keyId + 1;
    }
    FKeySlots = std::move(slots);
}
