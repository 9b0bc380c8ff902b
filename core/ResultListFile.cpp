#include "ResultListFile.h"

#include "IniFile.h"
#include "IoError.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A read error inside the file: the load ends with the damaged-file message.
struct EReadFailure {};

// The fewest bytes a copy takes in the file: an empty path and four one-digit numbers, each
// with its CR. Only the last copy of the data can be shorter (numbers missing at the end read
// as 0), so no group holds more copies than the bytes left allow.
constexpr size_t SmallestCopy = 9;

// The bytes of a result list file up to its physical end or its first Ctrl-Z, read in blocks
// from a descriptor or taken from memory.
class TByteSource {
  public:
    TByteSource(int fd, uint64_t fileSize) : FFd(fd), FUnread(fileSize) { FBuffer.resize(65536); }
    explicit TByteSource(std::string_view data) : FData(data) {}

    bool AtEnd() { return Peek() < 0; }
    // The next byte, or -1 at the end of the data.
    int Peek() {
        if (FPos == FData.size() && !Refill())
            return -1;
        const auto byte = static_cast<unsigned char>(FData[FPos]);
        if (byte == 26) {
            FEnded = true;
            return -1;
        }
        return byte;
    }
    void Skip() { ++FPos; }
    // The bytes still to come as far as known (a file may grow while it is read).
    uint64_t Remaining() const { return FData.size() - FPos + FUnread; }

  private:
    bool Refill() {
        if (FFd < 0 || FEnded)
            return false;
        for (;;) {
            const ssize_t count = ::read(FFd, FBuffer.data(), FBuffer.size());
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                throw EReadFailure();
            if (count == 0) {
                FEnded = true;
                return false;
            }
            FData = std::string_view(FBuffer.data(), static_cast<size_t>(count));
            FPos = 0;
            FUnread -= std::min<uint64_t>(FUnread, static_cast<uint64_t>(count));
            return true;
        }
    }

    int FFd = -1;
    uint64_t FUnread = 0;
    std::string FBuffer;
    std::string_view FData;
    size_t FPos = 0;
    bool FEnded = false;
};

class TResultListReader {
  public:
    explicit TResultListReader(TByteSource& source) : FSource(source) {}

    // Everything up to the next CR; then the CR and an LF right after it. A longer line than
    // any writer makes is damage (or endless input), not a value.
    std::string ReadText() {
        std::string text;
        for (int byte = FSource.Peek(); byte >= 0 && byte != '\r'; byte = FSource.Peek()) {
            if (text.size() == MaxResultListLine)
                throw EReadFailure();
            text += static_cast<char>(byte);
            FSource.Skip();
        }
        SkipLineEnd();
        return text;
    }

    // Skips blanks and control bytes (line ends included), takes the following run of bytes
    // above 32 (at most maxLength of them) and skips the rest of that line. At the end of the
    // data the token is empty.
    std::string ReadToken(size_t maxLength) {
        while (FSource.Peek() >= 0 && FSource.Peek() <= 32)
            FSource.Skip();
        std::string token;
        while (token.size() < maxLength && FSource.Peek() > 32) {
            token += static_cast<char>(FSource.Peek());
            FSource.Skip();
        }
        while (FSource.Peek() >= 0 && FSource.Peek() != '\r')
            FSource.Skip();
        SkipLineEnd();
        return token;
    }

    int32_t ReadInt32() {
        const int64_t value = ReadInt64(32);
        if (value < INT32_MIN || value > INT32_MAX)
            throw EReadFailure();
        return static_cast<int32_t>(value);
    }

    int64_t ReadInt64(size_t maxLength = 32) {
        std::string token = ReadToken(maxLength);
        if (token.empty())
            return 0;
        std::string_view digits = token;
        if (digits.front() == '+') {
            digits.remove_prefix(1);
            if (digits.empty() || digits.front() < '0' || digits.front() > '9')
                throw EReadFailure();
        }
        int64_t value = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (error != std::errc() || end != digits.data() + digits.size())
            throw EReadFailure();
        return value;
    }

    double ReadReal() {
        const std::string token = ReadToken(64);
        if (token.empty())
            return 0;
        if (!IsDecimalReal(token))
            throw EReadFailure();
        // strtod in the C locale: the point is always ".". A number too small for a double
        // reads as 0 (or the nearest tiny value); one too large for it is no number.
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
        errno = 0;
        char* end = nullptr;
        const double value = strtod_l(token.c_str(), &end, cLocale);
        if (end != token.c_str() + token.size() || (errno == ERANGE && std::isinf(value)))
            throw EReadFailure();
        return value;
    }

