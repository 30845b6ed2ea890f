// The collision check of the preview: which new names cannot be had, found
// with one hash of each new name (taken in the parallel pass) and tables
// built only for what may collide.

#include "engine/Collisions.h"

#include "engine/PreviewRefresh.h"

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
constexpr std::uint8_t kChanged = 1;    ///< new name differs from the name
constexpr std::uint8_t kInvalid = 2;    ///< new name holds a forbidden character
constexpr std::uint8_t kHashed = 4;     ///< the new name's hash is taken
constexpr std::uint8_t kNamesKnown = 8; ///< the target folder's names are known
constexpr unsigned kKindShift = 4;      ///< bits 4-7: 1 + FileKind of the name held, 0 none

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

/// An open-addressed table of entry indices by a 64-bit key; equal keys
/// are told apart by the caller.
class IndexTable {
public:
    explicit IndexTable(std::size_t count) {
        std::size_t size = 16;
        while (size < 2 * count)
            size *= 2;
        slots_.assign(size, kNone);
        mask_ = size - 1;
    }
    /// Calls `visit(j)` for every index stored under `key` until it returns
    /// true; false when none did.
    template <typename Visit>
    bool find(std::uint64_t key, const std::vector<std::uint64_t>& keys, Visit visit) const {
        for (std::size_t at = static_cast<std::size_t>(key) & mask_;; at = (at + 1) & mask_) {
            const std::uint32_t j = slots_[at];
            if (j == kNone)
                return false;
            if (keys[j] == key && visit(j))
                return true;
        }
    }
    void insert(std::uint64_t key, std::uint32_t index) {
        std::size_t at = static_cast<std::size_t>(key) & mask_;
        while (slots_[at] != kNone)
            at = (at + 1) & mask_;
        slots_[at] = index;
    }

private:
    std::vector<std::uint32_t> slots_;
    std::size_t mask_ = 0;
};

std::uint64_t folderSalt(std::uint32_t folder) {
    return (static_cast<std::uint64_t>(folder) + 1) * 0xC2B2AE3D27D4EB4FULL;
}

bool isFolderKind(FileKind kind) {
    return kind == FileKind::Folder;
}

/// The identity of the folder `path` names, following links; unknown when none.
FileIdentity folderIdentity(FileSystem& fs, const std::string& path) {
    FileAttributes attributes;
    if (!fs.attributes(path == "/" ? "/." : path + "/.", attributes).ok() ||
        attributes.kind != FileKind::Folder)
        return {};
    return attributes.identity;
}

} // namespace

