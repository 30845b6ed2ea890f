#pragma once

#include "engine/Preferences.h"
#include "engine/RenameCriteria.h"
#include "filelist/FileEntry.h"
#include "filelist/Sorting.h"
#include "platform/FileSystem.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vantrel {

/// What one scan lists: the folder and the Selections, copied by the worker.
struct ScanRequest {
    std::string root; ///< absolute path of the folder to list; empty when none is chosen
    std::string filter = "*";
    bool includeFiles = true;
    bool includeFolders = true;
    bool recursive = false;
    bool includeHidden = false;
    std::int32_t minLength = 0;
    bool displayIcons = true;
    bool autoSelect = false;
    /// Read each entry's size and times (a statx per entry). A caller that
    /// shows and sorts by none may spare it: where the listing tells an
    /// entry's kind, the entry then has size 0 (-1 for a folder) and no dates.
    bool readAttributes = true;
    /// Open JPEG files for their date taken; a caller that shows no dates
    /// and sorts by none may spare the four system calls per file.
    bool readDatesTaken = true;
    std::int32_t rootPathLength = 0; ///< bytes of the root's path; "Sub Dir." drops as many
    std::int32_t insertPosition = 0; ///< rows added so far
};

/// A request for `root` from the Selections panel and the preferences; the
/// root's path is normalised (no trailing "/" except for "/" itself).
[[nodiscard]] ScanRequest makeScanRequest(const RenameCriteria& criteria,
                                          const Preferences& preferences, std::string_view root);

/// A folder path without trailing "/" (except "/" itself).
[[nodiscard]] std::string normaliseFolderPath(std::string_view path);

/// "Scanning Folder <path>...", shown while a folder is being listed.
[[nodiscard]] std::string scanProgressText(std::string_view path);
/// "Folder: <path>", shown when the scan is done.
[[nodiscard]] std::string scanDoneText(std::string_view path);

/// Receives a scan's results, on the thread that runs the scan. Entries
/// arrive in list order (pre-order, depth first, each folder's children in
/// the file system's order); a folder's announcement comes after every entry
/// found before it.
class ScanSink {
public:
    virtual ~ScanSink() = default;
    /// The scan starts listing the folder at `path`.
    virtual void folderStarted(const std::string& path) = 0;
    /// New rows, to be appended to the list in this order.
    virtual void entriesFound(std::vector<FileEntry> batch) = 0;
    /// The scan ended (completely or stopped); the list is sorted now.
    virtual void scanDone() = 0;
    /// Something below the root could not be read (a folder that cannot be
    /// opened or listed to its end, an entry whose attributes cannot be
    /// read) and is left out; `error` names it and the system's text.
    virtual void readFailed(const Error& error) { (void)error; }
};

/// A sink that keeps everything, for callers that wait for the whole list.
class EntryCollector final : public ScanSink {
public:
    void folderStarted(const std::string& path) override { folders.push_back(path); }
    void entriesFound(std::vector<FileEntry> batch) override;
    void scanDone() override;

    std::vector<FileEntry> entries; ///< every entry in list order, once done
    /// When set (with `random`), the entries are joined at the end in
    /// sortOrder's order, each moved once rather than joined, then sorted.
    const SortState* sortBy = nullptr;
    RandomSource* random = nullptr;
    /// When set, the list is `listed` and `entries` stays empty. Where the
    /// list order keeps long runs of the scan's order, its rows point into the
    /// batches the scan made and no entry moves: for a caller that only reads
    /// the list and renames through it, this spares a copy of every entry.
    /// Entries of a scattered order are put in list order where they are,
    /// each moved once, so that reading the list in order stays fast.
    bool keepBatches = false;
    EntryRows listed;
    std::vector<std::string> folders; ///< announced folders, in order
    std::atomic<bool> done{false};    ///< may be watched from another thread

private:
    std::vector<std::vector<FileEntry>> batches_;
};

/// The type name of an entry from its name; may be empty. Runs on the scan's thread.
using TypeNameProvider = std::function<std::string(std::string_view name, bool isFolder)>;

/// Runs a whole scan on the calling thread: lists the request's root (and,
/// when recursive, the folders it descends into) into `sink`, then calls
/// `scanDone`. `cancel` is read before every step; once set, the scan ends at
/// the next one. Each folder is opened relative to its open parent, so depth
/// does not matter. Folders and entries that cannot be read are left out and
/// told to the sink (`readFailed`); a root that cannot be opened is not.
void runScan(const ScanRequest& request, FileSystem& fs, const TypeNameProvider& typeNames,
             ScanSink& sink, const std::atomic<bool>& cancel);

/// Runs scans on a worker thread, one at a time.
class ScanWorker {
public:
    ScanWorker(FileSystem& fs, TypeNameProvider typeNames, ScanSink& sink);
    /// Stops and joins a running scan. Destroyed from the worker itself
    /// (through the sink), it cannot wait: the scan is told to stop and
    /// left to end on its own, reporting nothing more to the sink.
    ~ScanWorker();
    ScanWorker(const ScanWorker&) = delete;
    ScanWorker& operator=(const ScanWorker&) = delete;

    /// Starts a scan; false when a worker (running or finished) still exists,
    /// or no thread could be made. The caller clears its list first.
    bool startScan(const ScanRequest& request);
    /// Asks the running scan to stop and waits for its end; true when no
    /// worker is left. False when called from the worker itself (through the
    /// sink), where waiting could never end.
    bool stopScan();
    /// Whether a stop has been asked for since the scan started.
    [[nodiscard]] bool stopRequested() const;
    /// Whether a worker exists (it may have finished already).
    [[nodiscard]] bool hasWorker() const { return thread_.joinable(); }

private:
    /// What one scan's thread reads; shared with the thread, so that it stays
    /// valid for a thread left to end after its worker was destroyed.
    struct Run;

    FileSystem& fs_;
    std::shared_ptr<const TypeNameProvider> typeNames_;
    ScanSink& sink_;
    std::shared_ptr<Run> run_;
    std::thread thread_;
};

} // namespace vantrel
