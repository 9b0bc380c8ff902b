#include "FileRemoval.h"

#include "FileActions.h"
#include "IoError.h"
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
    // Checking the other copies takes time: right before it goes, the file is looked up once
    // more and must still be the one checked first.
    const TRecordedFile now(group.Info(index));
    if (now.State() == TRecordedFile::rfGone)
        return {TFileRemoval::frGone, {}};
    if (now.State() != TRecordedFile::rfSame || !now.SameFileAs(doomed))
        return {TFileRemoval::frKept, now.State() == TRecordedFile::rfSame
                                          ? TRecordedFile::ChangedText
                                          : now.ErrorText()};
    const int error = now.Remove();
    if (error == ENOENT) // taken away between the check and the removal
        return {TFileRemoval::frGone, {}};
    if (error != 0)
        return {TFileRemoval::frKept, SystemErrorText(error)};
    return {TFileRemoval::frRemoved, {}};
}
