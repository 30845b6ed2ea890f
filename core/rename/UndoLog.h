#pragma once

#include "platform/FileSystem.h"
#include "status/StatusSink.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrel {

/// One in-place rename of a batch: the entry's full path before and after.
struct UndoPair {
    std::string oldPath;
    std::string newPath;
    /// False when it is not known whether the rename happened (a batch that
    /// was interrupted): undo then reverses it only when the disk shows it did.
    bool confirmed = true;
    /// A temporary name the entry passed through (a rename onto itself in
    /// another letter case), where an interrupted rename may have left it.
    std::string temporaryPath;
    /// The entry that was renamed: undo moves only this file back.
    FileIdentity identity;
};

/// The renames of the latest accepted batch, oldest first. Undo reverses them.
class UndoLog {
public:
    [[nodiscard]] const std::vector<UndoPair>& pairs() const { return pairs_; }
    [[nodiscard]] bool empty() const { return pairs_.empty(); }
    void add(UndoPair pair) { pairs_.push_back(std::move(pair)); }
    void reserve(std::size_t pairs) { pairs_.reserve(pairs); }
    void clear() { pairs_.clear(); }

private:
    std::vector<UndoPair> pairs_;
};

/// A reversal that failed: the entry, where it was to go back to, and why.
struct UndoFailure {
    std::string item;    ///< the path the entry has now
    std::string target;  ///< the path it was to get back
    std::string message; ///< the system's error text
};

/// What an undo did.
/// Counts are of items: an entry moved in steps (through a temporary name)
/// counts once.
struct UndoOutcome {
    std::int32_t reversed = 0;
    /// Pairs whose entry was at its old name already (reversed by an earlier
    /// undo that was cut short, or never renamed).
    std::int32_t alreadyBack = 0;
    std::vector<UndoFailure> failures;
};

inline constexpr std::string_view kUndoDoneMessage = "Previous changes successfully reversed.";

/// Reverses the log newest first with renames that never replace anything,
/// then empties it. Each pair is settled from what the log knows: the entry
/// is looked for at its temporary name first, then at its new name, and only
/// the entry with the pair's identity is ever moved; one at its old name
/// already is done. The status text is "Previous changes successfully
/// reversed." when every pair settled, else says how many could not be
/// reversed; the failures are returned so the front end can name them.
/// `onTemporary`, when given, hears of a temporary name (with the pair's
/// index in the log) before a reversal uses it, and may refuse by failing.
/// Re-reading the folder afterwards is the front end's part.
UndoOutcome
undoRename(UndoLog& log, FileSystem& fs, StatusSink& status,
           const std::function<Result(std::size_t, const std::string&)>& onTemporary = {});

} // namespace vantrel
