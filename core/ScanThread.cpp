#include "ScanThread.h"

#include "DirWalker.h"
#include "GroupBuilder.h"
#include "ListText.h"
#include "PendingFiles.h"

#include <algorithm>
#include <new>

namespace {

constexpr const char* OutOfMemoryMessage = "Out of memory";
constexpr const char* UnknownFailureMessage = "The scan failed";

bool IsBlankText(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

// Feeds the walk's files into the pending list under their name keys and reports each
// subdirectory as WM_SCAN_PROGRESS.
class TCollector : public TWalkSink {
  public:
    TCollector(const TScanThread& thread, TPendingFiles& pending,
               std::function<void(int32_t, int32_t)> progress)
        : FThread(thread), FPending(pending), FProgress(std::move(progress)) {}

    uint32_t BeginDirectory(const std::string& dir, uint64_t device, uint64_t inode) override {
        return FPending.AddDir(dir, device, inode);
    }
    void CollectFile(uint32_t dirIndex, std::string_view name) override {
        FThread.NameKey(name, FKey);
        FPending.Add(dirIndex, name, FKey);
    }
    void EnteringSubdirectory(int directoriesRead) override {
        FProgress(static_cast<int32_t>(FPending.Count()), directoriesRead);
    }

  private:
    const TScanThread& FThread;
    TPendingFiles& FPending;
    std::function<void(int32_t, int32_t)> FProgress;
    std::string FKey; // reused for every file
};

} // namespace

TScanThread::TScanThread(TScanListener& listener, TFileInfoList& resultList)
    : FResultList(resultList), FListener(listener), FThread([this] { Execute(); }) {}

TScanThread::~TScanThread() {
    FStopRequested = true;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FTerminated = true;
    }
    FWake.notify_one();
    FThread.join();
}

void TScanThread::StartScan(const TOptionRec& options) {
    FOptions = options;
    FHasIgnoreChars = !FOptions.IgnoreChar.empty();
    FIgnoreList = FHasIgnoreChars ? SplitListText(FOptions.IgnoreChar) : std::vector<std::string>{};
    if (IsBlankText(FOptions.FileTypes))
        FOptions.FileTypes = "*.*";
    FMasks = SplitListText(FOptions.FileTypes);
    // Paths keep their letter case: the file system tells capitals from small letters.
    FSearchDirs = SplitListText(FOptions.ScanPath);
    FExcludeDirs = SplitListText(FOptions.ExcludePath);
    FStopRequested = false;
    {
        // A request that comes before the thread has gone back to sleep waits here for it.
        std::lock_guard<std::mutex> lock(FMutex);
        FStartRequested = true;
    }
    FWake.notify_one();
}

void TScanThread::StopScan() {
    FStopRequested = true;
}

std::string TScanThread::StripIgnoreChars(std::string key) const {
    for (const std::string& entry : FIgnoreList) {
        if (entry.empty())
            continue;
        std::string stripped;
        size_t from = 0;
        for (size_t at = key.find(entry); at != std::string::npos; at = key.find(entry, from)) {
            stripped.append(key, from, at - from);
            from = at + entry.size();
        }
        stripped.append(key, from, std::string::npos);
        key = std::move(stripped);
    }
    return key;
}

std::string TScanThread::NameKey(std::string_view name) const {
    std::string key;
    NameKey(name, key);
    return key;
}

void TScanThread::NameKey(std::string_view name, std::string& key) const {
    key.assign(name);
    if (FOptions.CaseSensitive)
        return;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (FHasIgnoreChars)
        key = StripIgnoreChars(std::move(key));
}

void TScanThread::Send(uint32_t message, int32_t first, int32_t second) {
    FListener.ScanMessage(message, first, second);
}

void TScanThread::Execute() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(FMutex);
            FWake.wait(lock, [this] { return FStartRequested || FTerminated; });
            if (FTerminated)
                return;
            FStartRequested = false;
        }
        FFailure.clear();
        FRootFailures.clear();
        int32_t filesRead = 0;
        // The scan's own memory has been released by the time a failure is caught here.
        try {
            filesRead = RunScan();
        } catch (const std::bad_alloc&) {
            FFailure = OutOfMemoryMessage;
        } catch (const std::exception& error) {
            FFailure = *error.what() != '\0' ? error.what() : UnknownFailureMessage;
        } catch (...) {
            FFailure = UnknownFailureMessage;
        }
        if (!FFailure.empty())
            FResultList.Clear();
        Send(WM_SCAN_DONE, filesRead, 0);
    }
}

int32_t TScanThread::RunScan() {
    TPendingFiles pending;
    FResultList.Clear();

    std::vector<TWildcardMask> masks(FMasks.begin(), FMasks.end());
    TCollector collector(*this, pending, [this](int32_t files, int32_t dirs) {
        Send(WM_SCAN_PROGRESS, files, dirs);
    });
    {
        TDirWalker walker(std::move(masks), FExcludeDirs, FStopRequested, collector);
        if (FaultHook != nullptr)
            FaultHook(TScanStep::Walk);
        // Only scan directories that cannot be opened are kept for the owner to report: the
        // user named them, while a subdirectory that cannot be read is passed by in silence.
        for (const std::string& dir : FSearchDirs)
            if (const int errorCode = walker.ScanRoot(dir); errorCode != 0)
                FRootFailures.push_back({dir, errorCode});
    }

    pending.EndCollecting();
    if (FStopRequested)
        return 0;
    const auto filesRead = static_cast<int32_t>(pending.Count());
    if (FaultHook != nullptr)
        FaultHook(TScanStep::Grouping);
    TGroupBuilder builder(pending, FResultList.Collator(), FOptions.CompareMode, FStopRequested,
                          [this](int32_t left) { Send(WM_SCAN_CHECK, left, 0); });
    FResultList.AdoptSorted(builder.Build());
    Send(WM_SCAN_CHECK, 0, 0);
    return filesRead;
}