    bool AtEnd() { return FSource.AtEnd(); }
    uint64_t Remaining() const { return FSource.Remaining(); }

  private:
    void SkipLineEnd() {
        if (FSource.Peek() == '\r') {
            FSource.Skip();
            if (FSource.Peek() == '\n')
                FSource.Skip();
        }
    }

    // Optional sign, digits with an optional point and fraction, an optional exponent.
    static bool IsDecimalReal(std::string_view text) {
        size_t i = 0;
        auto digits = [&] {
            const size_t start = i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                ++i;
            return i - start;
        };
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        size_t mantissa = digits();
        if (i < text.size() && text[i] == '.') {
            ++i;
            mantissa += digits();
        }
        if (mantissa == 0)
            return false;
        if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            if (i < text.size() && (text[i] == '+' || text[i] == '-'))
                ++i;
            if (digits() == 0)
                return false;
        }
        return i == text.size();
    }

    TByteSource& FSource;
};

TLoadOutcome Read(TByteSource& source, TFileInfoList& resultList, int32_t& filesRead,
                  double& elapsedTime) {
    resultList.Clear();
    TResultListReader reader(source);
    std::deque<TResultRow> entries;
    try {
        if (reader.ReadText() != ResultListIndicator)
            return TLoadOutcome::WrongIndicator;
        for (int line = 2; line <= 4; ++line)
            reader.ReadText();
        filesRead = reader.ReadInt32();
        elapsedTime = reader.ReadReal();

        TDirRef lastDir;
        while (!reader.AtEnd()) {
            TResultRow entry{reader.ReadText(), nullptr};
            const int32_t count = reader.ReadInt32();
            // A group without copies holds no group object: a file of such groups alone would
            // otherwise take more memory than its bound. Copies that lie wholly beyond the end
            // of the data are not made up: a count of two billion must not fill the memory with
            // empty records. Room for the copies is taken once, so that growing never holds the
            // records twice.
            if (count > 0) {
                entry.Group = std::make_unique<TFileGroup>();
                entry.Group->Reserve(static_cast<size_t>(std::min<uint64_t>(
                    static_cast<uint64_t>(count), reader.Remaining() / SmallestCopy + 1)));
            }
            for (int32_t i = 0; i < count && !reader.AtEnd(); ++i) {
                TFileInfoRec info = FileInfoForPath(reader.ReadText());
                // Consecutive copies in one directory share its string.
                if (info.Dir && lastDir && *info.Dir == *lastDir)
                    info.Dir = lastDir;
                lastDir = info.Dir;
                info.Size = reader.ReadInt64();
                info.Time = static_cast<uint32_t>(reader.ReadInt32());
                const auto low = static_cast<uint32_t>(reader.ReadInt64());
                const auto high = static_cast<uint32_t>(reader.ReadInt64());
                info.LastWriteTime = (static_cast<uint64_t>(high) << 32) | low;
                entry.Group->Add(std::move(info));
            }
            entries.push_back(std::move(entry));
        }
    } catch (const EReadFailure&) {
        return TLoadOutcome::Damaged;
    } catch (const std::bad_alloc&) {
        return TLoadOutcome::Damaged;
    }
    resultList.AddAll(std::move(entries));
    return TLoadOutcome::Loaded;
}

// Whether a text can be a line of the file and read back as it is.
bool Storable(std::string_view text) {
    return text.size() <= MaxResultListLine &&
           text.find_first_of(std::string_view("\r\n\x1a", 3)) == std::string_view::npos;
}

bool Storable(const TFileInfoRec& info) {
    return info.DirText().size() + info.Name.size() <= MaxResultListLine &&
           Storable(info.DirText()) && Storable(info.Name);
}

void CheckHeader(const TOptionRec& options) {
    // A text the reader would not take back is refused before anything is written.
    for (const std::string* text : {&options.ScanPath, &options.ExcludePath, &options.FileTypes})
        if (!Storable(*text))
            throw EFileError(UnsavableHeaderMessage);
}

} // namespace

std::string LoadOutcomeMessage(TLoadOutcome outcome) {
    switch (outcome) {
    case TLoadOutcome::WrongIndicator:
        return WrongIndicatorMessage;
    case TLoadOutcome::Damaged:
        return DamagedResultListMessage;
    default:
        return "";
    }
}

