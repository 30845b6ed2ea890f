// The collision check of the preview: which new names cannot be had, found
// with one hash of each new name (taken in the parallel pass) and tables
// built only for what may collide.

#include "engine/Collisions.h"

#include "engine/PreviewRefresh.h"
#include "filelist/IndexTable.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace vantrel {

std::string collisionCountText(std::size_t conflicts) {
    return conflicts == 1 ? "1 new name collides"
                          : std::to_string(conflicts) + " new names collide";
}

std::string conflictHolderText(const FileEntry& entry, const FileEntry* other,
                               std::string_view location) {
    const auto otherPath = [other] {
        return "'" + (other != nullptr ? other->itemPath() : std::string("?")) + "'";
    };
    const std::string target =
        "'" +
        joinPath(location.empty() ? std::string_view(entry.containingFolder()) : location,
                 entry.newName()) +
        "'";
    switch (entry.conflict().kind) {
    case ConflictKind::None:
        return {};
    case ConflictKind::SameNewName:
        return otherPath() + ", which gets the same new name";
    case ConflictKind::KeptByEntry:
        return otherPath() + ", which keeps its name";
    case ConflictKind::HolderStuck:
        return otherPath() + ", which cannot move away: its own new name collides";
    case ConflictKind::ExistingFile:
        return "the existing file " + target;
    case ConflictKind::ExistingFolder:
        return "the existing folder " + target;
    case ConflictKind::ExistingEntry:
        return "the existing entry " + target;
    case ConflictKind::OwnFolder: {
        const std::string folder(location.empty() ? std::string_view(entry.containingFolder())
                                                  : location);
        return entry.newName() == "." ? "the folder '" + folder + "' itself"
                                      : "the parent folder of '" + folder + "'";
    }
    }
    return {};
}

namespace {

// What the pass notes per entry, in one byte.
constexpr std::uint8_t kChanged = 1;   ///< new name differs from the name
constexpr std::uint8_t kInvalid = 2;   ///< new name holds a forbidden character
constexpr std::uint8_t kKeyed = 4;     ///< its target's key is taken
constexpr std::uint8_t kLookAgain = 8; ///< its target may be held: a dot name, a name the
                                       ///< folder holds, or a folder whose names are unknown
constexpr unsigned kKindShift = 4;     ///< bits 4-7: 1 + FileKind of the name held, 0 none

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

/// What a folder adds to the key of a name in it: from its path, so that
/// two records of one folder give one key.
std::uint64_t folderSalt(std::string_view path) {
    return nameHash(path) * 0xC2B2AE3D27D4EB4FULL + 0x165667B19E3779F9ULL;
}

bool isDotName(std::string_view name) {
    return name == "." || name == "..";
}

} // namespace

CollisionCheck::CollisionCheck(const RenameCriteria& criteria, const Preferences& preferences,
                               FileSystem* fs, std::size_t count)
    : overwrite_(preferences.overwriteTargetFiles != 0), fs_(fs), flags_(count, 0),
      keys_(std::make_unique_for_overwrite<std::uint64_t[]>(count)) {
    if (criteria.newLocation.empty())
        return;
    inLocation_ = true;
    location_ = criteria.newLocation;
    while (location_.size() > 1 && location_.back() == '/')
        location_.pop_back();
    std::unique_ptr<FolderListing> listing;
    if (fs_ == nullptr || !(locationId_ = folderIdentity(*fs_, location_)).known() ||
        !fs_->openFolder(location_, listing).ok()) {
        disabled_ = true; // the batch refuses such a New Location outright
        return;
    }
    locationNames_ = std::make_unique<FolderNames>();
    std::string_view name;
    FileKind kind = FileKind::Unknown;
    while (listing->next(name, kind))
        locationNames_->add(name, kind);
    locationNames_->seal();
}

CollisionCheck::~CollisionCheck() = default;

