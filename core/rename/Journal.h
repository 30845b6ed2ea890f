#pragma once

#include "platform/FileSystem.h"
#include "platform/Result.h"
#include "rename/RenameBatch.h"
#include "rename/UndoLog.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

/// What every journal's first line begins with; a file that starts otherwise
/// is not read, and never emptied.
inline constexpr std::string_view kJournalStem = "vantrel rename journal ";
/// The version this program writes and reads.
inline constexpr std::string_view kJournalVersion = "2";

/// Keeps the undo log of one batch in a file, ahead of the disk: each rename
/// is recorded, with the identity of the entry it moves, before it is tried
/// and marked after it, so that a batch cut short at any instant (a crash,
/// `kill -9`) can still be reversed in full; the batch's end is recorded too.
/// Every record carries a checksum and goes to the kernel at once (nothing is
/// buffered in the process). The journal is locked while a batch writes it.
/// The file is private (0600) and its folders are made (0700) when missing.
/// Not synchronised to the disk: it survives the process, not a power failure.
class FileJournal final : public RenameJournal {
public:
    FileJournal(FileSystem& fs, std::string path);
    /// Ends a batch still open.
    ~FileJournal() override;
    FileJournal(const FileJournal&) = delete;
    FileJournal& operator=(const FileJournal&) = delete;

    /// Locks the file (making it and its folders when missing), empties it
    /// and writes the header of a new batch. Fails with the operation, path
    /// and system text; with EWOULDBLOCK when another process holds it; and
    /// without touching it when the file is not a journal.
    [[nodiscard]] Result beginBatch() override;
    /// Appends the pair's record; fails when it cannot, and after any earlier
    /// failed write (a torn record must stay the file's last line).
    [[nodiscard]] Result beforeRename(const UndoPair& pair) override;
    /// Records the temporary name of the current pair before it is used.
    [[nodiscard]] Result viaTemporary(const std::string& temporaryPath) override;
    /// Marks the current pair renamed (carried with the next record), not
    /// renamed (written at once) or leaves it unmarked, for the disk to tell.
    /// A mark that cannot be written leaves the pair unmarked as well.
    void afterRename(RenameEffect effect) override;
    /// Writes a pending mark and the end of the batch, and unlocks the file.
    void endBatch() override;
    /// Records the temporary name for the pair's reversal.
    [[nodiscard]] Result reversalVia(std::size_t pairIndex,
                                     const std::string& temporaryPath) override;
    /// Empties the file (nothing is left to undo) and unlocks it.
    void batchReversed() override;

    /// The first write that failed, if any (success otherwise).
    [[nodiscard]] const Result& writeFailure() const { return failure_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    /// The identity of the batch begun last; empty before the first.
    [[nodiscard]] const std::string& batch() const { return batch_; }

private:
    Result append(std::string_view bytes);
    Result appendTemporary(std::uint64_t number, const std::string& temporaryPath);
    void appendMark(char kind, std::uint64_t number);
    void close();

    FileSystem& fs_;
    std::string path_;
    std::unique_ptr<JournalFile> file_;
    std::string batch_;
    std::uint32_t batchCrc_ = 0; ///< the checksum every record of the batch starts from
    std::uint64_t sequence_ = 0; ///< number of the next pair
    bool current_ = false;       ///< the latest pair's record is in the file, unmarked
    bool pendingDone_ = false;   ///< a "renamed" mark waits for the next write
    std::uint64_t pendingSequence_ = 0;
    std::string buffer_; ///< the next write: a carried mark, then a record
    Result failure_;
    /// The numbers of the pairs that went into the undo log, in its order.
    std::vector<std::uint64_t> logged_;
};

/// What a reader had to leave out of a journal.
struct JournalDamage {
    std::size_t lines = 0; ///< complete lines that failed their checksum or could not be read
    bool tornTail = false; ///< the last line was cut short by an interrupted write
};

/// What a journal holds.
struct JournalContents {
    /// The pairs, oldest first: one marked renamed is confirmed; an unmarked
    /// one may or may not have happened (undo asks the disk); one marked not
    /// renamed is left out.
    UndoLog log;
    std::vector<std::uint64_t> sequences; ///< each pair's number in the batch
    std::string batch;                    ///< the batch's identity; empty: no batch
    bool finished = false;                ///< the batch's end is recorded: it did not die half way
    /// Another running process holds the journal's lock: a batch or an undo
    /// is at work on it now (what was read may be incomplete).
    bool heldByOther = false;
    JournalDamage damage;
};

/// Reads journal text into `out`. A line whose checksum fails, or that cannot
/// be read completely, is ignored and counted, never guessed at; marks name
/// their pair by number. Empty text is an empty journal; text that is not a
/// journal of this version, or whose header is damaged, fails.
[[nodiscard]] Result parseJournal(std::string_view text, JournalContents& out);

/// A journal line: `content`, its checksum for `batch`, and the line feed.
/// For tests and fuzz targets that need well-sealed lines.
[[nodiscard]] std::string sealJournalLine(std::string_view batch, std::string_view content);

/// What the journal at `path` holds, without changing it: the pairs, whether
/// the batch finished and whether another process holds it now (then it is
/// read without its lock). A missing file is an empty journal; other
/// failures name the operation, path and system text.
[[nodiscard]] Result inspectJournal(FileSystem& fs, const std::string& path, JournalContents& out);

/// What undoJournal found and did.
struct JournalUndo {
    JournalContents contents; ///< what the journal held
    UndoOutcome outcome;
};

/// Reverses the batch in the journal at `path` (undoRename, newest first),
/// holding the journal's lock from the reading to the end, so that no batch
/// can begin meanwhile; then empties it. With `batch` given, a journal that
/// holds another batch is left alone and fails. A missing or empty journal
/// undoes nothing (`contents.log` empty). Fails with EWOULDBLOCK when another
/// process holds the journal.
[[nodiscard]] Result undoJournal(FileSystem& fs, const std::string& path, StatusSink& status,
                                 JournalUndo& out, std::string_view batch = {});

/// Empties the journal at `path` when it holds `batch` (any batch when that is
/// empty); a missing file is already empty; a file that is not a journal is
/// refused.
[[nodiscard]] Result clearJournal(FileSystem& fs, const std::string& path,
                                  std::string_view batch = {});

/// $XDG_STATE_HOME/vantrel/last-batch.journal, else under
/// ~/.local/state/vantrel/; empty when no home folder is known.
[[nodiscard]] std::string defaultJournalPath();

} // namespace vantrel
