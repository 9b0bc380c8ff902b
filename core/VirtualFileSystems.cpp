#include "VirtualFileSystems.h"

#include <array>
#include <fstream>
#include <linux/magic.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace {

constexpr std::array<const char*, 17> VirtualTypes = {
    "proc",    "sysfs",   "devtmpfs",   "devpts",      "cgroup", "cgroup2",
    "tracefs", "debugfs", "securityfs", "pstore",      "bpf",    "configfs",
    "fusectl", "mqueue",  "hugetlbfs",  "binfmt_misc", "autofs"};

// Type numbers of the virtual file systems that statfs can tell apart.
bool IsVirtualMagic(long type) {
    switch (static_cast<unsigned long>(type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case TRACEFS_MAGIC:
    case DEBUGFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case 0x62656570: // configfs
    case 0x65735543: // fusectl
    case 0x19800202: // mqueue
    case HUGETLBFS_MAGIC:
    case 0x42494e4d: // binfmt_misc
    case AUTOFS_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

} // namespace

bool TVirtualFileSystems::IsVirtualType(const std::string& fileSystemType) {
    for (const char* type : VirtualTypes)
        if (fileSystemType == type)
            return true;
    return false;
}

TVirtualFileSystems::TVirtualFileSystems() {
    std::ifstream file("/proc/self/mountinfo");
    if (!file)
        return;
    std::stringstream text;
    text << file.rdbuf();
    Parse(text.str());
}

TVirtualFileSystems::TVirtualFileSystems(const std::string& mountInfoText) {
    Parse(mountInfoText);
}

void TVirtualFileSystems::Parse(const std::string& mountInfoText) {
    // A line: id parent major:minor root mount-point options [optional fields] - type source ...
    std::istringstream lines(mountInfoText);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, device;
        if (!(fields >> id >> parent >> device))
            continue;
        const auto colon = device.find(':');
        if (colon == std::string::npos)
            continue;
        std::string field;
        while (fields >> field && field != "-") {
        }
        std::string type;
        if (field != "-" || !(fields >> type))
            continue;
        if (!IsVirtualType(type))
            continue;
        try {
            const auto major = static_cast<unsigned>(std::stoul(device.substr(0, colon)));
            const auto minor = static_cast<unsigned>(std::stoul(device.substr(colon + 1)));
            FDevices.insert(makedev(major, minor));
        } catch (const std::exception&) {
            // A malformed line names no device; the statfs test below still applies.
        }
    }
}

bool TVirtualFileSystems::IsVirtual(dev_t dev, int fd) const {
    if (FDevices.count(dev) != 0)
        return true;
    if (fd < 0)
        return false;
    struct statfs info {};
    return fstatfs(fd, &info) == 0 && IsVirtualMagic(info.f_type);
}
