#include "rename/RenameBatch.h"

#include "rename/SafeRename.h"
#include "text/Utf8Text.h"

#include <cerrno>
#include <unordered_map>

namespace vantrel {

std::string renameStatistics(std::int32_t processed, std::int32_t renamed) {
    if (processed == renamed)
        return std::to_string(renamed) + " Entries successfully renamed.";
    return std::to_string(processed) + " Entries processed, " + std::to_string(renamed) +
           " entries renamed. " + std::to_string(processed - renamed) +
           " entries required no changes.";
}

std::string itemFailureText(const ItemFailure& failure) {
    std::string text = "Item '" + failure.item + "' could not be renamed.\n";
    if (failure.targetExists)
        text += "Target item '" + failure.target + "' already exists.";
    else
        text += "Error Code: " + failure.message;
    text += "\nIgnore this error and continue processing?";
    return text;
}

namespace {

/// Whether `location` names an existing folder (a trailing "/" is fine).
bool isExistingFolder(FileSystem& fs, std::string location) {
    while (location.size() > 1 && location.back() == '/')
        location.pop_back();
    FileAttributes attributes;
    if (!fs.attributes(location, attributes).ok())
        return false;
    if (attributes.kind == FileKind::Symlink) // a link to a folder is a folder here
        return fs.attributes(location + "/.", attributes).ok() &&
               attributes.kind == FileKind::Folder;
    return attributes.kind == FileKind::Folder;
}

/// Paths with a count: several items may share one.
class PathCounts {
public:
    void add(const std::string& path) { ++counts_[path]; }
    void remove(const std::string& path) {
        const auto it = counts_.find(path);
        if (it != counts_.end() && --it->second == 0)
            counts_.erase(it);
    }
    [[nodiscard]] bool contains(const std::string& path) const { return counts_.count(path) != 0; }

private:
    std::unordered_map<std::string, int> counts_;
};

/// One command's state: the items, what they produced, and the counters.
class Batch {
public:
    Batch(const RenameRequest& request, Preferences& preferences, FileSystem& fs, RenameUi& ui,
          StatusSink& status, UndoLog& log, RenameJournal* journal)
        : request_(request), preferences_(preferences), fs_(fs), ui_(ui), status_(status),
          log_(log), journal_(journal), tracking_(preferences.overwriteTargetFiles != 0) {}

    RenameOutcome run();

private:
    bool checksPass();
    void buildItems();
    /// Renames or copies item `i`; false when the user chose to stop.
    bool process(std::size_t i);
    Result renameItem(const UndoPair& pair, bool isFolder);
    bool mayReplace(const std::string& oldFull, const std::string& newFull, bool isFolder);
    void correctFolders(std::size_t i, const std::string& oldFull, const std::string& newFull);
    [[nodiscard]] std::string sourceOf(std::size_t i) const {
        return folders_[items_[i].folder] + items_[i].entry->name();
    }
    void finish();
    void stop();

    const RenameRequest& request_;
    Preferences& preferences_;
    FileSystem& fs_;
    RenameUi& ui_;
    StatusSink& status_;
    UndoLog& log_;
    RenameJournal* journal_;
    /// With "Overwrite Target Files" on, the batch keeps track of what it
    /// produced and where its entries are, so as never to replace those.
    bool tracking_;

