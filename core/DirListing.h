#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The entries of one directory that a walk may collect or enter: regular files and
// subdirectories (symbolic links and other kinds are left out), in ascending byte order of their
// names, which lie side by side in one buffer.
struct TDirListing {
    struct TEntry {
        uint32_t Offset;
        uint32_t Length;
        bool IsFile;
    };

    std::string Names;
    std::vector<TEntry> Entries;

    std::string_view Name(const TEntry& entry) const {
        return std::string_view(Names).substr(entry.Offset, entry.Length);
    }
    // Appends the names of the subdirectories, in their order.
    void AppendSubdirs(std::vector<std::string>& subdirs) const {
        for (const TEntry& entry : Entries)
            if (!entry.IsFile)
                subdirs.emplace_back(Name(entry));
    }
    // Lists the directory open at fd, replacing what was listed before. An entry that vanishes
    // before its kind is known is left out; a read error ends the listing, and what was read so
    // far counts.
    void Read(int fd);
};