void CollisionCheck::noteActing(std::size_t i, const FileEntry& entry, Cursor& cursor) {
    std::uint8_t flags = 0;
    if (entry.isChanged())
        flags |= kChanged;
    if (entry.newNameInvalid() || disabled_) {
        flags_[i] = flags | (entry.newNameInvalid() ? kInvalid : 0);
        return;
    }
    if (inLocation_) {
        if (cursor.runs.empty())
            cursor.runs.push_back({i, locationNames_.get(), 0});
    } else if (entry.folder().get() != cursor.folder || cursor.runs.empty()) {
        cursor.folder = entry.folder().get();
        cursor.runs.push_back({i, cursor.folder != nullptr ? cursor.folder->names.get() : nullptr,
                               folderSalt(entry.containingFolder())});
    }
    const std::string& newName = entry.newName();
    keys_[i] = nameHash(newName);
    flags |= kKeyed;
    ++cursor.keyed;
    if (newName.size() <= 2 && isDotName(newName))
        flags |= kLookAgain;
    flags_[i] = flags;
}

void CollisionCheck::lookUp(const Cursor& cursor, std::size_t last, const PreviewTarget& target) {
    keyed_.fetch_add(cursor.keyed, std::memory_order_relaxed);
    for (std::size_t r = 0; r < cursor.runs.size(); ++r) {
        const Cursor::Run& run = cursor.runs[r];
        const std::size_t end = r + 1 < cursor.runs.size() ? cursor.runs[r + 1].first : last;
        for (std::size_t i = run.first; i < end; ++i) {
            std::uint8_t flags = flags_[i];
            if ((flags & kKeyed) == 0)
                continue;
            const std::uint64_t hash = keys_[i];
            keys_[i] = hash ^ run.salt;
            if (run.names == nullptr) {
                flags |= kLookAgain;
            } else if (run.names->mayHold(hash)) {
                // Rarely more than a hash's worth of bits in common: only
                // then is the name itself compared.
                if (const FileKind* kind = run.names->find(target.selectedEntry(i).newName(), hash))
                    flags |= static_cast<std::uint8_t>(
                        kLookAgain | (static_cast<unsigned>(*kind) + 1) << kKindShift);
            }
            flags_[i] = flags;
        }
    }
}

/// The serial part of the check, over one target.
class CollisionCheck::Finder {
public:
    Finder(CollisionCheck& check, PreviewTarget& target)
        : c_(check), target_(target), count_(check.flags_.size()) {}

    std::size_t run() {
        if (c_.disabled_ || c_.keyed_.load(std::memory_order_relaxed) == 0)
            return 0; // nothing acts
        if (c_.inLocation_)
            findCopiesOntoThemselves();
        if (!findDuplicates())
            return 0; // nothing acts
        if (c_.inLocation_)
            findExistingInLocation();
        else
            findHolders();
        return report();
    }

private:
    [[nodiscard]] const FileEntry& entry(std::size_t i) const { return target_.selectedEntry(i); }
    [[nodiscard]] bool acts(std::size_t i) const {
        return (c_.flags_[i] & (kKeyed | kInvalid)) == kKeyed;
    }
    [[nodiscard]] bool moves(std::size_t i) const {
        return (c_.flags_[i] & (kChanged | kInvalid)) == kChanged;
    }
    /// The folder an entry's new name goes into.
    [[nodiscard]] std::string_view targetFolder(std::size_t i) const {
        return c_.inLocation_ ? std::string_view(c_.location_)
                              : std::string_view(entry(i).containingFolder());
    }

    /// The same name copied into its own folder is no copy at all: such an
    /// entry does not act.
    void findCopiesOntoThemselves() {
        std::unordered_map<std::string, bool> own;
        for (std::size_t i = 0; i < count_; ++i) {
            if (!acts(i) || (c_.flags_[i] & kChanged) != 0)
                continue;
            const std::string& folder = entry(i).containingFolder();
            auto [it, added] = own.try_emplace(folder, false);
            if (added)
                it->second = c_.fs_ != nullptr && !folder.empty() &&
                             folderIdentity(*c_.fs_, folder) == c_.locationId_;
            if (it->second)
                c_.flags_[i] = static_cast<std::uint8_t>(c_.flags_[i] & ~kKeyed);
        }
    }

