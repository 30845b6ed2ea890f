#pragma once

#include "engine/Preferences.h"
#include "engine/RenameCriteria.h"
#include "filelist/FileEntry.h"
#include "filelist/FolderNames.h"
#include "platform/FileSystem.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

class PreviewTarget;

/// What one refresh's collision check found.
struct CollisionSummary {
    std::size_t conflicts = 0; ///< selected entries whose new names cannot be had
    /// The New Location the new names were checked against (without a
    /// trailing "/"); empty when the batch renames in place.
    std::string location;
};

/// "N new names collide" ("1 new name collides").
[[nodiscard]] std::string collisionCountText(std::size_t conflicts);

/// What holds the new name of `entry`, in words: "the existing file
/// '/a/b.txt'", "'/a/c.txt', which gets the same new name", ... `other` is
/// the entry its conflict names (for the kinds that name one), `location`
/// the New Location of the check (empty in place). Empty when the entry is
/// not in conflict.
[[nodiscard]] std::string conflictHolderText(const FileEntry& entry, const FileEntry* other,
                                             std::string_view location);

/// Finds, for one refresh, every selected entry whose new full path cannot
/// be had: another selected entry gets the same one, or an existing entry
/// of the target folder holds it that the batch does not move away (with
/// Overwrite Target Files, an existing file the batch may replace does not
/// count; a folder always does). A name held by a selected entry that moves
/// away is free, unless that entry cannot move itself. The names of a
/// scanned folder are known from the scan; a New Location's are read once
/// here. Names match byte for byte.
class CollisionCheck {
public:
    /// For `count` selected entries. With a New Location, `fs` (when given)
    /// reads its names; without `fs`, or when it names no folder, nothing
    /// counts as in conflict.
    CollisionCheck(const RenameCriteria& criteria, const Preferences& preferences, FileSystem* fs,
                   std::size_t count);
    ~CollisionCheck();
    CollisionCheck(const CollisionCheck&) = delete;
    CollisionCheck& operator=(const CollisionCheck&) = delete;

    /// What one thread keeps of the entries it notes: where each run of
    /// entries of one folder begins.
    struct Cursor {
        struct Run {
            std::size_t first = 0;
            const FolderNames* names = nullptr;
            std::uint64_t salt = 0;
        };
        const EntryFolder* folder = nullptr;
        std::vector<Run> runs;
        std::size_t keyed = 0; ///< entries whose targets are to be looked at
    };
    /// Takes note of selected entry `i` once its new name is stored. May be
    /// called from several threads at once for different entries, each
    /// thread with its own cursor.
    void note(std::size_t i, const FileEntry& entry, Cursor& cursor) {
        // In place, an unchanged entry is left alone (its flags stay clear):
        // only its name may matter, and that is looked at later, when
        // something may collide with it.
        if (entry.isChanged() || inLocation_)
            noteActing(i, entry, cursor);
    }
    /// After a thread noted entries up to `last`: looks their new names up
    /// among the names of their folders, folder by folder, so that each
    /// folder's table is read while it is at hand.
    void lookUp(const Cursor& cursor, std::size_t last, const PreviewTarget& target);
    /// After every entry was noted: tells the target each conflict and the
    /// summary, and returns it. Entries not in conflict keep the cleared
    /// state their new names gave them.
    CollisionSummary finish(PreviewTarget& target);

private:
    class Finder;
    void noteActing(std::size_t i, const FileEntry& entry, Cursor& cursor);

    bool overwrite_;
    bool inLocation_ = false; ///< copies into a New Location
    bool disabled_ = false;   ///< a New Location that cannot be read: nothing to tell
    std::string location_;
    FileIdentity locationId_;
    FileSystem* fs_;
    std::unique_ptr<FolderNames> locationNames_;
    std::vector<std::uint8_t> flags_;
    std::atomic<std::size_t> keyed_{0}; ///< over all threads, after lookUp
    /// Per entry: its new name's hash, then (after lookUp) mixed with its
    /// target folder's.
    /// Not cleared when made: only the entries noted as keyed are read.
    std::unique_ptr<std::uint64_t[]> keys_;
};

} // namespace vantrel