std::string FormatResultReal(double value) {
    if (!std::isfinite(value) || value == 0)
        return " 0.00000000000000E+0000";
    // The exact decimal digits first, then one rounding to 15 significant digits, halves away
    // from zero (printf would round halves to even).
    char exact[64];
    std::snprintf(exact, sizeof exact, "%.40e", std::fabs(value));
    const std::string text = exact;
    const auto ePos = text.find('e');
    std::string digits = text.substr(0, 1) + text.substr(2, ePos - 2); // 41 digits, no point
    int exponent = std::stoi(text.substr(ePos + 1));
    std::string kept = digits.substr(0, 15);
    if (digits[15] >= '5') {
        int i = 14;
        while (i >= 0 && kept[static_cast<size_t>(i)] == '9') {
            kept[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++kept[static_cast<size_t>(i)];
        } else {
            kept = "1" + kept.substr(0, 14);
            ++exponent;
        }
    }
    char result[32];
    std::snprintf(result, sizeof result, "%c%c.%sE%c%04d", value < 0 ? '-' : ' ', kept[0],
                  kept.substr(1).c_str(), exponent < 0 ? '-' : '+', std::abs(exponent));
    return result;
}

TLeftOutCopies WriteResultList(TTextFileWriter& out, const TOptionRec& options, int32_t filesRead,
                               double elapsedTime, const std::vector<TResultRow>& rows) {
    CheckHeader(options);
    out.WriteLine(ResultListIndicator);
    out.WriteLine(options.ScanPath);
    out.WriteLine(options.ExcludePath);
    out.WriteLine(options.FileTypes);
    out.WriteLine(std::to_string(filesRead));
    out.WriteLine(FormatResultReal(elapsedTime));
    TLeftOutCopies leftOut;
    auto leaveOut = [&leftOut](const TFileInfoRec& info) {
        if (leftOut.Count++ == 0)
            leftOut.FirstPath = info.FullPath();
    };
    std::vector<int> kept;
    for (const TResultRow& row : rows) {
        kept.clear();
        const bool keyStorable = Storable(row.Caption);
        for (int i = 0; i < row.Count(); ++i) {
            const TFileInfoRec& info = row.Group->Info(i);
            if (keyStorable && Storable(info))
                kept.push_back(i);
            else
                leaveOut(info);
        }
        // A group that had copies and lost them all is gone; one loaded without copies stays.
        if (!keyStorable || (kept.empty() && row.Count() > 0))
            continue;
        out.WriteLine(row.Caption);
        out.WriteLine(std::to_string(kept.size()));
        for (const int i : kept) {
            const TFileInfoRec& info = row.Group->Info(i);
            out.WriteLine(info.FullPath());
            out.WriteLine(std::to_string(info.Size));
            out.WriteLine(std::to_string(static_cast<int32_t>(info.Time)));
            out.WriteLine(std::to_string(info.LastWriteTime & 0xffffffffu));
            out.WriteLine(std::to_string(info.LastWriteTime >> 32));
        }
    }
    return leftOut;
}

TLeftOutCopies SaveResultList(const std::string& fileName, const TOptionRec& options,
                              int32_t filesRead, double elapsedTime,
                              const std::vector<TResultRow>& rows) {
    CheckHeader(options);
    TTextFileWriter out(fileName);
    const TLeftOutCopies leftOut = WriteResultList(out, options, filesRead, elapsedTime, rows);
    out.Close();
    return leftOut;
}

TLoadOutcome LoadResultList(const std::string& fileName, TFileInfoList& resultList,
                            int32_t& filesRead, double& elapsedTime) {
    resultList.Clear();
    // Opening does not wait for a pipe's writer; what is not a regular file is refused, since a
    // pipe or a device may never end.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw EInOutError(fileName.empty() ? ENOENT : errno);
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw EInOutError(EACCES);
    }
    TByteSource source(fd, static_cast<uint64_t>(info.st_size));
    const TLoadOutcome outcome = Read(source, resultList, filesRead, elapsedTime);
    ::close(fd);
    return outcome;
}

TLoadOutcome LoadResultList(const std::string& fileName, TScanResult& result) {
    TFileInfoList resultList;
    const TLoadOutcome outcome =
        LoadResultList(fileName, resultList, result.FilesRead, result.ElapsedTime);
    result.Rows = resultList.TakeRows();
    return outcome;
}

TLoadOutcome ReadResultList(std::string_view data, TFileInfoList& resultList, int32_t& filesRead,
                            double& elapsedTime) {
    TByteSource source(data);
    return Read(source, resultList, filesRead, elapsedTime);
}
