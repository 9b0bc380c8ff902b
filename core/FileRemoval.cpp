#include "FileRemoval.h"

#include "FileActions.h"
#include "IoError.h"
#include "RecordedFile.h"

#include <cerrno>

TFileRemoval RemoveCopy(const TFileGroup& group, int index,
                        const std::vector<std::string>& selectedPaths, TRemovalMethod method,
                        TActionLog& log) {
    // Without its line in the log, nothing is removed.
    if (!log.Usable())
        return {TFileRemoval::frKept, log.ErrorText()};
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
    int kept = -1;
    std::string reason = LastCopyCheck(group, index, doomed, selectedPaths, kept);
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
    return RemoveCheckedCopy(now, group.Info(index), group.Path(kept), method, log);
}

TFileRemoval RemoveCheckedCopy(const TRecordedFile& now, const TFileInfoRec& record,
                               const std::string& keptPath, TRemovalMethod method,
                               TActionLog& log) {
    if (!log.Usable())
        return {TFileRemoval::frKept, log.ErrorText()};
    TActionLog::TEntry entry{method == TRemovalMethod::Trash,
                             record.FullPath(),
                             record.Size,
                             record.LastWriteTime,
                             keptPath,
                             {}};
    if (method == TRemovalMethod::Trash) {
        TTrashing trashing = now.MoveToTrash();
        if (trashing.Error == ENOENT && TRecordedFile(record).State() == TRecordedFile::rfGone)
            return {TFileRemoval::frGone, {}};
        if (trashing.Error != 0)
            return {TFileRemoval::frKept, std::move(trashing.ErrorText)};
        entry.TrashedPath = std::move(trashing.TrashedPath);
    } else {
        const int error = now.Remove();
        if (error == ENOENT) // taken away between the check and the removal
            return {TFileRemoval::frGone, {}};
        if (error != 0)
            return {TFileRemoval::frKept, SystemErrorText(error)};
    }
    if (!log.Append(entry))
        return {TFileRemoval::frRemoved, log.ErrorText()};
    return {TFileRemoval::frRemoved, {}};
}