    void conflict(std::size_t i, ConflictKind kind, std::uint32_t other = kNone) {
        if (conflicts_.empty()) {
            conflicts_.assign(count_, ConflictKind::None);
            others_.assign(count_, kNone);
        }
        if (conflicts_[i] == ConflictKind::None) {
            conflicts_[i] = kind;
            others_[i] = other;
        }
    }
    [[nodiscard]] bool inConflict(std::size_t i) const {
        return !conflicts_.empty() && conflicts_[i] != ConflictKind::None;
    }

    /// Two entries that act with one target; false when no entry acts.
    bool findDuplicates() {
        std::vector<std::uint32_t> acting;
        for (std::size_t i = 0; i < count_; ++i) {
            if (acts(i))
                acting.push_back(static_cast<std::uint32_t>(i));
        }
        if (acting.empty())
            return false;
        IndexTable table(acting.size());
        const std::uint64_t* keys = c_.keys_.get();
        constexpr std::size_t kAhead = 16; // the slots a few entries on are fetched meanwhile
        for (std::size_t n = 0; n < acting.size(); ++n) {
            if (n + kAhead < acting.size())
                table.prefetch(keys[acting[n + kAhead]]);
            const std::uint32_t i = acting[n];
            std::uint32_t first = kNone;
            table.find(keys[i], [&](std::uint32_t j) {
                if (keys[j] != keys[i] || entry(j).newName() != entry(i).newName() ||
                    targetFolder(j) != targetFolder(i))
                    return false;
                first = j;
                return true;
            });
            if (first == kNone) {
                table.insert(keys[i], i);
                continue;
            }
            // The first one names the second; every later one the first.
            conflict(first, ConflictKind::SameNewName, i);
            conflict(i, ConflictKind::SameNewName, first);
        }
        return true;
    }

    /// Whether an existing entry of `kind` stops entry i: with Overwrite
    /// Target Files, a file may be replaced by a file.
    [[nodiscard]] bool stops(std::size_t i, FileKind kind) const {
        return !c_.overwrite_ || entry(i).isFolder() || kind == FileKind::Folder ||
               kind == FileKind::Unknown;
    }

    void existing(std::size_t i, FileKind kind) {
        if (kind == FileKind::Unknown && c_.fs_ != nullptr) {
            // The listing did not tell (and the entry was not listed): one
            // look at this name alone, as it is taken anyway.
            FileAttributes attributes;
            if (c_.fs_->attributes(joinPath(targetFolder(i), entry(i).newName()), attributes).ok())
                kind = attributes.kind;
        }
        if (!stops(i, kind))
            return;
        conflict(i, kind == FileKind::Folder    ? ConflictKind::ExistingFolder
                    : kind == FileKind::Unknown ? ConflictKind::ExistingEntry
                                                : ConflictKind::ExistingFile);
    }

    [[nodiscard]] bool held(std::size_t i) const { return (c_.flags_[i] >> kKindShift) != 0; }
    [[nodiscard]] FileKind heldKind(std::size_t i) const {
        return static_cast<FileKind>((c_.flags_[i] >> kKindShift) - 1);
    }
    [[nodiscard]] bool lookAgain(std::size_t i) const {
        return acts(i) && (c_.flags_[i] & kLookAgain) != 0;
    }

    void findExistingInLocation() {
        for (std::size_t i = 0; i < count_; ++i) {
            if (!lookAgain(i))
                continue;
            if (isDotName(entry(i).newName()))
                conflict(i, ConflictKind::OwnFolder);
            else if (held(i))
                existing(i, heldKind(i));
        }
    }

