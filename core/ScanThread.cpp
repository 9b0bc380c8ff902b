#include "ScanThread.h"

#include "DirWalker.h"
#include "GroupBuilder.h"
#include "KeyPipeline.h"
#include "ListText.h"
#include "PendingFiles.h"
#include "ProgressRelay.h"
#include "ResultRows.h"
#include "ScanProgress.h"
#include "ScanWorkers.h"

#include <algorithm>
#include <malloc.h>
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
    TCollector(const TNameKeyRule& nameKeys, TPendingFiles& pending,
               std::function<void(int32_t, int32_t)> progress)
        : FNameKeys(nameKeys), FPending(pending), FProgress(std::move(progress)) {}

    uint32_t BeginDirectory(const std::string& dir, uint64_t device, uint64_t inode) override {
        return FPending.AddDir(dir, device, inode);
    }
    void CollectFile(uint32_t dirIndex, std::string_view name) override {
        FNameKeys.NameKey(name, FKey);
        FPending.Add(dirIndex, name, FKey);
    }
    void EnteringSubdirectory(int directoriesRead) override {
        FProgress(static_cast<int32_t>(FPending.Count()), directoriesRead);
    }

  private:
    const TNameKeyRule& FNameKeys;
    TPendingFiles& FPending;
    std::function<void(int32_t, int32_t)> FProgress;
    std::string FKey; // reused for every file
};

} // namespace

TScanThread::TScanThread(TScanListener& listener)
    : FListener(listener), FThread([this] { Execute(); }) {
    // A scan's large blocks that LargeBlocks.h does not map itself come straight from the
    // system as well, and go back to it when freed. Left to itself, glibc raises this threshold to
    // the size of the first such block that is freed, carves the later ones from a thread's
    // heap, and a few small allocations beside them then keep their pages: how much memory a
    // scan holds would depend on which of its threads freed what first.
    mallopt(M_MMAP_THRESHOLD, LargeBlockSize);
}

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
    FNameKeys = TNameKeyRule(FOptions);
    if (IsBlankText(FOptions.FileTypes))
        FOptions.FileTypes = "*.*";
    FMasks = SplitListText(FOptions.FileTypes);
    // Paths keep their letter case: the file system tells capitals from small letters.
    FSearchDirs = SplitListText(FOptions.ScanPath);
    FExcludeDirs = SplitListText(FOptions.ExcludePath);
    FStopRequested = false;
    FStartTime = std::chrono::steady_clock::now();
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
        FResult = TScanResult();
        std::string& failure = FResult.Failure;
        // The scan's own memory has been released by the time a failure is caught here.
        try {
            FResult.FilesRead = RunScan();
            FinishResult();
        } catch (const std::bad_alloc&) {
            failure = OutOfMemoryMessage;
        } catch (const std::exception& error) {
            failure = *error.what() != '\0' ? error.what() : UnknownFailureMessage;
        } catch (...) {
            failure = UnknownFailureMessage;
        }
        if (!failure.empty()) {
            FResultList.Clear();
            FResult.Rows = std::vector<TResultRow>();
            FResult.FilesRead = 0;
        }
        FResult.ElapsedTime = DaysSince(FStartTime);
        Send(WM_SCAN_DONE, FResult.FilesRead, 0);
    }
}

int32_t TScanThread::RunScan() {
    TPendingFiles pending;
    FResultList.Clear();

    auto walk = [&](TWalkSink& sink) {
        std::vector<TWildcardMask> masks(FMasks.begin(), FMasks.end());
        TDirWalker walker(std::move(masks), FExcludeDirs, FStopRequested, sink);
        if (FaultHook != nullptr)
            FaultHook(TScanStep::Walk);
        // Only scan directories that cannot be opened are kept for the owner to report: the
        // user named them, while a subdirectory that cannot be read is passed by in silence.
        for (const std::string& dir : FSearchDirs)
            if (const int errorCode = walker.ScanRoot(dir); errorCode != 0)
                FResult.RootFailures.push_back({dir, errorCode});
    };
    if (ScanWorkers() > 1) {
        // The name keys are built and the progress messages sent beside the walk, which then
        // only reads directories.
        TProgressRelay relay(FStopRequested, FListener);
        TKeyPipeline pipeline(FNameKeys, pending, [&relay](int32_t files, int32_t directories) {
            relay.Post(files, directories);
        });
        walk(pipeline);
        pipeline.Finish();
        relay.Finish();
    } else {
        TCollector collector(FNameKeys, pending, [this](int32_t files, int32_t directories) {
            Send(WM_SCAN_PROGRESS, files, directories);
        });
        walk(collector);
    }

    pending.EndCollecting();
    if (FStopRequested)
        return 0;
    const auto filesRead = static_cast<int32_t>(pending.Count());
    if (FaultHook != nullptr)
        FaultHook(TScanStep::Grouping);
    TGroupBuilder builder(pending, FResultList.Collator(), FOptions.CompareMode, FStopRequested,
                          FListener);
    FResultList.AdoptSorted(builder.Build());
    Send(WM_SCAN_CHECK, 0, 0);
    return filesRead;
}

void TScanThread::FinishResult() {
    RemoveSingleFileGroups(FResultList);
    FResult.Rows = FResultList.TakeRows();
}
