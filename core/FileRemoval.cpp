#include "FileRemoval.h"

#include "FileActions.h"
#include "RecordedFile.h"

#include <cerrno>

TFileRemoval RemoveCopy(const TFileGroup& group, int index,
                        const std::vector<std::string>& selectedPaths) {
    const TRecordedFile doomed(group.Info(index));
    switch (doomed.State()) {
    case TRecordedFile::rfSame:
        break;
    case TRecordedFile::rfGone:
        return {TFileRemoval::frGone, {}};
    case TRecordedFile::rfChanged:
    case TRecordedFile::rfUnreachable:
        return {TFileRemoval::frKept, doomed.ErrorText()};
    }
    std::string reason = LastCopyCheck(group, index, doomed, selectedPaths);
    if (!reason.empty())
        return {TFileRemoval::frKept, std::move(reason)};
    const int error = doomed.Remove();
    if (error == ENOENT) // taken away between the check and the removal
        return {TFileRemoval::frGone, {}};
    if (error != 0)
        return {TFileRemoval::frKept, SystemErrorText(error)};
    return {TFileRemoval::frRemoved, {}};
}
