#include "RecordedFile.h"

#include "FileTimes.h"
#include "IoError.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

const char* const TRecordedFile::ChangedText = "The file changed since the scan; it was kept.";

int (*TRecordedFile::UnlinkAt)(int, const char*, int) = ::unlinkat;

TRecordedFile::TRecordedFile(const TFileInfoRec& record) : FPath(record.FullPath()), FWay(FPath) {
    if (FWay.Error() != 0) {
        FState = FWay.Error() == ENOENT || FWay.Error() == ENOTDIR ? rfGone : rfUnreachable;
        return;
    }
    struct stat status {};
    if (fstatat(FWay.FolderFd(), FWay.Name().c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        FError = errno;
        FState = FError == ENOENT || FError == ENOTDIR ? rfGone : rfUnreachable;
        return;
    }
    FDevice = status.st_dev;
    FInode = status.st_ino;
    // A record loaded from a file knows no identity: there the size and the time must do.
    const bool identityKnown = record.Device != 0 && record.Inode != 0;
    const bool same =
        S_ISREG(status.st_mode) && static_cast<int64_t>(status.st_size) == record.Size &&
        LastWriteTimeFromUnix(status.st_mtim.tv_sec, status.st_mtim.tv_nsec) ==
            record.LastWriteTime &&
        (!identityKnown || (status.st_dev == record.Device && status.st_ino == record.Inode));
    FState = same ? rfSame : rfChanged;
}

std::string TRecordedFile::ErrorText() const {
    switch (FState) {
    case rfSame:
        return {};
    case rfChanged:
        return ChangedText;
    case rfGone:
    case rfUnreachable:
        break;
    }
    return FWay.Error() != 0 ? FWay.ErrorText() : SystemErrorText(FError);
}

bool TRecordedFile::SameFileAs(const TRecordedFile& other) const {
    return FState == rfSame && other.FState == rfSame && FDevice == other.FDevice &&
           FInode == other.FInode;
}

int TRecordedFile::Remove() const {
    if (FState != rfSame)
        return EINVAL;
    return UnlinkAt(FWay.FolderFd(), FWay.Name().c_str(), 0) == 0 ? 0 : errno;
}

TTrashing TRecordedFile::MoveToTrash() const {
    if (FState != rfSame)
        return {EINVAL, SystemErrorText(EINVAL), {}};
    return ::MoveToTrash(FWay.FolderFd(), FWay.Name(), FPath);
}
