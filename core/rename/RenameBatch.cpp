#include "rename/RenameBatch.h"

#include "filelist/FolderNames.h"
#include "filelist/IndexTable.h"
#include "platform/BackgroundQueue.h"
#include "rename/SafeRename.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

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
    if (!failure.leftAt.empty())
        text += "\nIt was left at '" + failure.leftAt + "', as it could not be put back (" +
                failure.leftAtMessage + "); undo brings it back.";
    text += "\nIgnore this error and continue processing?";
    return text;
}

namespace {

constexpr std::size_t kNoItem = std::numeric_limits<std::size_t>::max();
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

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
    void findHolders();
    /// A folder listed for the identities of its children.
    struct ListedFolder {
        std::uint32_t folder = 0;
        std::unique_ptr<FolderListing> listing;
        std::string text; ///< the children's names, one after the other
        struct Child {
            std::size_t offset;
            std::size_t length;
            FileIdentity identity;
            std::uint64_t hash; ///< of the folder and the name
        };
        std::vector<Child> children;
        std::optional<std::size_t> ticket; ///< being read on the second thread
    };
    /// Opens the folders worth listing (those holding many items to rename),
    /// and starts reading the first of them on `reader`.
    std::vector<std::unique_ptr<ListedFolder>> startListings(BackgroundQueue& reader);
    static void readListing(ListedFolder& listed);
    /// Learns from one listing per folder what the items to rename there
    /// are, where the listing tells it, instead of asking file by file.
    void learnIdentities(const IndexTable& byName,
                         std::vector<std::unique_ptr<ListedFolder>>& listed,
                         BackgroundQueue& reader);
    [[nodiscard]] bool isUnchanged(const BatchItem& item);
    /// Every item, each after the one that holds its new name; false when
    /// the user chose to stop.
    bool processAll();
    [[nodiscard]] bool cancelled() const {
        return request_.cancel != nullptr && request_.cancel->load();
    }
    /// Renames or copies item `i`; false when the user chose to stop.
    bool process(std::size_t i);
    /// Moves item `i` to a temporary name in its folder, so that the ring
    /// of renames it is part of can be completed; false when the user chose
    /// to stop at its failure.
    bool park(std::size_t i);
    /// Moves a parked item back from its temporary name to its own; false
    /// (with `why`) when that cannot be done.
    bool unpark(std::size_t i, std::string& why);
    /// After a stop: every item still at a temporary name goes back.
    void unparkAll();
    /// Asks about a failure; false when the user chose to stop.
    bool failed(ItemFailure failure);
    Result copyItem(const UndoPair& pair, bool isFolder);
    /// Renames `pair`. When `asItem` names the item whose entry is the
    /// source, at its name, and the target is in its folder, what the batch
    /// learnt of that folder serves.
    Result renameItem(UndoPair& pair, bool isFolder, RenameTrace& trace, bool mayOverwrite = true,
                      std::size_t asItem = kNoItem);
    /// Records a rename that happened in the undo log, and keeps the paths
    /// of later items inside a renamed folder right.
    void logged(UndoPair pair, bool isFolder);
    bool mayReplace(const std::string& target, bool isFolder);
    void correctFolders(const std::string& oldFull, const std::string& newFull);
    [[nodiscard]] std::string sourceOf(std::size_t i) const {
        return joinPathOrName(folders_[items_[i].folder], items_[i].entry->name());
    }
    void endJournal(bool reversed);
    void finish();
    void stop();

    const RenameRequest& request_;
    Preferences& preferences_;
    FileSystem& fs_;
    RenameUi& ui_;
    StatusSink& status_;
    UndoLog& log_;
    RenameJournal* journal_;
    /// With "Overwrite Target Files" on, the batch keeps the identities of
    /// what it must never replace: every entry it has to process (done, to
    /// do, or failed) and every copy it made.
    bool tracking_;
    std::unordered_set<FileIdentity, FileIdentityHash> protected_;