    std::string location_;             ///< the New Location with its "/"; empty: in place
    std::vector<std::string> folders_; ///< the items' folder paths, each once
    std::vector<BatchItem> items_;
    std::vector<std::string> produced_; ///< per item: the path it produced (when tracking)
    std::vector<char> renamedAway_;     ///< per item: renamed in place, no longer at its source
    PathCounts producedPaths_;
    PathCounts batchSources_; ///< where the batch's entries are now, until renamed away
    RenameOutcome outcome_;
};

bool Batch::checksPass() {
    const std::string& location = request_.newLocation;
    if (!location.empty() && !isExistingFolder(fs_, location)) {
        ui_.showError(location + " is not a valid Folder - please correct or clear.");
        status_.setStatusMessage(kInvalidLocationStatus);
        ui_.focusNewLocation();
        return false;
    }
    status_.setStatusMessage("");
    for (const FileEntry* entry : request_.selected) {
        if (entry->newNameInvalid()) {
            ui_.showError(std::string(kInvalidNamesMessage));
            return false;
        }
    }
    return true;
}

void Batch::buildItems() {
    items_.reserve(request_.selected.size());
    std::unordered_map<const EntryFolder*, std::uint32_t> folderIndex;
    const EntryFolder* lastFolder = nullptr;
    std::uint32_t lastIndex = 0;
    for (std::size_t i = 0; i < request_.selected.size(); ++i) {
        FileEntry* entry = request_.selected[i];
        const EntryFolder* folder = entry->folder().get();
        if (folder != lastFolder || folders_.empty()) {
            auto [it, added] =
                folderIndex.emplace(folder, static_cast<std::uint32_t>(folders_.size()));
            if (added) {
                std::string path = entry->containingFolder();
                if (!path.empty() && path.back() != '/')
                    path += '/';
                folders_.push_back(std::move(path));
            }
            lastFolder = folder;
            lastIndex = it->second;
        }
        BatchItem item;
        item.listPosition = static_cast<std::int32_t>(i);
        item.folder = lastIndex;
        item.isFolder = entry->isFolder();
        item.entry = entry;
        items_.push_back(item);
        if (tracking_)
            batchSources_.add(sourceOf(i));
    }
    if (tracking_)
        produced_.resize(items_.size());
    renamedAway_.resize(items_.size());
}

bool Batch::mayReplace(const std::string& oldFull, const std::string& newFull, bool isFolder) {
    // Replacing is allowed only for a file, over a file that is neither the
    // source itself in another letter case, nor a result of this batch, nor
    // an entry of this batch (still to be renamed, or whose rename failed):
    // duplicates and swapped names must not destroy each other.
    return tracking_ && !isFolder && !text::equalsIgnoreCase(oldFull, newFull) &&
           !producedPaths_.contains(newFull) && !batchSources_.contains(newFull);
}

Result Batch::renameItem(const UndoPair& pair, bool isFolder) {
    const bool replace = mayReplace(pair.oldPath, pair.newPath, isFolder) &&
                         !isSameFile(fs_, pair.oldPath, pair.newPath);
    if (journal_ != nullptr) {
        if (Result r = journal_->beforeRename(pair); !r)
            return r;
    }
    Result r =
        replace ? fs_.rename(pair.oldPath, pair.newPath, RenameMode::ReplaceFile)
                : renameWithoutReplacing(
                      fs_, pair.oldPath, pair.newPath, [this](const std::string& temporary) {
                          return journal_ != nullptr ? journal_->viaTemporary(temporary) : Result{};
                      });
    if (journal_ != nullptr)
        journal_->afterRename(r.ok());
    return r;
}

void Batch::correctFolders(std::size_t i, const std::string& oldFull, const std::string& newFull) {
    // Only what lies inside the folder: a sibling whose name merely begins
    // with the folder's name is left alone. Items processed already keep
    // the paths they were processed under.
    const std::string oldPrefix = oldFull + "/";
    const std::string newPrefix = newFull + "/";
    const auto inside = [&](std::size_t j, const std::string& prefix) {
        return j != i && !renamedAway_[j] && folders_[items_[j].folder].starts_with(prefix);
    };
    if (tracking_) {
        // What the batch protects moved with the folder.
        for (std::size_t j = 0; j < items_.size(); ++j) {
            if (inside(j, oldPrefix))
                batchSources_.remove(sourceOf(j));
            if (j < i && produced_[j].starts_with(oldPrefix)) {
                producedPaths_.remove(produced_[j]);
                produced_[j].replace(0, oldPrefix.size(), newPrefix);
                producedPaths_.add(produced_[j]);
            }
        }
    }
    for (std::string& folder : folders_) {
        if (folder.starts_with(oldPrefix))
            folder.replace(0, oldPrefix.size(), newPrefix);
    }
    if (tracking_) {
        for (std::size_t j = 0; j < items_.size(); ++j) {
            if (inside(j, newPrefix))
                batchSources_.add(sourceOf(j));
        }
    }
}

bool Batch::process(std::size_t i) {
    const BatchItem& item = items_[i];
    const std::string& folder = folders_[item.folder];
    UndoPair pair;
    pair.oldPath = folder + item.entry->name();
    pair.newPath = (location_.empty() ? folder : location_) + item.entry->newName();
    if (pair.oldPath == pair.newPath) {
        ++outcome_.processed;
        return true;
    }
    Result r;
    if (!location_.empty())
        r = fs_.copyFile(pair.oldPath, pair.newPath,
                         mayReplace(pair.oldPath, pair.newPath, item.isFolder));
    else
        r = renameItem(pair, item.isFolder);

    if (r) {
        ++outcome_.renamed;
        ++outcome_.processed;
        if (outcome_.processed % 10 == 0)
            status_.setStatusMessage("Processed " + std::to_string(outcome_.processed) +
                                     " files...");
        if (tracking_) {
            produced_[i] = pair.newPath;
            producedPaths_.add(pair.newPath);
        }
        if (location_.empty()) {
            if (tracking_)
                batchSources_.remove(pair.oldPath);
            renamedAway_[i] = 1;
            item.entry->setName(item.entry->newName());
            if (item.isFolder) {
                outcome_.folderRenamed = true;
                correctFolders(i, pair.oldPath, pair.newPath);
            }
            log_.add(std::move(pair));
        }
        return true;
    }

    ItemFailure failure;
    failure.item = std::move(pair.oldPath);
    failure.target = std::move(pair.newPath);
    failure.message = r.error().message;
    // Only a rename says "already exists"; a copy reports the system's text.
    failure.targetExists = location_.empty() && r.error().code == EEXIST;
    if (ui_.skipFailedItem(itemFailureText(failure), failure)) {
        outcome_.skipped.push_back(std::move(failure));
        return true;
    }
    outcome_.stoppedAt = std::move(failure);
    return false;
}

void Batch::finish() {
    const std::string statistics = renameStatistics(outcome_.processed, outcome_.renamed);
    status_.setStatusMessage(statistics);
    outcome_.end = RenameOutcome::End::Completed;
    if (preferences_.displayConfirmationMessage != 0)
        ui_.renameComplete(statistics, preferences_);
    outcome_.refreshFiles = outcome_.folderRenamed && request_.recursive;
}

void Batch::stop() {
    outcome_.end = RenameOutcome::End::Stopped;
    if (log_.empty() || !ui_.reverseAfterStop())
        return;
    outcome_.undo = undoRename(log_, fs_, status_);
    outcome_.end = RenameOutcome::End::Reversed;
    outcome_.refreshFiles = true;
}

RenameOutcome Batch::run() {
    outcome_.end = RenameOutcome::End::Refused;
    if (!checksPass())
        return outcome_;
    const auto count = static_cast<std::int32_t>(request_.selected.size());
    if (preferences_.displayWarningMessage != 0 && !ui_.confirmRename(count, preferences_)) {
        status_.setStatusMessage(kCancelledStatus);
        outcome_.end = RenameOutcome::End::Cancelled;
        return outcome_;
    }
    if (journal_ != nullptr) {
        // No rename without its record: a journal that cannot be written
        // refuses the batch before anything is touched.
        if (Result r = journal_->beginBatch(); !r) {
            ui_.showError("The undo journal cannot be written: " + r.error().text());
            return outcome_;
        }
    }
    log_.clear();
    if (request_.selected.empty()) {
        outcome_.end = RenameOutcome::End::Empty;
        if (journal_ != nullptr)
            journal_->endBatch();
        return outcome_;
    }
    status_.setStatusMessage(kGeneratingStatus);
    location_ = request_.newLocation;
    if (!location_.empty() && location_.back() != '/')
        location_ += '/';
    buildItems();
    status_.setStatusMessage(kRenamingStatus);
    RenameProgress* progress = request_.progress;
    if (progress != nullptr)
        progress->batchStarted(static_cast<std::int32_t>(items_.size()));
    bool stopped = false;
    for (std::size_t i = 0; i < items_.size() && !stopped; ++i) {
        if (request_.cancel != nullptr && request_.cancel->load()) {
            stopped = true;
            break;
        }
        stopped = !process(i);
        if (!stopped && progress != nullptr)
            progress->itemDone(static_cast<std::int32_t>(i), outcome_.processed);
    }
    if (journal_ != nullptr)
        journal_->endBatch();
    if (progress != nullptr)
        progress->batchFinished();
    if (stopped)
        stop();
    else
        finish();
    return outcome_;
}

} // namespace

RenameOutcome runRenameBatch(const RenameRequest& request, Preferences& preferences, FileSystem& fs,
                             RenameUi& ui, StatusSink& status, UndoLog& log,
                             RenameJournal* journal) {
    Batch batch(request, preferences, fs, ui, status, log, journal);
    return batch.run();
}

} // namespace vantrel
