#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <sys/types.h>

// A directory's identity: the device and inode a status gave.
struct TDevIno {
    dev_t Dev;
    ino_t Ino;
    bool operator==(const TDevIno& other) const { return Dev == other.Dev && Ino == other.Ino; }
};

struct TDevInoHash {
    size_t operator()(const TDevIno& id) const {
        return std::hash<uint64_t>()(static_cast<uint64_t>(id.Ino) * 0x9e3779b97f4a7c15ull ^
                                     static_cast<uint64_t>(id.Dev));
    }
};