    std::string location_; ///< the New Location with its "/"; empty: in place
    FileIdentity locationId_;
    std::vector<std::string> folders_; ///< the items' folder paths, each once
    std::vector<signed char>
        folderIsLocation_; ///< per folder: 1 it is the New Location, -1 unknown
    std::vector<BatchItem> items_;
    std::vector<char> unchanged_; ///< per item: its new path is its path
    /// Per item (in place): the item of the batch whose name is its new
    /// name and that moves away, so that it goes first; kNone when none.
    std::vector<std::uint32_t> holder_;
    std::vector<char> listedBefore_;   ///< per item (in place): an earlier item is the same entry
    std::vector<FileIdentity> listed_; ///< per item (in place): its identity, when listed
    /// Per folder: the folder kept open to rename in, while its path holds.
    std::vector<std::unique_ptr<FolderListing>> open_;
    /// Per item: the temporary name it is parked at; empty when at its name.
    std::vector<std::string> parked_;
    enum class State : std::uint8_t { Pending, Active, Done, Skipped };
    std::vector<State> state_;
    /// Per in-place rename done, for the folders' known names (brought up
    /// to date at the end, folder by folder): its item, and the name the
    /// entry had.
    std::vector<std::uint32_t> renamedItems_;
    std::vector<std::string> oldNames_;
    void updateFolderNames();
    RenameOutcome outcome_;
};

/// Folders kept open at once, well inside the usual limit of descriptors.
constexpr std::size_t kKeepOpenAtMost = 256;

/// Below this many items to rename in one folder, asking each item costs
/// less than listing the folder (which may hold many more entries).
constexpr std::size_t kListFolderFrom = 16;

/// Names are keys within their folder, byte for byte.
std::uint64_t folderNameKey(std::uint32_t folder, std::string_view name) {
    return nameHash(name) ^ (static_cast<std::uint64_t>(folder) + 1) * 0xC2B2AE3D27D4EB4FULL;
}

