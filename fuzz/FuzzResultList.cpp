// Any bytes must load as a result, or end with one of the two messages, without crashing or
// allocating without bound; a loaded result saved and loaded twice more must save the same.
#include "ResultListFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Saves the result list's groups as a result list file and returns its bytes.
std::string Save(TFileInfoList& list, int32_t filesRead, double elapsedTime) {
    const std::vector<TResultRow> rows = list.TakeRows();
    const int fd = memfd_create("result-list", 0);
    if (fd < 0)
        std::abort();
    TTextFileWriter out = TTextFileWriter::ForDescriptor(fd);
    WriteResultList(out, TOptionRec(), filesRead, elapsedTime, rows);
    out.Close();
    std::string bytes(static_cast<size_t>(lseek(fd, 0, SEEK_END)), '\0');
    if (pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    close(fd);
    return bytes;
}

std::string LoadAndSave(const std::string& bytes) {
    TFileInfoList list;
    int32_t filesRead = 0;
    double elapsedTime = 0;
    if (ReadResultList(bytes, list, filesRead, elapsedTime) != TLoadOutcome::Loaded)
        std::abort();
    return Save(list, filesRead, elapsedTime);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFileInfoList list;
    int32_t filesRead = 0;
    double elapsedTime = 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (ReadResultList(bytes, list, filesRead, elapsedTime) != TLoadOutcome::Loaded) {
        if (list.Count() != 0)
            std::abort();
        return 0;
    }
    // Groups with equal keys change places at every load (the later one first), so the bytes
    // repeat after two rounds.
    const std::string first = Save(list, filesRead, elapsedTime);
    const std::string third = LoadAndSave(LoadAndSave(first));
    if (third != first)
        std::abort();
    return 0;
}