    void findHolders() {
        // Only a name the folder holds (or any name where the folder's names
        // are unknown) can be a selected entry's; only the entries of those
        // folders are keyed by their names.
        std::vector<std::uint32_t> candidates;
        std::unordered_map<std::string_view, char> wanted;
        for (std::size_t i = 0; i < count_; ++i) {
            if (!lookAgain(i))
                continue;
            if (isDotName(entry(i).newName())) {
                conflict(i, ConflictKind::OwnFolder);
                continue;
            }
            candidates.push_back(static_cast<std::uint32_t>(i));
            wanted.emplace(entry(i).containingFolder(), 1);
        }
        if (candidates.empty())
            return;
        std::vector<std::uint64_t> keys(count_, 0);
        std::vector<std::uint32_t> listed;
        const EntryFolder* last = nullptr;
        bool lastWanted = false;
        std::uint64_t salt = 0;
        for (std::size_t j = 0; j < count_; ++j) {
            const FileEntry& e = entry(j);
            if (e.folder().get() != last || j == 0) {
                last = e.folder().get();
                lastWanted = wanted.count(e.containingFolder()) != 0;
                salt = folderSalt(e.containingFolder());
            }
            if (!lastWanted)
                continue;
            keys[j] = nameHash(e.name()) ^ salt;
            listed.push_back(static_cast<std::uint32_t>(j));
        }
        IndexTable byName(listed.size());
        for (const std::uint32_t j : listed)
            byName.insert(keys[j], j);
        waits_.assign(count_, kNone);
        for (const std::uint32_t i : candidates) {
            const FileEntry& e = entry(i);
            std::uint32_t holder = kNone;
            byName.find(c_.keys_[i], [&](std::uint32_t j) {
                if (keys[j] != c_.keys_[i] || entry(j).name() != e.newName() ||
                    entry(j).containingFolder() != e.containingFolder())
                    return false;
                holder = j;
                return true;
            });
            if (holder == kNone) {
                if (held(i))
                    existing(i, heldKind(i));
            } else if (moves(holder)) {
                waits_[i] = holder; // free once the holder has moved
            } else if (stops(i, entry(holder).isFolder() ? FileKind::Folder : FileKind::File)) {
                conflict(i, ConflictKind::KeptByEntry, holder);
            }
        }
        propagate();
    }

    /// An entry that waits for a holder that cannot move cannot move either;
    /// a ring of entries waiting for each other is a swap, and moves.
    void propagate() {
        enum : std::uint8_t { kUnknown, kFree, kStuck, kOnPath };
        std::vector<std::uint8_t> state(count_, kUnknown);
        std::vector<std::uint32_t> path;
        for (std::size_t start = 0; start < count_; ++start) {
            if (waits_[start] == kNone || state[start] != kUnknown)
                continue;
            path.clear();
            std::size_t x = start;
            std::uint8_t outcome = kFree;
            for (;;) {
                if (state[x] == kFree || state[x] == kStuck) {
                    outcome = state[x];
                    break;
                }
                if (inConflict(x)) {
                    outcome = kStuck;
                    break;
                }
                if (state[x] == kOnPath || waits_[x] == kNone) {
                    outcome = kFree;
                    break;
                }
                state[x] = kOnPath;
                path.push_back(static_cast<std::uint32_t>(x));
                x = waits_[x];
            }
            for (const std::uint32_t p : path) {
                state[p] = outcome;
                if (outcome == kStuck)
                    conflict(p, ConflictKind::HolderStuck, waits_[p]);
            }
        }
    }

    std::size_t report() {
        std::size_t count = 0;
        for (std::size_t i = 0; i < conflicts_.size(); ++i) {
            if (conflicts_[i] == ConflictKind::None)
                continue;
            target_.setConflict(i, conflicts_[i], others_[i] == kNone ? i : others_[i]);
            ++count;
        }
        return count;
    }

    CollisionCheck& c_;
    PreviewTarget& target_;
    std::size_t count_;
    std::vector<ConflictKind> conflicts_; ///< made at the first conflict
    std::vector<std::uint32_t> others_;
    std::vector<std::uint32_t> waits_;
};

CollisionSummary CollisionCheck::finish(PreviewTarget& target) {
    CollisionSummary summary;
    summary.location = location_;
    Finder finder(*this, target);
    summary.conflicts = finder.run();
    target.collisionsChecked(summary);
    return summary;
}

} // namespace vantrel
