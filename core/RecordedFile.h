#pragma once

#include "FileInfoRec.h"
#include "Trash.h"
#include "TrustedPath.h"

#include <string>
#include <sys/types.h>

// A copy of a result as it is on disk now: looked up in its folder, reached by a trusted walk,
// without following a link at the end, and compared with what the list recorded of it. Only a
// copy that is still that very file may be removed, or may count as the copy that is kept.
class TRecordedFile {
  public:
    enum TState {
        rfSame,       // a regular file with the recorded size, time and (when known) identity
        rfGone,       // nothing by that name any more, or a folder on the way is gone
        rfChanged,    // something else is there now
        rfUnreachable // the path or a link on the way is refused, or the lookup failed
    };

    explicit TRecordedFile(const TFileInfoRec& record);

    TState State() const { return FState; }
    // Why the file is not acted on: "" for a file that is still the same.
    std::string ErrorText() const;
    // Whether two copies that are still the same are one file on disk.
    bool SameFileAs(const TRecordedFile& other) const;
    // Whether the copy is still the same and is the file with that device and inode.
    bool Is(dev_t device, ino_t inode) const {
        return FState == rfSame && FDevice == device && FInode == inode;
    }
    // Removes the file from its folder (only when it is still the same): 0 or an errno value.
    int Remove() const;
    // Moves the file to the desktop trash of its device (only when it is still the same).
    TTrashing MoveToTrash() const;

    // The call that removes a name from a folder; tests put one in that fails with an errno.
    static int (*UnlinkAt)(int folder, const char* name, int flags);

    static const char* const ChangedText;

  private:
    std::string FPath;
    TTrustedPath FWay;
    TState FState = rfUnreachable;
    int FError = 0; // of the lookup at the end of the way
    dev_t FDevice = 0;
    ino_t FInode = 0;
};