bool Batch::checksPass() {
    const std::string& location = request_.newLocation;
    // Resolved once: from here on the folder is known by its identity.
    if (!location.empty() && !(locationId_ = folderIdentity(fs_, location)).known()) {
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

bool Batch::isUnchanged(const BatchItem& item) {
    if (item.entry->newName() != item.entry->name())
        return false;
    if (location_.empty())
        return true;
    // A copy onto itself: the New Location is the entry's own folder, however
    // spelt. Each folder is looked at once.
    if (item.folder >= folderIsLocation_.size())
        folderIsLocation_.resize(folders_.size(), -1);
    signed char& known = folderIsLocation_[item.folder];
    if (known < 0) {
        const FileIdentity folder = folderIdentity(fs_, folders_[item.folder]);
        known = folder.known() && folder == locationId_ ? 1 : 0;
    }
    return known == 1;
}

void Batch::buildItems() {
    items_.reserve(request_.selected.size());
    unchanged_.reserve(request_.selected.size());
    // One index per folder path, however many records of it there are:
    // which item waits for which is told by folder index and name.
    std::unordered_map<std::string, std::uint32_t> folderIndex;
    // A list sorted by name changes folder at almost every entry: each
    // folder record is looked up by its path once.
    std::unordered_map<const EntryFolder*, std::uint32_t> recordIndex;
    const EntryFolder* lastFolder = nullptr;
    std::uint32_t lastIndex = 0;
    for (std::size_t i = 0; i < request_.selected.size(); ++i) {
        FileEntry* entry = request_.selected[i];
        const EntryFolder* folder = entry->folder().get();
        if (folder != lastFolder || i == 0) {
            const auto known = recordIndex.find(folder);
            if (known != recordIndex.end()) {
                lastIndex = known->second;
            } else {
                std::string path = entry->containingFolder();
                if (!path.empty() && path.back() != '/')
                    path += '/';
                auto [it, added] =
                    folderIndex.emplace(path, static_cast<std::uint32_t>(folders_.size()));
                if (added)
                    folders_.push_back(std::move(path));
                lastIndex = it->second;
                recordIndex.emplace(folder, lastIndex);
            }
            lastFolder = folder;
        }
        BatchItem item;
        item.listPosition = static_cast<std::int32_t>(i);
        item.folder = lastIndex;
        item.isFolder = entry->isFolder();
        item.entry = entry;
        items_.push_back(item);
        unchanged_.push_back(isUnchanged(item) ? 1 : 0);
        FileAttributes attributes;
        if (tracking_ && unchanged_.back() == 0 && fs_.attributes(sourceOf(i), attributes).ok())
            protected_.insert(attributes.identity);
    }
}

bool Batch::mayReplace(const std::string& target, bool isFolder) {
    // Only a file replaces, and only what is neither a folder nor anything
    // the batch must keep: duplicates and swapped names must not destroy
    // each other, whatever path spells them.
    FileAttributes attributes;
    return tracking_ && !isFolder && fs_.attributes(target, attributes).ok() &&
           attributes.kind != FileKind::Folder && protected_.count(attributes.identity) == 0;
}

Result Batch::copyItem(const UndoPair& pair, bool isFolder) {
    Result r = fs_.copyFile(pair.oldPath, pair.newPath, false);
    if (!r && r.error().code == EEXIST && mayReplace(pair.newPath, isFolder))
        r = fs_.copyFile(pair.oldPath, pair.newPath, true);
    FileAttributes made;
    if (r && tracking_ && fs_.attributes(pair.newPath, made).ok())
        protected_.insert(made.identity);
    return r;
}

Result Batch::renameItem(UndoPair& pair, bool isFolder, RenameTrace& trace, bool mayOverwrite,
                         std::size_t asItem) {
    FolderListing* folder = nullptr;
    FileIdentity known;
    if (asItem != kNoItem && asItem < listed_.size()) {
        known = listed_[asItem];
        folder = open_[items_[asItem].folder].get();
    }
    // The identity goes into the journal and the log, so that undo moves
    // this entry and no other that took its name.
    if (known.known()) {
        pair.identity = known;
    } else {
        FileAttributes source;
        if (Result r = fs_.attributes(pair.oldPath, source); !r)
            return r;
        pair.identity = source.identity;
    }
    if (journal_ != nullptr) {
        if (Result r = journal_->beforeRename(pair); !r)
            return r;
    }
    // In the open folder the kernel looks up one name, not the whole path.
    // Where the target exists, the path-based rename below tells a second
    // spelling of the entry itself from another entry.
    Result r = folder != nullptr
                   ? folder->renameChild(items_[asItem].entry->name(), lastComponent(pair.newPath))
                   : Result::fromErrno("rename", pair.oldPath, EEXIST);
    if (!r && r.error().code == EEXIST)
        r = renameWithoutReplacing(
            fs_, pair.oldPath, pair.newPath,
            [this, &pair](const std::string& temporary) {
                pair.temporaryPath = temporary;
                return journal_ != nullptr ? journal_->viaTemporary(temporary) : Result{};
            },
            &trace);
    if (!r && r.error().code == EEXIST && trace.leftAt.empty() && mayOverwrite &&
        mayReplace(pair.newPath, isFolder))
        r = fs_.rename(pair.oldPath, pair.newPath, RenameMode::ReplaceFile);
    if (journal_ != nullptr)
        journal_->afterRename(r                      ? RenameEffect::Renamed
                              : trace.leftAt.empty() ? RenameEffect::NotRenamed
                                                     : RenameEffect::Unknown);
    return r;
}

void Batch::correctFolders(const std::string& oldFull, const std::string& newFull) {
    // Only what lies inside the folder: a sibling whose name merely begins
    // with the folder's name is left alone. Items processed already keep
    // the paths they were processed under.
    const std::string oldPrefix = oldFull + "/";
    const std::string newPrefix = newFull + "/";
    for (std::size_t f = 0; f < folders_.size(); ++f) {
        if (folders_[f].starts_with(oldPrefix)) {
            folders_[f].replace(0, oldPrefix.size(), newPrefix);
            if (f < open_.size())
                open_[f].reset(); // from here on by its new path
        }
    }
}

void Batch::logged(UndoPair pair, bool isFolder) {
    if (isFolder) {
        outcome_.folderRenamed = true;
        correctFolders(pair.oldPath, pair.newPath);
    }
    log_.add(std::move(pair));
}

void Batch::findHolders() {
    // A target that is the name of another item which moves away: that item
    // goes first.
    const std::size_t n = items_.size();
    holder_.assign(n, kNone);
    listedBefore_.assign(n, 0);
    // The folders are read on a second thread while the table is built.
    std::vector<std::unique_ptr<ListedFolder>> listed;
    BackgroundQueue reader; // after `listed`: gone, and so done, before it
    listed = startListings(reader);
    // Items by their folder and name, in one flat table: a batch of 100,000
    // builds and probes it many times faster than a node-based map.
    IndexTable byName(n);
    const auto holds = [this](std::uint32_t item, std::uint32_t folder, const std::string& name) {
        return items_[item].folder == folder && items_[item].entry->name() == name;
    };
    constexpr std::size_t kAhead = 16;
    std::vector<std::uint64_t> hashes(n);
    for (std::size_t j = 0; j < n; ++j)
        hashes[j] = folderNameKey(items_[j].folder, items_[j].entry->name());
    for (std::size_t j = 0; j < n; ++j) {
        if (j + kAhead < n)
            byName.prefetch(hashes[j + kAhead]);
        if (unchanged_[j] != 0)
            continue;
        const std::uint32_t folder = items_[j].folder;
        const std::string& name = items_[j].entry->name();
        // The same entry listed twice: once its name is free, another item
        // may take it, and the second listing must not move that one.
        if (byName.find(hashes[j], [&](std::uint32_t item) { return holds(item, folder, name); }))
            listedBefore_[j] = 1;
        else
            byName.insert(hashes[j], static_cast<std::uint32_t>(j));
    }
    for (std::size_t i = 0; i < n; ++i)
        hashes[i] = folderNameKey(items_[i].folder, items_[i].entry->newName());
    for (std::size_t i = 0; i < n; ++i) {
        if (i + kAhead < n)
            byName.prefetch(hashes[i + kAhead]);
        if (unchanged_[i] != 0)
            continue;
        const std::uint32_t folder = items_[i].folder;
        const std::string& target = items_[i].entry->newName();
        (void)byName.find(hashes[i], [&](std::uint32_t item) {
            if (item == i || !holds(item, folder, target))
                return false;
            holder_[i] = item;
            return true;
        });
    }
    learnIdentities(byName, listed, reader);
}

std::vector<std::unique_ptr<Batch::ListedFolder>> Batch::startListings(BackgroundQueue& reader) {
    std::vector<std::size_t> perFolder(folders_.size(), 0);
    for (std::size_t j = 0; j < items_.size(); ++j) {
        if (unchanged_[j] == 0)
            ++perFolder[items_[j].folder];
    }
    std::vector<std::unique_ptr<ListedFolder>> listed;
    for (std::uint32_t folder = 0; folder < folders_.size(); ++folder) {
        if (perFolder[folder] < kListFolderFrom)
            continue;
        auto one = std::make_unique<ListedFolder>();
        one->folder = folder;
        // Opened here, read when due, beyond the folders kept open: each
        // open one holds a descriptor.
        if (listed.size() < kKeepOpenAtMost) {
            if (!fs_.openFolder(folders_[folder], one->listing).ok())
                continue;
            if (!request_.entriesJustListed && one->listing->fromAnyThread()) {
                ListedFolder* target = one.get();
                one->ticket = reader.post([target] { readListing(*target); });
            }
        }
        listed.push_back(std::move(one));
    }
    return listed;
}

void Batch::readListing(ListedFolder& listed) {
    std::string_view child;
    FileKind kind = FileKind::Unknown;
    while (listed.listing->next(child, kind)) {
        const FileIdentity identity = listed.listing->listedIdentity();
        if (!identity.known())
            continue;
        listed.children.push_back(ListedFolder::Child{listed.text.size(), child.size(), identity,
                                                      folderNameKey(listed.folder, child)});
        listed.text += child;
    }
}

void Batch::learnIdentities(const IndexTable& byName,
                            std::vector<std::unique_ptr<ListedFolder>>& listed,
                            BackgroundQueue& reader) {
    listed_.assign(items_.size(), FileIdentity{});
    open_.clear();
    open_.resize(folders_.size());
    if (request_.entriesJustListed) {
        for (std::size_t i = 0; i < items_.size(); ++i)
            listed_[i] = items_[i].entry->listedIdentity;
        // Only kept open to rename in.
        for (std::size_t k = 0; k < listed.size() && listed[k]->listing; ++k)
            open_[listed[k]->folder] = std::move(listed[k]->listing);
        return;
    }
    for (std::unique_ptr<ListedFolder>& one : listed) {
        if (one->ticket)
            reader.wait(*one->ticket);
        else if (one->listing || fs_.openFolder(folders_[one->folder], one->listing).ok())
            readListing(*one);
        else
            continue;
        const std::uint32_t folder = one->folder;
        const std::vector<ListedFolder::Child>& children = one->children;
        constexpr std::size_t kAhead = 16;
        for (std::size_t k = 0; k < children.size(); ++k) {
            if (k + kAhead < children.size())
                byName.prefetch(children[k + kAhead].hash);
            const std::string_view name =
                std::string_view(one->text).substr(children[k].offset, children[k].length);
            (void)byName.find(children[k].hash, [&](std::uint32_t i) {
                if (items_[i].folder != folder || items_[i].entry->name() != name)
                    return false;
                listed_[i] = children[k].identity;
                return true;
            });
        }
        // The first folders stay open to rename in; the rest are closed.
        if (&one - listed.data() < static_cast<std::ptrdiff_t>(kKeepOpenAtMost))
            open_[folder] = std::move(one->listing);
        one.reset();
    }
}

bool Batch::processAll() {
    constexpr std::size_t kPrefetchAhead = 2;
    const std::size_t n = items_.size();
    state_.assign(n, State::Pending);
    parked_.clear(); // sized when the first item is parked: rings are rare
    std::vector<std::uint32_t> path;
    RenameProgress* progress = request_.progress;
    for (std::size_t start = 0; start < n; ++start) {
        if (state_[start] != State::Pending)
            continue;
        // Down the chain of holders, then back up it: each item after the
        // one that frees its name; a ring is broken by parking the item it
        // began with.
        path.assign(1, static_cast<std::uint32_t>(start));
        state_[start] = State::Active;
        while (!path.empty()) {
            const std::uint32_t current = path.back();
            if (state_[current] == State::Skipped) {
                path.pop_back(); // its parking failed and was reported
                continue;
            }
            const std::uint32_t holder = holder_.empty() ? kNone : holder_[current];
            if (holder != kNone && state_[holder] == State::Pending) {
                state_[holder] = State::Active;
                path.push_back(holder);
                continue;
            }
            if (cancelled()) {
                unparkAll();
                return false;
            }
            if (holder != kNone && state_[holder] == State::Active &&
                (parked_.empty() || parked_[holder].empty())) {
                if (!park(holder)) {
                    unparkAll();
                    return false;
                }
                if (cancelled()) {
                    unparkAll();
                    return false;
                }
            }
            if (current + kPrefetchAhead < n) {
                // The entry's names, read after the next renames: the kernel's
                // work between them leaves little of the list in the cache.
                const FileEntry* ahead = items_[current + kPrefetchAhead].entry;
                __builtin_prefetch(&ahead->name());
                __builtin_prefetch(&ahead->newName());
            }
            const bool goOn = process(current);
            state_[current] = State::Done;
            path.pop_back();
            if (!goOn) {
                unparkAll();
                return false;
            }
            if (progress != nullptr)
                progress->itemDone(static_cast<std::int32_t>(current), outcome_.processed);
        }
    }
    return true;
}

bool Batch::failed(ItemFailure failure) {
    if (ui_.skipFailedItem(itemFailureText(failure), failure)) {
        outcome_.skipped.push_back(std::move(failure));
        return true;
    }
    outcome_.stoppedAt = std::move(failure);
    return false;
}

bool Batch::park(std::size_t i) {
    const BatchItem& item = items_[i];
    const std::string& folder = folders_[item.folder];
    UndoPair pair;
    pair.oldPath = joinPathOrName(folder, item.entry->name());
    Result r;
    for (int attempt = 0; attempt < 100; ++attempt) {
        pair.newPath = folder + ".vantrel-swap-" + std::to_string(attempt);
        RenameTrace trace;
        // A temporary name never replaces anything, Overwrite or not.
        r = renameItem(pair, item.isFolder, trace, false, i);
        if (r) {
            if (parked_.empty())
                parked_.resize(items_.size());
            parked_[i] = pair.newPath;
            logged(std::move(pair), item.isFolder);
            return true;
        }
        if (r.error().code != EEXIST || !trace.leftAt.empty())
            break;
    }
    ItemFailure failure;
    failure.item = pair.oldPath;
    failure.target = folder + item.entry->newName();
    failure.message =
        "it could not be moved out of the way to a temporary name (" + r.error().message + ")";
    state_[i] = State::Skipped;
    return failed(std::move(failure));
}

bool Batch::unpark(std::size_t i, std::string& why) {
    const BatchItem& item = items_[i];
    UndoPair pair;
    pair.oldPath = parked_[i];
    pair.newPath = joinPathOrName(folders_[item.folder], item.entry->name());
    RenameTrace trace;
    const Result r = renameItem(pair, item.isFolder, trace, false);
    if (!r) {
        why = r.error().message;
        return false;
    }
    parked_[i].clear();
    logged(std::move(pair), item.isFolder);
    return true;
}

void Batch::unparkAll() {
    for (std::size_t i = 0; i < parked_.size(); ++i) {
        if (parked_[i].empty() || state_[i] == State::Done)
            continue;
        std::string why;
        if (!unpark(i, why))
            ui_.showError("Item '" + folders_[items_[i].folder] + items_[i].entry->name() +
                          "' was left at '" + parked_[i] + "', as it could not be put back (" +
                          why + "); undo brings it back.");
    }
}

bool Batch::process(std::size_t i) {
    const BatchItem& item = items_[i];
    const std::string& folder = folders_[item.folder];
    if (unchanged_[i] != 0) {
        ++outcome_.processed;
        return true;
    }
    const bool parked = !parked_.empty() && !parked_[i].empty();
    UndoPair pair;
    pair.oldPath = parked ? parked_[i] : joinPathOrName(folder, item.entry->name());
    pair.newPath = joinPathOrName(location_.empty() ? folder : location_, item.entry->newName());
    RenameTrace trace;
    const Result r =
        !listedBefore_.empty() && listedBefore_[i] != 0
            ? Result(Error{"rename", pair.oldPath, "the entry is listed more than once", 0})
        : location_.empty() ? renameItem(pair, item.isFolder, trace, true, parked ? kNoItem : i)
                            : copyItem(pair, item.isFolder);

    if (r) {
        ++outcome_.renamed;
        ++outcome_.processed;
        if (outcome_.processed % 10 == 0)
            status_.setStatusMessage("Processed " + std::to_string(outcome_.processed) +
                                     " files...");
        if (location_.empty()) {
            std::string old = item.entry->setNameOnly(item.entry->newName());
            if (request_.entriesKept && item.entry->folder()) {
                renamedItems_.push_back(static_cast<std::uint32_t>(i));
                oldNames_.push_back(std::move(old));
            }
            if (parked)
                parked_[i].clear();
            logged(std::move(pair), item.isFolder);
        }
        return true;
    }

    ItemFailure failure;
    failure.item = folder + item.entry->name();
    failure.target = pair.newPath;
    failure.message = r.error().message;
    // Only a rename says "already exists"; a copy reports the system's text.
    failure.targetExists = location_.empty() && r.error().code == EEXIST;
    if (!trace.leftAt.empty()) {
        // Neither at its old name nor at its new one: undo must find it.
        failure.leftAt = trace.leftAt;
        failure.leftAtMessage = trace.putBackMessage;
        pair.confirmed = false;
        pair.temporaryPath = trace.leftAt;
        log_.add(std::move(pair));
    } else if (parked) {
        // Back to its own name when that is free; else it stays parked, and
        // the undo log (which holds the parking) brings it back.
        std::string why;
        if (!unpark(i, why)) {
            failure.leftAt = parked_[i];
            failure.leftAtMessage = why;
        }
    }
    return failed(std::move(failure));
}

void Batch::updateFolderNames() {
    // Grouped by folder through small keys (the folder, then the order done),
    // so that no name is moved.
    std::vector<std::pair<std::uintptr_t, std::uint32_t>> order;
    order.reserve(renamedItems_.size());
    for (std::size_t k = 0; k < renamedItems_.size(); ++k)
        order.emplace_back(
            reinterpret_cast<std::uintptr_t>(items_[renamedItems_[k]].entry->folder().get()),
            static_cast<std::uint32_t>(k));
    std::sort(order.begin(), order.end());
    std::vector<std::pair<std::string_view, std::string_view>> renames;
    for (std::size_t n = 0; n < order.size(); ++n) {
        const std::uint32_t k = order[n].second;
        const FileEntry& entry = *items_[renamedItems_[k]].entry;
        renames.emplace_back(oldNames_[k], entry.name());
        if (n + 1 == order.size() || order[n + 1].first != order[n].first) {
            entry.folder()->names.renamedTogether(renames);
            renames.clear();
        }
    }
    renamedItems_.clear();
    oldNames_.clear();
}

void Batch::endJournal(bool reversed) {
    if (journal_ == nullptr)
        return;
    if (reversed)
        journal_->batchReversed();
    else
        journal_->endBatch();
}

void Batch::finish() {
    endJournal(false);
    const std::string statistics = renameStatistics(outcome_.processed, outcome_.renamed);
    status_.setStatusMessage(statistics);
    outcome_.end = RenameOutcome::End::Completed;
    if (preferences_.displayConfirmationMessage != 0)
        ui_.renameComplete(statistics, preferences_);
    outcome_.refreshFiles = outcome_.folderRenamed && request_.recursive;
}

void Batch::stop() {
    outcome_.end = RenameOutcome::End::Stopped;
    // The journal stays open (and locked) while the user decides and the
    // renames are reversed, so that a reversal cut short is settled by the
    // next undo.
    if (log_.empty() || !ui_.reverseAfterStop()) {
        endJournal(false);
        return;
    }
    std::function<Result(std::size_t, const std::string&)> onTemporary;
    if (journal_ != nullptr)
        onTemporary = [this](std::size_t index, const std::string& temporary) {
            return journal_->reversalVia(index, temporary);
        };
    outcome_.undo = undoRename(log_, fs_, status_, onTemporary);
    endJournal(outcome_.undo.failures.empty());
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
            outcome_.journal = r;
            ui_.showError(r.error().code == EWOULDBLOCK
                              ? "another rename batch is using " + r.error().path
                              : "The undo journal cannot be written: " + r.error().text());
            return outcome_;
        }
    }
    log_.clear();
    if (request_.selected.empty()) {
        outcome_.end = RenameOutcome::End::Empty;
        endJournal(false);
        return outcome_;
    }
    status_.setStatusMessage(kGeneratingStatus);
    location_ = request_.newLocation;
    if (!location_.empty() && location_.back() != '/')
        location_ += '/';
    buildItems();
    // Grown once: a batch of 100,000 would otherwise move its records
    // through ever bigger fresh memory.
    log_.reserve(items_.size());
    if (request_.entriesKept && location_.empty()) {
        renamedItems_.reserve(items_.size());
        oldNames_.reserve(items_.size());
    }
    if (location_.empty())
        findHolders();
    status_.setStatusMessage(kRenamingStatus);
    RenameProgress* progress = request_.progress;
    if (progress != nullptr)
        progress->batchStarted(static_cast<std::int32_t>(items_.size()));
    const bool stopped = !processAll();
    updateFolderNames();
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
