#include "KeyPipeline.h"

namespace {
// A batch is handed over at this many files or bytes of names; at most so many batches wait, so
// a walk faster than the keys waits instead of holding the whole tree twice.
constexpr size_t BatchItems = 4096;
constexpr size_t BatchBytes = size_t{256} << 10;
constexpr size_t MaxWaitingBatches = 16;
} // namespace

TKeyPipeline::TKeyPipeline(const TNameKeyRule& nameKeys, TPendingFiles& pending,
                           std::function<void(int32_t, int32_t)> progress)
    : FNameKeys(nameKeys), FPending(pending), FProgress(std::move(progress)),
      FFilling(std::make_unique<TBatch>()), FThread([this] { Run(); }) {}

TKeyPipeline::~TKeyPipeline() {
    End();
}

void TKeyPipeline::End() {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FEnded = true;
        FQueue.clear(); // empty already after Finish; a walk that failed or stopped drops them
    }
    FChanged.notify_all();
    if (FThread.joinable())
        FThread.join();
}

uint32_t TKeyPipeline::BeginDirectory(const std::string& dir, uint64_t device, uint64_t inode) {
    Append(NewDirectory, dir);
    FFilling->DirIds.push_back({device, inode});
    return FDirectories++;
}

void TKeyPipeline::CollectFile(uint32_t dirIndex, std::string_view name) {
    Append(dirIndex, name);
    ++FFiles;
    if (FFilling->Items.size() >= BatchItems || FFilling->Texts.size() >= BatchBytes)
        HandOver();
}

void TKeyPipeline::EnteringSubdirectory(int directoriesRead) {
    FProgress(static_cast<int32_t>(FFiles), directoriesRead);
}

void TKeyPipeline::Append(uint32_t dir, std::string_view text) {
    TBatch& batch = *FFilling;
    batch.Items.push_back(
        {dir, static_cast<uint32_t>(batch.Texts.size()), static_cast<uint32_t>(text.size())});
    batch.Texts.append(text);
}

void TKeyPipeline::HandOver() {
    std::unique_lock<std::mutex> lock(FMutex);
    FChanged.wait(lock, [this] { return FQueue.size() < MaxWaitingBatches || FFailure; });
    if (FFailure) {
        FFilling->Clear(); // nothing more is stored; Finish reports why
        return;
    }
    FQueue.push_back(std::move(FFilling));
    if (!FUnused.empty()) {
        FFilling = std::move(FUnused.back());
        FUnused.pop_back();
    } else {
        lock.unlock();
        FFilling = std::make_unique<TBatch>();
    }
    FChanged.notify_all();
}

void TKeyPipeline::Finish() {
    if (!FFilling->Items.empty())
        HandOver();
    {
        std::unique_lock<std::mutex> lock(FMutex);
        FChanged.wait(lock, [this] { return (FQueue.empty() && !FBusy) || FFailure; });
    }
    End();
    if (FFailure)
        std::rethrow_exception(FFailure);
}

void TKeyPipeline::Store(const TBatch& batch) {
    if (StoreHook != nullptr)
        StoreHook();
    // All keys of the batch first, so that each key's slot in the key table can be fetched from
    // memory a few files before it is looked up.
    std::string& keys = FKeys;
    std::vector<TKeyRef>& refs = FKeyRefs;
    keys.clear();
    refs.clear();
    std::string key; // reused for every file
    for (const TItem& item : batch.Items) {
        if (item.Dir == NewDirectory) {
            refs.push_back({0, 0, 0});
            continue;
        }
        FNameKeys.NameKey(std::string_view(batch.Texts.data() + item.Offset, item.Length), key);
        refs.push_back({static_cast<uint32_t>(keys.size()), static_cast<uint32_t>(key.size()),
                        TPendingFiles::KeyHash(key)});
        keys += key;
    }
    constexpr size_t Ahead = 8;
    size_t nextDirId = 0;
    for (size_t i = 0; i < batch.Items.size(); ++i) {
        if (i + Ahead < refs.size())
            FPending.PrefetchKey(refs[i + Ahead].Hash);
        const TItem& item = batch.Items[i];
        const std::string_view text(batch.Texts.data() + item.Offset, item.Length);
        if (item.Dir == NewDirectory) {
            const TDirId& id = batch.DirIds[nextDirId++];
            FPending.AddDir(std::string(text), id.Device, id.Inode);
            continue;
        }
        const TKeyRef& ref = refs[i];
        FPending.Add(item.Dir, text, std::string_view(keys).substr(ref.Offset, ref.Length),
                     ref.Hash);
    }
}

void TKeyPipeline::Run() {
    std::unique_lock<std::mutex> lock(FMutex);
    for (;;) {
        FChanged.wait(lock, [this] { return !FQueue.empty() || FEnded; });
        if (FQueue.empty())
            return;
        std::unique_ptr<TBatch> batch = std::move(FQueue.front());
        FQueue.pop_front();
        FBusy = true;
        FChanged.notify_all(); // room for the walk's next batch
        lock.unlock();
        try {
            Store(*batch);
            batch->Clear();
        } catch (...) {
            lock.lock();
            FFailure = std::current_exception();
            FBusy = false;
            FQueue.clear();
            FChanged.notify_all();
            return;
        }
        lock.lock();
        FBusy = false;
        FUnused.push_back(std::move(batch));
        FChanged.notify_all();
    }
}
