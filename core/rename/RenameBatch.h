#pragma once

#include "engine/Preferences.h"
#include "filelist/FileEntry.h"
#include "platform/FileSystem.h"
#include "rename/UndoLog.h"
#include "status/StatusSink.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

/// One selected entry as the batch works on it. Its current and new names
/// are the entry's own; its folder's path (ending in "/") is kept once per
/// folder by the batch, so that renaming a folder corrects every item in it.
struct BatchItem {
    std::int32_t listPosition = 0;
    std::uint32_t folder = 0;   ///< index of the item's folder path in the batch
    FileEntry* entry = nullptr; ///< told its new name after an in-place rename
    bool isFolder = false;
};

/// A failed item, as reported to the user.
struct ItemFailure {
    std::string item;    ///< old full path
    std::string target;  ///< new full path
    std::string message; ///< the system's error text
    bool targetExists = false;
    /// Where the entry was left when a rename through a temporary name failed
    /// and putting it back failed too (undo brings it back); else empty.
    std::string leftAt;
    std::string leftAtMessage; ///< why putting it back failed
};

/// How the batch asks the user and shows its dialogs. The GUI answers with
/// dialogs, the command line with its flags, tests with scripted answers.
class RenameUi {
public:
    virtual ~RenameUi() = default;
    /// The warning before `count` entries are renamed, asked only while
    /// "Display Warning Message" is on; false when the user cancels. The
    /// answer to "Show This Warning Again" goes into `preferences`.
    virtual bool confirmRename(std::int32_t count, Preferences& preferences) = 0;
    /// A refusal with an OK button (invalid New Location, invalid names).
    virtual void showError(const std::string& text) = 0;
    /// An item failed (`text` is the whole message): true skips it and goes
    /// on, false stops the batch.
    virtual bool skipFailedItem(const std::string& text, const ItemFailure& failure) = 0;
    /// After a stop with renames done: true reverses them.
    virtual bool reverseAfterStop() = 0;
    /// The completion message, shown only while "Display Confirmation
    /// Message" is on; the answer to "Show This Message Again" goes into
    /// `preferences`.
    virtual void renameComplete(const std::string& statistics, Preferences& preferences) = 0;
    /// The New Location was refused: the GUI moves the focus to its box.
    virtual void focusNewLocation() {}
};

/// How a tried rename left its entry.
enum class RenameEffect {
    Renamed,    ///< at its new name
    NotRenamed, ///< at its old name: nothing happened
    Unknown,    ///< elsewhere (left at a temporary name): only the disk can tell
};

/// Told of every in-place rename before it is tried and after, so that a
/// journal can be kept ahead of the disk. Copies are not told.
class RenameJournal {
public:
    virtual ~RenameJournal() = default;
    /// A batch was accepted; the journal of the previous one is replaced.
    [[nodiscard]] virtual Result beginBatch() = 0;
    /// Before the rename is tried, with the identity of the entry it moves. A
    /// failure here means the rename is not tried at all; the item fails
    /// with this error.
    [[nodiscard]] virtual Result beforeRename(const UndoPair& pair) = 0;
    /// The rename goes through `temporaryPath` (a rename onto itself).
    [[nodiscard]] virtual Result viaTemporary(const std::string& temporaryPath) = 0;
    /// After the rename: where it left the entry.
    virtual void afterRename(RenameEffect effect) = 0;
    /// The batch ended (completed, or stopped and kept).
    virtual void endBatch() = 0;
    /// A reversal of the batch's `pairIndex`-th pair in the undo log (the
    /// renames that happened, in order) goes through `temporaryPath`; told
    /// before it is used.
    [[nodiscard]] virtual Result reversalVia(std::size_t pairIndex,
                                             const std::string& temporaryPath) = 0;
    /// The batch was stopped and every rename of it reversed: nothing is
    /// left to undo. Ends the batch.
    virtual void batchReversed() = 0;
};

