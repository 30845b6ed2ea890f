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
          log_(log), journal_(journal) {}

    RenameOutcome run();

private:
    bool checksPass();
    void buildItems();
    /// Renames or copies item `i`; false when the user chose to stop.
    bool process(std::size_t i);
    Result renameItem(const std::string& oldFull, const std::string& newFull, bool isFolder);
    void correctLaterItems(std::size_t i, const std::string& oldFull, const std::string& newFull);
    void finish();
    void stop();

    const RenameRequest& request_;
    Preferences& preferences_;
    FileSystem& fs_;
    RenameUi& ui_;
    StatusSink& status_;
    UndoLog& log_;
    RenameJournal* journal_;

    std::string location_; ///< the New Location with its "/"; empty: in place
    std::vector<BatchItem> items_;
    std::vector<std::string> produced_; ///< per item: the path it produced, if any
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
    for (std::size_t i = 0; i < request_.selected.size(); ++i) {
        FileEntry* entry = request_.selected[i];
        BatchItem item;
        item.listPosition = static_cast<std::int32_t>(i);
        item.folderPath = entry->containingFolder();
        if (!item.folderPath.empty() && item.folderPath.back() != '/')
            item.folderPath += '/';
        item.currentName = entry->name();
        item.newName = entry->newName();
        item.isFolder = entry->isFolder();
        item.entry = entry;
        batchSources_.add(item.folderPath + item.currentName);
        items_.push_back(std::move(item));
    }
    produced_.resize(items_.size());
}

Result Batch::renameItem(const std::string& oldFull, const std::string& newFull, bool isFolder) {
    // Replacing is allowed only for a file, over a file that is neither the
    // source itself in another letter case, nor a result of this batch, nor
    // an entry of this batch (still to be renamed, or whose rename failed):
    // duplicates and swapped names must not destroy each other.
    const bool mayReplace =
        preferences_.overwriteTargetFiles != 0 && !isFolder &&
        !text::equalsIgnoreCase(oldFull, newFull) && !producedPaths_.contains(newFull) &&
        !batchSources_.contains(newFull) && !isSameFile(fs_, oldFull, newFull);
    if (journal_ != nullptr) {
        if (Result r = journal_->beforeRename({oldFull, newFull, true, {}}); !r)
            return r;
    }
    Result r = mayReplace
                   ? fs_.rename(oldFull, newFull, RenameMode::ReplaceFile)
                   : renameWithoutReplacing(fs_, oldFull, newFull, [this](const std::string& tmp) {
                         return journal_ != nullptr ? journal_->viaTemporary(tmp) : Result{};
                     });
    if (journal_ != nullptr)
        journal_->afterRename(r.ok());
    return r;
}

void Batch::correctLaterItems(std::size_t i, const std::string& oldFull,
                              const std::string& newFull) {
    // Only what lies inside the folder: a sibling whose name merely begins
    // with the folder's name is left alone.
    const std::string oldPrefix = oldFull + "/";
    const std::string newPrefix = newFull + "/";
    for (std::size_t j = 0; j < items_.size(); ++j) {
        if (j > i && items_[j].folderPath.starts_with(oldPrefix)) {
            // Later items are corrected, as are the paths that protect them.
            BatchItem& later = items_[j];
            batchSources_.remove(later.folderPath + later.currentName);
            later.folderPath.replace(0, oldPrefix.size(), newPrefix);
            batchSources_.add(later.folderPath + later.currentName);
        } else if (j < i && produced_[j].starts_with(oldPrefix)) {
            producedPaths_.remove(produced_[j]);
            produced_[j].replace(0, oldPrefix.size(), newPrefix);
            producedPaths_.add(produced_[j]);
        }
    }
}

bool Batch::process(std::size_t i) {
    BatchItem& item = items_[i];
    const std::string oldFull = item.folderPath + item.currentName;
    const std::string newFull = (location_.empty() ? item.folderPath : location_) + item.newName;
    if (oldFull == newFull) {
        ++outcome_.processed;
        return true;
    }
    Result r;
    if (!location_.empty()) {
        const bool mayReplace = preferences_.overwriteTargetFiles != 0 && !item.isFolder &&
                                !text::equalsIgnoreCase(oldFull, newFull) &&
                                !producedPaths_.contains(newFull) &&
                                !batchSources_.contains(newFull);
        r = fs_.copyFile(oldFull, newFull, mayReplace);
    } else {
        r = renameItem(oldFull, newFull, item.isFolder);
    }

    if (r) {
        ++outcome_.renamed;
        ++outcome_.processed;
        if (outcome_.processed % 10 == 0)
            status_.setStatusMessage("Processed " + std::to_string(outcome_.processed) +
                                     " files...");
        produced_[i] = newFull;
        producedPaths_.add(newFull);
        if (location_.empty()) {
            batchSources_.remove(oldFull);
            log_.add({oldFull, newFull, true, {}});
            if (item.entry != nullptr)
                item.entry->setName(item.newName);
            if (item.isFolder) {
                outcome_.folderRenamed = true;
                correctLaterItems(i, oldFull, newFull);
            }
        }
        return true;
    }

    ItemFailure failure;
    failure.item = oldFull;
    failure.target = newFull;
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
    bool stopped = false;
    for (std::size_t i = 0; i < items_.size() && !stopped; ++i)
        stopped = !process(i);
    if (journal_ != nullptr)
        journal_->endBatch();
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
