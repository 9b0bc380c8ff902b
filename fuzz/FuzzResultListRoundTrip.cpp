// A result whose name keys and paths are any bytes, saved as a result list and read back, must
// come back copy for copy (key, path, size, times, order within the group), except the copies
// the writer reported as left out; and exactly those are left out whose path or key a line
// cannot hold.
#include "IniFile.h"
#include "ResultListFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

// Takes the result's pieces from the fuzzer's bytes; missing bytes read as 0.
class TInput {
  public:
    TInput(const uint8_t* data, size_t size) : FData(data), FSize(size) {}

    bool AtEnd() const { return FPos >= FSize; }
    uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }
    uint64_t Number(int bytes) {
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | Byte();
        return value;
    }
    // A length byte and that many bytes; 255 stands for a run of one byte around the longest
    // line a list may hold (a few per input, to keep memory small).
    std::string Text() {
        const uint8_t length = Byte();
        if (length == 255 && FLongTexts < 3) {
            ++FLongTexts;
            const size_t runLength = MaxResultListLine - 2 + Byte() % 5;
            return std::string(runLength, static_cast<char>(Byte()));
        }
        std::string text;
        for (uint8_t i = 0; i < length && !AtEnd(); ++i)
            text += static_cast<char>(Byte());
        return text;
    }

  private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
    int FLongTexts = 0;
};

bool Storable(const std::string& text) {
    return text.size() <= MaxResultListLine && text.find('\r') == std::string::npos &&
           text.find('\n') == std::string::npos && text.find('\x1a') == std::string::npos;
}

using TCopy = std::tuple<std::string, int64_t, uint32_t, uint64_t>;
using TGroupCopies = std::pair<std::string, std::vector<TCopy>>;

TCopy CopyOf(const TFileInfoRec& info) {
    return {info.FullPath(), info.Size, info.Time, info.LastWriteTime};
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::string Saved(const TOptionRec& options, int32_t filesRead, const std::vector<TResultRow>& rows,
                  TLeftOutCopies& leftOut) {
    const int fd = memfd_create("result-list", 0);
    Check(fd >= 0);
    TTextFileWriter out = TTextFileWriter::ForDescriptor(fd);
    leftOut = WriteResultList(out, options, filesRead, 0.5, rows);
    out.Close();
    std::string bytes(static_cast<size_t>(lseek(fd, 0, SEEK_END)), '\0');
    Check(pread(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
    close(fd);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TInput input(data, size);
    TOptionRec options = DefaultOptions();
    options.ScanPath = input.Text();
    const auto filesRead = static_cast<int32_t>(input.Number(4));

    std::vector<TResultRow> rows;
    std::vector<TGroupCopies> expected;
    TLeftOutCopies expectedLeftOut;
    while (!input.AtEnd()) {
        TResultRow row{input.Text(), std::make_unique<TFileGroup>()};
        TGroupCopies kept{row.Caption, {}};
        const int count = input.Byte() % 4;
        for (int i = 0; i < count; ++i) {
            TFileInfoRec info = FileInfoForPath(input.Text());
            info.Size = static_cast<int64_t>(input.Number(8));
            info.Time = static_cast<uint32_t>(input.Number(4));
            info.LastWriteTime = input.Number(8);
            if (Storable(row.Caption) && Storable(info.FullPath()))
                kept.second.push_back(CopyOf(info));
            else if (expectedLeftOut.Count++ == 0)
                expectedLeftOut.FirstPath = info.FullPath();
            row.Group->Add(std::move(info));
        }
        if (Storable(row.Caption) && (!kept.second.empty() || count == 0))
            expected.push_back(std::move(kept));
        rows.push_back(std::move(row));
    }

    TLeftOutCopies leftOut;
    std::string bytes;
    try {
        bytes = Saved(options, filesRead, rows, leftOut);
    } catch (const EFileError&) {
        // Refused for the scan text alone: a text no line of the file can hold.
        Check(!Storable(options.ScanPath));
        return 0;
    }
    Check(Storable(options.ScanPath));
    Check(leftOut.Count == expectedLeftOut.Count && leftOut.FirstPath == expectedLeftOut.FirstPath);

    TFileInfoList list;
    int32_t readFiles = 0;
    double elapsedTime = 0;
    Check(ReadResultList(bytes, list, readFiles, elapsedTime) == TLoadOutcome::Loaded);
    Check(readFiles == filesRead && elapsedTime == 0.5);

    // Groups come back in the list's order; compared as sets, each keeps its copies' order.
    std::vector<TGroupCopies> loaded;
    for (int i = 0; i < list.Count(); ++i) {
        TGroupCopies group{list.Key(i), {}};
        for (int copy = 0; copy < list.Groups(i).Count(); ++copy)
            group.second.push_back(CopyOf(list.Groups(i).Info(copy)));
        loaded.push_back(std::move(group));
    }
    std::sort(expected.begin(), expected.end());
    std::sort(loaded.begin(), loaded.end());
    Check(loaded == expected);
    return 0;
}
