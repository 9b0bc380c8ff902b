#pragma once

#include <cstdint>
#include <string>

// The record of every removal: one line per file removed or moved to the trash, appended to
// $XDG_STATE_HOME/twinseek/actions.log (by default ~/.local/state/twinseek/actions.log). The
// log is opened before the first removal; without it nothing is removed. A line holds, separated
// by tabs and ended by LF: the local time with its offset, "trash" or "delete", the path, the
// size, the last-write time, the kept copy's path and, for the trash, the path inside the
// trash. A tab, CR, LF or backslash in a field is written as \t, \r, \n or \\.
class TActionLog {
  public:
    // What one line tells.
    struct TEntry {
        bool Trashed = false;
        std::string Path;
        int64_t Size = 0;
        uint64_t LastWriteTime = 0; // 100-nanosecond steps since 1601-01-01, UTC
        std::string KeptPath;
        std::string TrashedPath; // for the trash only
    };

    // Opens the log at its place for this user, making its folders (mode 0700) when missing.
    TActionLog();
    // Opens the log in a file of one's choice.
    explicit TActionLog(const std::string& fileName);
    ~TActionLog();
    TActionLog(const TActionLog&) = delete;
    TActionLog& operator=(const TActionLog&) = delete;

    // Whether lines can be written: the log was opened and no line has failed yet.
    bool Usable() const { return FFd >= 0 && FError.empty(); }
    // Why the log cannot be used: "" while it can.
    const std::string& ErrorText() const { return FError; }
    const std::string& FileName() const { return FFileName; }

    // Appends the line of one removal in one write; false (and the log unusable from then on)
    // when it cannot be written.
    bool Append(const TEntry& entry);

    // The log's place: $XDG_STATE_HOME/twinseek/actions.log, or ~/.local/state/... when that
    // variable is unset or not an absolute path; "" when neither names a folder.
    static std::string DefaultFileName();
    // A time as the log writes it: local time in ISO 8601 with its offset, such as
    // "2026-12-08T15:04:05+01:00".
    static std::string IsoTime(int64_t unixSeconds);
    // A field with its tab, CR, LF and backslash escaped.
    static std::string Field(const std::string& text);

  private:
    void Open();

    std::string FFileName;
    int FFd = -1;
    std::string FError;
};
