#pragma once

#include "platform/Result.h"
#include "rename/RenameBatch.h"
#include "rename/UndoLog.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel {

/// The first line of every journal; a file that starts otherwise is not read.
inline constexpr std::string_view kJournalHeader = "vantrel rename journal 1";

/// Keeps the undo log of one batch in a file, ahead of the disk: each rename
/// is recorded before it is tried and marked after it, so that a batch cut
/// short at any instant (a crash, `kill -9`) can still be reversed in full.
/// Every record is stored at once into a shared mapping of the file (or,
/// where the file system cannot reserve space, appended with a single
/// write()); nothing is buffered in the process, so what the process has
/// done is in the file whenever it dies. The file is private (0600) and
/// its folder is made (0700) when missing. Not synchronised to the disk:
/// it survives the process, not a power failure.
class FileJournal final : public RenameJournal {
public:
    /// How records reach the file: through a shared mapping where the file
    /// system can reserve space for it (no system call per record), or each
    /// with one write().
    enum class Writing { Mapped, WriteCalls };

    explicit FileJournal(std::string path, Writing writing = Writing::Mapped);
    ~FileJournal() override;
    FileJournal(const FileJournal&) = delete;
    FileJournal& operator=(const FileJournal&) = delete;

    /// Empties the file (making it and its folder when missing) and writes
    /// the header; fails with the operation, path and system text.
    [[nodiscard]] Result beginBatch() override;
    /// Appends the pair's record; fails when it cannot, and after any earlier
    /// failed write (a torn record must stay the file's last line).
    [[nodiscard]] Result beforeRename(const UndoPair& pair) override;
    /// Records the temporary name of the current pair before it is used.
    [[nodiscard]] Result viaTemporary(const std::string& temporaryPath) override;
    /// Marks the current pair done (carried with the next record) or failed
    /// (written at once). A mark that cannot be written leaves the pair
    /// unmarked, which the reader treats as "maybe happened".
    void afterRename(bool succeeded) override;
    /// Writes a pending mark and closes the file.
    void endBatch() override;

    /// The first write that failed, if any (success otherwise).
    [[nodiscard]] const Result& writeFailure() const { return failure_; }
    [[nodiscard]] const std::string& path() const { return path_; }

private:
    static constexpr std::size_t kMapStep = std::size_t{1} << 20;

    /// Maps (or grows the mapping to) `capacity` bytes; 0 or an errno value.
    int mapFile(std::size_t capacity);
    Result append(std::string_view bytes);
    void appendMark(char kind, std::uint64_t sequence);
    void close();

    std::string path_;
    Writing writing_;
    int fd_ = -1;
    std::uint64_t sequence_ = 0; ///< number of the next pair
    bool current_ = false;       ///< the latest pair's record is in the file, unmarked
    bool pendingDone_ = false;   ///< a "done" mark waits for the next write
    std::uint64_t pendingSequence_ = 0;
    std::string buffer_; ///< the next write: a carried mark, then a record
    Result failure_;
    char* map_ = nullptr; ///< the file mapped for writing, when the file system allows
    std::size_t mapSize_ = 0;
    std::size_t used_ = 0; ///< bytes of the mapping holding records
};

/// What a reader had to leave out of a journal.
struct JournalDamage {
    std::size_t lines = 0; ///< complete lines that could not be read, ignored
    bool tornTail = false; ///< the last line was cut short by an interrupted write
};

/// Reads journal text into `out` (appended), oldest pair first: a pair
/// marked done is confirmed; an unmarked one may or may not have happened
/// (confirmed false, undo asks the disk); a failed one is left out. A line
/// that cannot be read completely is ignored, never guessed at; marks name
/// their pair by number, so a damaged line cannot make a mark land on
/// another pair. Empty text is an empty journal; text that does not start
/// with the header fails.
[[nodiscard]] Result parseJournal(std::string_view text, UndoLog& out,
                                  JournalDamage* damage = nullptr);

/// Reads the journal file at `path` as parseJournal does. A missing file is
/// an empty journal; other failures name the operation, path and system text.
[[nodiscard]] Result readJournal(const std::string& path, UndoLog& out,
                                 JournalDamage* damage = nullptr);

/// Empties the journal file at `path`; a missing file is already empty.
[[nodiscard]] Result clearJournal(const std::string& path);

/// $XDG_STATE_HOME/vantrel/last-batch.journal, else under
/// ~/.local/state/vantrel/; empty when no home folder is known.
[[nodiscard]] std::string defaultJournalPath();

} // namespace vantrel