CollisionCheck::CollisionCheck(const RenameCriteria& criteria, const Preferences& preferences,
                               FileSystem* fs, std::size_t count)
    : overwrite_(preferences.overwriteTargetFiles != 0), fs_(fs), flags_(count, 0),
      hashes_(count, 0) {
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

void CollisionCheck::note(std::size_t i, const FileEntry& entry) {
    std::uint8_t flags = 0;
    if (entry.isChanged())
        flags |= kChanged;
    if (entry.newNameInvalid()) {
        flags_[i] = flags | kInvalid;
        return;
    }
    // In place, an unchanged entry is left alone: only its name may matter,
    // and that is looked at later, when something may collide with it.
    if ((flags & kChanged) == 0 && !inLocation_) {
        flags_[i] = flags;
        return;
    }
    const std::string& newName = entry.newName();
    const std::uint64_t hash = nameHash(newName);
    hashes_[i] = hash;
    flags |= kHashed;
    const FolderNames* names = inLocation_                 ? locationNames_.get()
                               : entry.folder() != nullptr ? entry.folder()->names.get()
                                                           : nullptr;
    if (names != nullptr) {
        flags |= kNamesKnown;
        if (const FileKind* kind = names->find(newName, hash))
            flags |= static_cast<std::uint8_t>((static_cast<unsigned>(*kind) + 1) << kKindShift);
    }
    flags_[i] = flags;
}

/// The serial part of the check, over one target.
class CollisionCheck::Finder {
public:
    Finder(CollisionCheck& check, PreviewTarget& target)
        : c_(check), target_(target), count_(check.flags_.size()), conflicts_(count_),
          others_(count_, kNone) {}

    std::size_t run() {
        std::vector<std::uint32_t> acting;
        for (std::size_t i = 0; i < count_; ++i) {
            if (acts(i))
                acting.push_back(static_cast<std::uint32_t>(i));
        }
        if (acting.empty())
            return 0;
        assignFolders();
        findDuplicates(acting);
        if (c_.inLocation_)
            findExistingInLocation(acting);
        else
            findHolders(acting);
        return report();
    }

private:
    [[nodiscard]] const FileEntry& entry(std::size_t i) const { return target_.selectedEntry(i); }
    [[nodiscard]] bool moves(std::size_t i) const {
        return (c_.flags_[i] & (kChanged | kInvalid)) == kChanged;
    }

    /// Whether the batch renames or copies entry i.
    bool acts(std::size_t i) {
        const std::uint8_t flags = c_.flags_[i];
        if ((flags & kInvalid) != 0)
            return false;
        if (!c_.inLocation_)
            return (flags & kChanged) != 0;
        if (c_.disabled_)
            return false;
        if ((flags & kChanged) != 0)
            return true;
        // The same name copied into its own folder is no copy at all.
        const std::string& folder = entry(i).containingFolder();
        auto [it, added] = ownFolder_.try_emplace(folder, false);
        if (added)
            it->second = c_.fs_ != nullptr && !folder.empty() &&
                         folderIdentity(*c_.fs_, folder) == c_.locationId_;
        return !it->second;
    }

    /// A number per distinct folder path, for every selected entry.
    void assignFolders() {
        folders_.resize(count_);
        std::unordered_map<std::string_view, std::uint32_t> byPath;
        const EntryFolder* last = nullptr;
        std::uint32_t lastId = 0;
        for (std::size_t i = 0; i < count_; ++i) {
            const FileEntry& e = entry(i);
            const EntryFolder* folder = e.folder().get();
            if (folder != last || i == 0) {
                lastId = byPath
                             .try_emplace(e.containingFolder(),
                                          static_cast<std::uint32_t>(byPath.size()))
                             .first->second;
                last = folder;
            }
            folders_[i] = lastId;
        }
    }

    [[nodiscard]] std::uint32_t targetFolder(std::size_t i) const {
        return c_.inLocation_ ? 0 : folders_[i];
    }

    void conflict(std::size_t i, ConflictKind kind, std::uint32_t other = kNone) {
        if (conflicts_[i] == ConflictKind::None) {
            conflicts_[i] = kind;
            others_[i] = other;
        }
    }

    void findDuplicates(const std::vector<std::uint32_t>& acting) {
        std::vector<std::uint64_t> keys(count_, 0);
        IndexTable table(acting.size());
        for (const std::uint32_t i : acting) {
            const std::uint64_t key = c_.hashes_[i] ^ folderSalt(targetFolder(i));
            keys[i] = key;
            std::uint32_t first = kNone;
            table.find(key, keys, [&](std::uint32_t j) {
                if (targetFolder(j) != targetFolder(i) || entry(j).newName() != entry(i).newName())
                    return false;
                first = j;
                return true;
            });
            if (first == kNone) {
                table.insert(key, i);
                continue;
            }
            // The first one names the second; every later one the first.
            conflict(first, ConflictKind::SameNewName, i);
            conflict(i, ConflictKind::SameNewName, first);
        }
    }

    /// Whether an existing entry of `kind` stops entry i: with Overwrite
    /// Target Files, a file may be replaced by a file.
    [[nodiscard]] bool stops(std::size_t i, FileKind kind) const {
        return !c_.overwrite_ || entry(i).isFolder() || kind == FileKind::Folder ||
               kind == FileKind::Unknown;
    }

    void existing(std::size_t i, FileKind kind) {
        if (!stops(i, kind))
            return;
        conflict(i, isFolderKind(kind)          ? ConflictKind::ExistingFolder
                    : kind == FileKind::Unknown ? ConflictKind::ExistingEntry
                                                : ConflictKind::ExistingFile);
    }

    static bool isDotName(const std::string& name) { return name == "." || name == ".."; }

    [[nodiscard]] static bool held(std::uint8_t flags) { return (flags >> kKindShift) != 0; }
    [[nodiscard]] static FileKind heldKind(std::uint8_t flags) {
        return static_cast<FileKind>((flags >> kKindShift) - 1);
    }

    void findExistingInLocation(const std::vector<std::uint32_t>& acting) {
        for (const std::uint32_t i : acting) {
            if (isDotName(entry(i).newName()))
                conflict(i, ConflictKind::OwnFolder);
            else if (held(c_.flags_[i]))
                existing(i, heldKind(c_.flags_[i]));
        }
    }

    void findHolders(const std::vector<std::uint32_t>& acting) {
        // Only a name the folder holds (or any name where the folder's names
        // are unknown) can be a selected entry's: only those folders' entries
        // are hashed by their names.
        std::vector<std::uint32_t> candidates;
        std::vector<char> wanted;
        for (const std::uint32_t i : acting) {
            const std::uint8_t flags = c_.flags_[i];
            if (isDotName(entry(i).newName())) {
                conflict(i, ConflictKind::OwnFolder);
            } else if ((flags & kNamesKnown) == 0 || held(flags)) {
                candidates.push_back(i);
                if (wanted.size() <= folders_[i])
                    wanted.resize(folders_[i] + 1, 0);
                wanted[folders_[i]] = 1;
            }
        }
        if (candidates.empty())
            return;
        std::vector<std::uint64_t> keys(count_, 0);
        std::size_t listed = 0;
        for (std::size_t j = 0; j < count_; ++j)
            listed += folders_[j] < wanted.size() && wanted[folders_[j]] != 0 ? 1U : 0U;
        IndexTable byName(listed);
        for (std::size_t j = 0; j < count_; ++j) {
            if (folders_[j] >= wanted.size() || wanted[folders_[j]] == 0)
                continue;
            keys[j] = nameHash(entry(j).name()) ^ folderSalt(folders_[j]);
            byName.insert(keys[j], static_cast<std::uint32_t>(j));
        }
        waits_.assign(count_, kNone);
        for (const std::uint32_t i : candidates) {
            const std::string& wantedName = entry(i).newName();
            const std::uint64_t key = c_.hashes_[i] ^ folderSalt(folders_[i]);
            std::uint32_t holder = kNone;
            byName.find(key, keys, [&](std::uint32_t j) {
                if (folders_[j] != folders_[i] || entry(j).name() != wantedName)
                    return false;
                holder = j;
                return true;
            });
            if (holder == kNone) {
                if (held(c_.flags_[i]))
                    existing(i, heldKind(c_.flags_[i]));
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
                if (conflicts_[x] != ConflictKind::None) {
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
        for (std::size_t i = 0; i < count_; ++i) {
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
    std::vector<ConflictKind> conflicts_;
    std::vector<std::uint32_t> others_;
    std::vector<std::uint32_t> folders_;
    std::vector<std::uint32_t> waits_;
    std::unordered_map<std::string, bool> ownFolder_;
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
