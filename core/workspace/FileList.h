#pragma once

#include "engine/PreviewRefresh.h"
#include "filelist/FileEntry.h"
#include "filelist/Sorting.h"
#include "rename/RenameBatch.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantrel {

class RandomSource;

/// What changed in a range of rows.
enum class RowChange : unsigned char {
    NewNames,  ///< "New Name" and "Length"
    Names,     ///< "Name" (after a rename) and with it the colouring
    Selection, ///< the selected flags
};

/// Hears of every change of a FileList, so that a view can follow it. The
/// "about to" calls come before the rows change, the others after, as item
/// models need them. One observer at a time; calls come on the list's thread.
class FileListObserver {
public:
    virtual ~FileListObserver() = default;
    virtual void rowsAboutToBeAppended(std::size_t first, std::size_t count) = 0;
    virtual void rowsAppended(std::size_t first, std::size_t count) = 0;
    /// Rows [first, last] changed as `what` says.
    virtual void rowsChanged(std::size_t first, std::size_t last, RowChange what) = 0;
    /// Row `from` is about to move to index `to` (its index afterwards).
    virtual void rowAboutToMove(std::size_t from, std::size_t to) = 0;
    virtual void rowMoved(std::size_t from, std::size_t to) = 0;
    /// Every row may change (cleared, sorted).
    virtual void aboutToReset() = 0;
    virtual void resetDone() = 0;
};

/// The rows of the file list in their order, with their selection, the
/// selection mark and the sort state: the state the window shows, kept free
/// of any toolkit so that tests drive it directly. It is the preview's
/// target: only selected rows get new names, and a row that loses its
/// selection gets its own name back at once.
class FileList final : public PreviewTarget {
public:
    explicit FileList(RandomSource& random);

    void setObserver(FileListObserver* observer) { observer_ = observer; }

    [[nodiscard]] std::size_t size() const { return entries_.size(); }
    [[nodiscard]] const FileEntry& entry(std::size_t row) const { return entries_[row]; }
    [[nodiscard]] bool isSelected(std::size_t row) const { return selected_[row] != 0; }

    /// Empties the list (a new scan).
    void clear();
    /// Appends rows in this order, selected or not.
    void append(std::vector<FileEntry> rows, bool select);

    /// Selects or deselects rows [first, last]; deselected rows get their
    /// own names back as new names.
    void setSelected(std::size_t first, std::size_t last, bool select);
    void selectAll();
    void deselectAll();
    /// The row clicked last, which the copy commands act on; none after a clear.
    [[nodiscard]] std::optional<std::size_t> selectionMark() const { return mark_; }
    void setSelectionMark(std::optional<std::size_t> row);
    /// Index of the first and last selected row; none when nothing is selected.
    [[nodiscard]] std::optional<std::size_t> firstSelected() const;
    [[nodiscard]] std::optional<std::size_t> lastSelected() const;

    /// Moves one row so that it lands directly before the row now at `to`
    /// (`to` = size() puts it last), keeping its selection. Returns the row's
    /// new index; a drop onto itself or just below it moves nothing.
    std::size_t moveRow(std::size_t from, std::size_t to);

    [[nodiscard]] const SortState& sortState() const { return sort_; }
    /// A header click (flag set) or the restoring of the stored sort; sorts
    /// when the flag says so.
    void setSortColumn(int column, bool flag);
    /// Shuffles now, and at every later sort until the next header click.
    void randomSort();
    void setLogicalSort(bool on) { sort_.xpStyle = on ? 1 : 0; }
    /// Sorts by the current state (the end of a scan).
    void sort();

    /// Sets one row's new name (an edit in place); none resets it.
    void setRowNewName(std::size_t row, std::optional<std::string> newName);
    /// The Rename command's request: the selected entries in list order.
    /// The list must not change while the batch runs.
    [[nodiscard]] RenameRequest renameRequest(std::string newLocation, bool recursive);
    /// After a batch: names of rows may have changed.
    void namesChanged();

    // The preview's view of the list.
    [[nodiscard]] std::size_t objectCount() const override { return entries_.size(); }
    [[nodiscard]] std::size_t selectedCount() const override { return selectedCount_; }
    [[nodiscard]] const FileEntry& selectedEntry(std::size_t i) const override;
    void setNewName(std::size_t i, std::string_view newName) override;
    void setConflict(std::size_t i, ConflictKind kind, std::size_t other) override;
    void collisionsChecked(const CollisionSummary& summary) override { collisions_ = summary; }
    /// Different rows are different entries; the index of the selected rows
    /// is built before the preview asks.
    [[nodiscard]] bool concurrentWrites() const override;
    /// Tells the observer that the preview has rewritten the selected rows
    /// (their new names and conflicts: one range, RowChange::NewNames).
    void previewDone();
    /// The selected entries among rows [firstRow, lastRow], as the range
    /// [first, last) of their indices among the selected (empty when none).
    [[nodiscard]] std::pair<std::size_t, std::size_t> selectedWithin(std::size_t firstRow,
                                                                     std::size_t lastRow) const;
    /// Tells the observer that rows [first, last] have new names (a part of
    /// the preview shown ahead of the rest).
    void newNamesShown(std::size_t first, std::size_t last);

    /// How many selected rows the latest refresh found in conflict, for
    /// "N new names collide".
    [[nodiscard]] std::size_t conflictCount() const { return collisions_.conflicts; }
    /// What holds the new name of a row in conflict, in words (for its
    /// tooltip); empty for a row that is not in conflict.
    [[nodiscard]] std::string conflictHolder(std::size_t row) const;

private:
    void changed(std::size_t first, std::size_t last, RowChange what);
    /// The indices of the selected rows, rebuilt when the selection or the order changed.
    const std::vector<std::size_t>& selectedRows() const;
    void reorder(const std::vector<std::size_t>& order);

    RandomSource& random_;
    FileListObserver* observer_ = nullptr;
    std::vector<FileEntry> entries_;
    std::vector<std::uint8_t> selected_;
    std::size_t selectedCount_ = 0;
    std::optional<std::size_t> mark_;
    SortState sort_;
    mutable std::vector<std::size_t> selectedRows_;
    mutable bool selectedRowsValid_ = true;
    CollisionSummary collisions_;
};

} // namespace vantrel
