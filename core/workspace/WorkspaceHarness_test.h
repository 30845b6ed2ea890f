#pragma once

#include "platform/Clock.h"
#include "platform/Random.h"
#include "rename/RenameBatch.h"
#include "status/StatusSink.h"
#include "testsupport/MemoryFileSystem.h"
#include "workspace/Workspace.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace vantrel::test {

/// Stands in for the window's event loop: posted calls wait here until the
/// test runs them. Posting is safe from any thread.
class PostQueue {
public:
    PostToListThread poster() {
        return [this](std::function<void()> f) {
            {
                const std::lock_guard lock(mutex_);
                queue_.push_back(std::move(f));
                ++posted_;
            }
            cv_.notify_all();
        };
    }
    /// Runs what is queued (and what that posts) until the queue is empty.
    void drain() {
        for (;;) {
            std::function<void()> f;
            {
                const std::lock_guard lock(mutex_);
                if (queue_.empty())
                    return;
                f = std::move(queue_.front());
                queue_.pop_front();
            }
            f();
        }
    }
    /// Runs posted calls until `done` holds (or ten seconds have passed).
    bool runUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            {
                std::unique_lock lock(mutex_);
                if (queue_.empty() &&
                    !cv_.wait_until(lock, deadline, [this] { return !queue_.empty(); }))
                    return false;
            }
            drain();
        }
        return true;
    }
    [[nodiscard]] std::size_t posted() const {
        const std::lock_guard lock(mutex_);
        return posted_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
    std::size_t posted_ = 0;
};

/// Answers the batch's questions from a script.
class ScriptedRenameUi final : public RenameUi {
public:
    bool confirmRename(std::int32_t, Preferences&) override { return confirm; }
    void showError(const std::string& text) override { errors.push_back(text); }
    bool skipFailedItem(const std::string&, const ItemFailure&) override { return skip; }
    bool reverseAfterStop() override { return reverse; }
    void renameComplete(const std::string& statistics, Preferences&) override {
        completions.push_back(statistics);
    }
    bool confirm = true, skip = true, reverse = false;
    std::vector<std::string> errors, completions;
};

/// A workspace over an in-memory file system, a fixed clock and a posted-call queue.
struct WorkspaceHarness {
    WorkspaceHarness()
        : workspace(
              {fs, clock, random, status, queue.poster(), [](std::string_view, bool isFolder) {
                   return std::string(isFolder ? "Folder" : "File");
               }}) {}

    /// Lists `folder` and waits for the scan to end.
    bool scan(const std::string& folder) {
        workspace.setFolder(folder);
        workspace.rescan();
        return queue.runUntil([this] { return !workspace.scan().running(); });
    }
    /// The names of the rows in list order, and their new names.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < workspace.list().size(); ++i)
            out.push_back(workspace.list().entry(i).name());
        return out;
    }
    std::vector<std::string> newNames() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < workspace.list().size(); ++i)
            out.push_back(workspace.list().entry(i).newName());
        return out;
    }

    MemoryFileSystem fs;
    FixedClock clock{DateTime{2004, 3, 0, 7, 15, 4, 5, 0}, DateTime{2004, 3, 0, 7, 14, 4, 5, 0}};
    SystemRandom random{7};
    StatusPanes status;
    PostQueue queue;
    Workspace workspace;
};

} // namespace vantrel::test
