#include "ActionLog.h"

#include "FileTimes.h"
#include "IoError.h"
#include "UserFolders.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder of the log's place made step by step below the first one that exists.
int MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
}

std::string TwoDigits(long value) {
    return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
           static_cast<char>('0' + value % 10);
}

} // namespace

TActionLog::TActionLog() : FFileName(DefaultFileName()) {
    if (FFileName.empty()) {
        FError = "Cannot open the action log: neither XDG_STATE_HOME nor HOME names a folder";
        return;
    }
    const std::string folder = FFileName.substr(0, FFileName.rfind('/') + 1);
    if (const int error = MakeFolders(folder); error != 0) {
        FError = "Cannot open the action log " + FFileName + ": " + SystemErrorText(error);
        return;
    }
    Open();
}

TActionLog::TActionLog(const std::string& fileName) : FFileName(fileName) {
    Open();
}

TActionLog::~TActionLog() {
    if (FFd >= 0)
        ::close(FFd);
}

void TActionLog::Open() {
    FFd = ::open(FFileName.c_str(),
                 O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (FFd < 0) {
        FError = "Cannot open the action log " + FFileName + ": " + SystemErrorText(errno);
        return;
    }
    struct stat status {};
    if (fstat(FFd, &status) != 0 || !S_ISREG(status.st_mode)) {
        FError = "Cannot open the action log " + FFileName + ": not a regular file";
        ::close(FFd);
        FFd = -1;
    }
}

std::string TActionLog::DefaultFileName() {
    const std::string state = UserFolder("XDG_STATE_HOME", "/.local/state");
    return state.empty() ? std::string() : state + "/twinseek/actions.log";
}

std::string TActionLog::IsoTime(int64_t unixSeconds) {
    const auto moment = static_cast<time_t>(unixSeconds);
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr)
        return {};
    std::string text = FormatTm("%Y-%m-%dT%H:%M:%S", local);
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    text += offset < 0 ? '-' : '+';
    return text + TwoDigits(minutes / 60) + ":" + TwoDigits(minutes % 60);
}

std::string TActionLog::Field(const std::string& text) {
    std::string field;
    field.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\t':
            field += "\\t";
            break;
        case '\r':
            field += "\\r";
            break;
        case '\n':
            field += "\\n";
            break;
        case '\\':
            field += "\\\\";
            break;
        default:
            field += c;
        }
    }
    return field;
}

bool TActionLog::Append(const TEntry& entry) {
    if (!Usable())
        return false;
    const auto lastWrite =
        static_cast<int64_t>(entry.LastWriteTime / TimeStepsPerSecond) - UnixEpochIn1601Seconds;
    std::string line = IsoTime(std::time(nullptr));
    line += entry.Trashed ? "\ttrash\t" : "\tdelete\t";
    line += Field(entry.Path) + '\t' + std::to_string(entry.Size) + '\t' + IsoTime(lastWrite) +
            '\t' + Field(entry.KeptPath);
    if (entry.Trashed)
        line += '\t' + Field(entry.TrashedPath);
    line += '\n';
    // One write: lines of two programs that share the log never interleave.
    const ssize_t written = ::write(FFd, line.data(), line.size());
    if (written == static_cast<ssize_t>(line.size()))
        return true;
    FError = "Cannot write the action log " + FFileName + ": " +
             (written < 0 ? SystemErrorText(errno) : std::string("the disk is full"));
    return false;
}
