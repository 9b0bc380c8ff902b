#pragma once

#include <string>
#include <sys/types.h>
#include <unordered_set>

// Knows which mounted devices hold virtual file systems (proc, sysfs, devtmpfs, ...), whose
// contents are no files a user keeps: a walk does not enter them.
class TVirtualFileSystems {
  public:
    // Reads the mount table of this process (/proc/self/mountinfo).
    TVirtualFileSystems();
    // Reads a mount table in the mountinfo format (tests give their own).
    explicit TVirtualFileSystems(const std::string& mountInfoText);

    // Whether the directory open at fd, on device dev, lies on a virtual file system: its device
    // is one of the mount table's, or its file system's type number says so (the table is
    // needed for devtmpfs, which has the type number of tmpfs).
    bool IsVirtual(dev_t dev, int fd) const;

    static bool IsVirtualType(const std::string& fileSystemType);

  private:
    void Parse(const std::string& mountInfoText);

    std::unordered_set<dev_t> FDevices;
};
