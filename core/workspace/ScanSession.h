#pragma once

#include "filelist/ScanWorker.h"
#include "workspace/FileList.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vantrel {

/// Runs a function later on the list's thread (the window's event loop);
/// calls made in a row run in that order. May be called from any thread.
using PostToListThread = std::function<void(std::function<void()>)>;

/// What a scan tells the window, on the list's thread.
class ScanEvents {
public:
    virtual ~ScanEvents() = default;
    /// Rows arrived, or the folder being listed changed (`folder`, the
    /// latest one; announcements are coalesced while the window is busy).
    virtual void scanProgress(const std::string& folder) = 0;
    /// The scan ended and the list is sorted.
    virtual void scanFinished() = 0;
};

/// One scan at a time into a FileList: the worker lists on its own thread
/// and hands rows over in batches through posted calls, so every change of
/// the list happens on the list's thread, where the rows get their type
/// names (the provider is only ever called there). A new scan stops and joins the
/// previous one first; whatever the old scan had posted and not yet
/// delivered is dropped.
class ScanSession {
public:
    ScanSession(FileSystem& fs, TypeNameProvider typeNames, FileList& list, PostToListThread post,
                ScanEvents& events);
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

    /// Stops any running scan, empties the list and starts listing; false
    /// when no worker thread could be made (the list stays empty).
    bool start(const ScanRequest& request);
    /// Stops the running scan and waits for its end. Rows it delivered stay.
    void stop();
    /// Whether the latest scan has not finished yet.
    [[nodiscard]] bool running() const { return running_; }
    /// Whether the rows of the latest scan carry icons ("Display Icons" at scan time).
    [[nodiscard]] bool displayIcons() const { return displayIcons_; }
    /// What the latest scan could not read and left out: how many folders
    /// or entries, and the first one's operation, path and system text.
    [[nodiscard]] std::pair<std::size_t, std::string> unreadable() const;
    /// While held, delivered rows wait (a rename batch holds pointers into
    /// the list); releasing delivers them in order.
    void holdDeliveries(bool hold);

private:
    class Sink;
    void deliver(std::uint64_t generation, std::vector<FileEntry> rows);
    void announce(std::uint64_t generation);
    void finish(std::uint64_t generation);

    FileList& list_;
    PostToListThread post_;
    ScanEvents& events_;
    std::unique_ptr<Sink> sink_;
    TypeNameProvider typeNames_;
    std::unique_ptr<ScanWorker> worker_;
    std::uint64_t generation_ = 0; ///< of the latest scan; read on the list's thread
    bool running_ = false;
    bool displayIcons_ = true;
    bool autoSelect_ = false;
    bool hold_ = false;
    bool finishHeld_ = false;
    std::vector<std::vector<FileEntry>> held_;
};

} // namespace vantrel