/// Told how a batch advances, on the thread that runs it, so that a window
/// can show progress and stay painted during a long batch.
class RenameProgress {
public:
    virtual ~RenameProgress() = default;
    /// The checks passed and the user agreed: `items` entries follow.
    virtual void batchStarted(std::int32_t items) = 0;
    /// Item `index` (0-based, list order) was renamed, copied, needed no
    /// change, or failed and was skipped; `processed` counts as the
    /// statistics do.
    virtual void itemDone(std::int32_t index, std::int32_t processed) = 0;
    /// The last item is done, or the batch stopped; the outcome follows.
    virtual void batchFinished() = 0;
};

/// What the Rename command is given.
struct RenameRequest {
    std::vector<FileEntry*> selected; ///< the selected entries in list order
    std::string newLocation;          ///< the New Location text as typed; empty: rename in place
    bool recursive = false;           ///< the Selections "Recursive" box
    RenameProgress* progress = nullptr;
    /// Read before each item; once set, the batch stops there as if the user
    /// had chosen to stop at a failure (the reversal is offered).
    const std::atomic<bool>* cancel = nullptr;
    /// The entries were listed right before the batch, with nothing in
    /// between (as the command line lists and renames in one go): the
    /// identities their listing gave serve, and their folders are not
    /// listed again.
    bool entriesJustListed = false;
    /// False when the caller drops the entries after the batch: their
    /// folders' known names are then not brought up to date.
    bool entriesKept = true;
};

/// How a batch ended, and what it did.
struct RenameOutcome {
    enum class End {
        Refused,   ///< invalid New Location or invalid new names; nothing touched
        Cancelled, ///< the warning was cancelled; the undo log kept
        Empty,     ///< nothing selected
        Completed,
        Stopped,  ///< stopped at a failure (or cancelled), renames kept
        Reversed, ///< stopped at a failure, renames reversed
    };
    End end = End::Refused;
    std::int32_t processed = 0;
    std::int32_t renamed = 0;
    bool folderRenamed = false;
    bool refreshFiles = false;        ///< the front end re-reads the folder now
    std::vector<ItemFailure> skipped; ///< failures the user chose to skip
    ItemFailure stoppedAt;            ///< the failure that stopped the batch
    UndoOutcome undo;                 ///< the reversal, when the batch was reversed
    /// Refused because the journal could not be begun (EWOULDBLOCK: another
    /// batch holds it); success otherwise.
    Result journal;
};

inline constexpr std::string_view kInvalidLocationStatus =
    "New Location is invalid. Please correct or clear.";
inline constexpr std::string_view kCancelledStatus = "Rename Operation Cancelled";
inline constexpr std::string_view kGeneratingStatus = "Generating list of files for processing...";
inline constexpr std::string_view kRenamingStatus = "Renaming Files and Folders...Please Wait...";
inline constexpr std::string_view kInvalidNamesMessage =
    "One or more filenames contains an invalid character. The following characters are "
    "invalid in Windows filenames:/:*\\?\"<>|";
inline constexpr std::string_view kReverseQuestion =
    "Would you like to reverse all the entries which were successfully renamed?";

/// "%d Entries successfully renamed." or "%d Entries processed, %d entries
/// renamed. %d entries required no changes."
[[nodiscard]] std::string renameStatistics(std::int32_t processed, std::int32_t renamed);

/// The message of a failed item, with its last line "Ignore this error and
/// continue processing?"; an item left at a temporary name says so first.
[[nodiscard]] std::string itemFailureText(const ItemFailure& failure);

/// The Rename command: checks the New Location and the new names, asks for
/// confirmation, empties the undo log, then renames (or copies into the New
/// Location) every selected entry in list order, asking at each failure
/// whether to skip it or stop. No file is ever replaced unless "Overwrite
/// Target Files" asks for it, and never one that this batch produced, has
/// still to process or failed to process (told by device and inode, so no
/// spelling of a path defeats it); an entry whose new name is its own is an
/// ordinary existing file. Status texts go to `status`; the undo log receives
/// every in-place rename that succeeded, and `journal` (when given) hears of
/// each before it is tried. Never throws.
RenameOutcome runRenameBatch(const RenameRequest& request, Preferences& preferences, FileSystem& fs,
                             RenameUi& ui, StatusSink& status, UndoLog& log,
                             RenameJournal* journal = nullptr);

} // namespace vantrel
