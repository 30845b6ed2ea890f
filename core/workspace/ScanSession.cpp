#include "workspace/ScanSession.h"

namespace vantrel {

/// The worker's side: runs on the scan thread and only posts.
class ScanSession::Sink final : public ScanSink {
public:
    Sink(ScanSession& session, PostToListThread& post) : session_(session), post_(post) {}

    /// Before a worker starts (none runs): a new generation, nothing announced.
    void reset(std::uint64_t generation) {
        generation_ = generation;
        announcing_.store(false);
        const std::lock_guard lock(mutex_);
        unreadable_ = 0;
        firstUnreadable_.clear();
    }

    void folderStarted(const std::string& path) override {
        {
            const std::lock_guard lock(mutex_);
            folder_ = path;
        }
        // One announcement waits at a time; it shows the latest folder.
        if (!announcing_.exchange(true))
            post_([s = &session_, g = generation_] { s->announce(g); });
    }
    void entriesFound(std::vector<FileEntry> batch) override {
        post_([s = &session_, g = generation_,
               rows = std::make_shared<std::vector<FileEntry>>(std::move(batch))]() mutable {
            s->deliver(g, std::move(*rows));
        });
    }
    void scanDone() override {
        post_([s = &session_, g = generation_] { s->finish(g); });
    }
    void readFailed(const Error& error) override {
        const std::lock_guard lock(mutex_);
        if (unreadable_++ == 0)
            firstUnreadable_ = error.text();
    }

    /// What could not be read so far: how many, and the first one's text.
    std::pair<std::size_t, std::string> unreadable() {
        const std::lock_guard lock(mutex_);
        return {unreadable_, firstUnreadable_};
    }

    /// The folder to show, taken on the list's thread.
    std::string takeFolder() {
        announcing_.store(false);
        const std::lock_guard lock(mutex_);
        return folder_;
    }

private:
    ScanSession& session_;
    PostToListThread& post_;
    std::uint64_t generation_ = 0; ///< set before the worker starts, read by it only
    std::atomic<bool> announcing_{false};
    std::mutex mutex_;
    std::string folder_;
    std::size_t unreadable_ = 0;
    std::string firstUnreadable_;
};

ScanSession::ScanSession(FileSystem& fs, TypeNameProvider typeNames, FileList& list,
                         PostToListThread post, ScanEvents& events)
    : list_(list), post_(std::move(post)), events_(events),
      sink_(std::make_unique<Sink>(*this, post_)),
      // The type names are looked up here, on the list's thread, while the
      // worker goes on reading the disk: the two overlap instead of adding up.
      typeNames_(std::move(typeNames)),
      worker_(std::make_unique<ScanWorker>(fs, TypeNameProvider{}, *sink_)) {}

ScanSession::~ScanSession() {
    stop();
}

bool ScanSession::start(const ScanRequest& request) {
    stop();
    ++generation_;
    held_.clear();
    finishHeld_ = false;
    list_.clear();
    displayIcons_ = request.displayIcons;
    autoSelect_ = request.autoSelect;
    sink_->reset(generation_);
    running_ = worker_->startScan(request);
    return running_;
}

void ScanSession::stop() {
    // The worker only posts, so joining it never waits for this thread.
    (void)worker_->stopScan();
}

std::pair<std::size_t, std::string> ScanSession::unreadable() const {
    return sink_->unreadable();
}

void ScanSession::holdDeliveries(bool hold) {
    hold_ = hold;
    if (hold)
        return;
    auto held = std::move(held_);
    held_.clear();
    for (auto& rows : held)
        list_.append(std::move(rows), autoSelect_);
    if (!held.empty())
        events_.scanProgress(sink_->takeFolder());
    if (finishHeld_) {
        finishHeld_ = false;
        finish(generation_);
    }
}

void ScanSession::deliver(std::uint64_t generation, std::vector<FileEntry> rows) {
    if (generation != generation_)
        return;
    if (typeNames_)
        for (FileEntry& entry : rows)
            entry.typeName = typeNames_(entry.name(), entry.isFolder());
    if (hold_) {
        held_.push_back(std::move(rows));
        return;
    }
    list_.append(std::move(rows), autoSelect_);
}

void ScanSession::announce(std::uint64_t generation) {
    if (generation == generation_)
        events_.scanProgress(sink_->takeFolder());
}

void ScanSession::finish(std::uint64_t generation) {
    if (generation != generation_)
        return;
    if (hold_) {
        finishHeld_ = true;
        return;
    }
    running_ = false;
    list_.sort();
    events_.scanFinished();
}

} // namespace vantrel
