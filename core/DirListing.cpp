#include "DirListing.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct TLinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

void TDirListing::Read(int fd) {
    Names.clear();
    Entries.clear();
    alignas(8) char buffer[32768];
    for (;;) {
        const long count = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (count <= 0)
            break; // end of the directory, or a read error: what was read so far counts
        for (long offset = 0; offset < count;) {
            const auto* entry = reinterpret_cast<const TLinuxDirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (IsDotOrDotDot(entry->d_name))
                continue;
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN) {
                struct stat info {};
                if (fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                    continue; // vanished since the listing
                type = S_ISREG(info.st_mode) ? DT_REG : S_ISDIR(info.st_mode) ? DT_DIR : DT_LNK;
            }
            if (type != DT_REG && type != DT_DIR)
                continue;
            const std::string_view name(entry->d_name);
            Entries.push_back({static_cast<uint32_t>(Names.size()),
                               static_cast<uint32_t>(name.size()), type == DT_REG});
            Names.append(name);
        }
    }
    std::sort(Entries.begin(), Entries.end(),
              [&](const TEntry& a, const TEntry& b) { return Name(a) < Name(b); });
}
