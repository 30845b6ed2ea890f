#include "workspace/FileList.h"

#include "platform/Random.h"

#include <algorithm>

namespace vantrel {

FileList::FileList(RandomSource& random) : random_(random) {}

void FileList::changed(std::size_t first, std::size_t last, RowChange what) {
    if (observer_ != nullptr && first <= last && last < entries_.size())
        observer_->rowsChanged(first, last, what);
}

void FileList::clear() {
    if (observer_ != nullptr)
        observer_->aboutToReset();
    collisions_ = {};
    entries_.clear();
    selected_.clear();
    selectedCount_ = 0;
    mark_.reset();
    selectedRowsValid_ = false;
    if (observer_ != nullptr)
        observer_->resetDone();
}

void FileList::append(std::vector<FileEntry> rows, bool select) {
    if (rows.empty())
        return;
    const std::size_t first = entries_.size();
    if (observer_ != nullptr)
        observer_->rowsAboutToBeAppended(first, rows.size());
    entries_.insert(entries_.end(), std::make_move_iterator(rows.begin()),
                    std::make_move_iterator(rows.end()));
    selected_.resize(entries_.size(), select ? 1 : 0);
    if (select) {
        selectedCount_ += rows.size();
        selectedRowsValid_ = false;
    }
    if (observer_ != nullptr)
        observer_->rowsAppended(first, rows.size());
}

void FileList::setSelected(std::size_t first, std::size_t last, bool select) {
    if (entries_.empty() || first > last)
        return;
    last = std::min(last, entries_.size() - 1);
    bool any = false;
    for (std::size_t row = first; row <= last; ++row) {
        if ((selected_[row] != 0) == select)
            continue;
        selected_[row] = select ? 1 : 0;
        any = true;
        if (select) {
            ++selectedCount_;
        } else {
            --selectedCount_;
            entries_[row].resetNewName();
        }
    }
    if (!any)
        return;
    selectedRowsValid_ = false;
    changed(first, last, RowChange::Selection);
    if (!select)
        changed(first, last, RowChange::NewNames);
}

void FileList::selectAll() {
    if (!entries_.empty())
        setSelected(0, entries_.size() - 1, true);
}

void FileList::deselectAll() {
    if (!entries_.empty())
        setSelected(0, entries_.size() - 1, false);
}

void FileList::setSelectionMark(std::optional<std::size_t> row) {
    mark_ = row && *row < entries_.size() ? row : std::nullopt;
}

std::optional<std::size_t> FileList::firstSelected() const {
    const auto& rows = selectedRows();
    return rows.empty() ? std::nullopt : std::optional(rows.front());
}

std::optional<std::size_t> FileList::lastSelected() const {
    const auto& rows = selectedRows();
    return rows.empty() ? std::nullopt : std::optional(rows.back());
}

std::size_t FileList::moveRow(std::size_t from, std::size_t to) {
    if (from >= entries_.size())
        return from;
    to = std::min(to, entries_.size());
    // The row lands before the row at `to`; after it has left its place,
    // every later index is one less.
    const std::size_t final = to > from ? to - 1 : to;
    if (final == from)
        return from;
    if (observer_ != nullptr)
        observer_->rowAboutToMove(from, final);
    const auto rotate = [&](auto& v) {
        if (final < from)
            std::rotate(v.begin() + static_cast<std::ptrdiff_t>(final),
                        v.begin() + static_cast<std::ptrdiff_t>(from),
                        v.begin() + static_cast<std::ptrdiff_t>(from) + 1);
        else
            std::rotate(v.begin() + static_cast<std::ptrdiff_t>(from),
                        v.begin() + static_cast<std::ptrdiff_t>(from) + 1,
                        v.begin() + static_cast<std::ptrdiff_t>(final) + 1);
    };
    rotate(entries_);
    rotate(selected_);
    // A conflict names its other row by index: it follows the move.
    const auto moved = [from, final](std::size_t row) {
        if (row == from)
            return final;
        if (from < row && row <= final)
            return row - 1;
        if (final <= row && row < from)
            return row + 1;
        return row;
    };
    for (FileEntry& e : entries_) {
        if (e.inConflict())
            e.setConflict(
                {e.conflict().kind, static_cast<std::uint32_t>(moved(e.conflict().other))});
    }
    if (mark_) {
        if (*mark_ == from)
            mark_ = final;
        else if (from < *mark_ && *mark_ <= final)
            --*mark_;
        else if (final <= *mark_ && *mark_ < from)
            ++*mark_;
    }
    selectedRowsValid_ = false;
    if (observer_ != nullptr)
        observer_->rowMoved(from, final);
    return final;
}

void FileList::setSortColumn(int column, bool flag) {
    if (vantrel::setSortColumn(sort_, column, flag))
        sort();
}

void FileList::randomSort() {
    sort_.random = 1;
    sort();
}

void FileList::sort() {
    if (entries_.size() < 2)
        return;
    reorder(sortOrder(entries_, sort_, random_));
}

void FileList::reorder(const std::vector<std::size_t>& order) {
    if (observer_ != nullptr)
        observer_->aboutToReset();
    std::vector<FileEntry> entries;
    std::vector<std::uint8_t> selected;
    entries.reserve(order.size());
    selected.reserve(order.size());
    std::optional<std::size_t> mark;
    for (std::size_t i = 0; i < order.size(); ++i) {
        entries.push_back(std::move(entries_[order[i]]));
        selected.push_back(selected_[order[i]]);
        if (mark_ && *mark_ == order[i])
            mark = i;
    }
    entries_ = std::move(entries);
    selected_ = std::move(selected);
    mark_ = mark;
    std::vector<std::uint32_t> at(order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        at[order[i]] = static_cast<std::uint32_t>(i);
    for (FileEntry& e : entries_) {
        if (e.inConflict() && e.conflict().other < at.size())
            e.setConflict({e.conflict().kind, at[e.conflict().other]});
    }
    selectedRowsValid_ = false;
    if (observer_ != nullptr)
        observer_->resetDone();
}

void FileList::setRowNewName(std::size_t row, std::optional<std::string> newName) {
    if (row >= entries_.size())
        return;
    if (newName)
        entries_[row].setNewName(*newName);
    else
        entries_[row].resetNewName();
    changed(row, row, RowChange::NewNames);
}

RenameRequest FileList::renameRequest(std::string newLocation, bool recursive) {
    RenameRequest request;
    request.newLocation = std::move(newLocation);
    request.recursive = recursive;
    const auto& rows = selectedRows();
    request.selected.reserve(rows.size());
    for (const std::size_t row : rows)
        request.selected.push_back(&entries_[row]);
    return request;
}

void FileList::namesChanged() {
    if (const auto first = firstSelected())
        changed(*first, *lastSelected(), RowChange::Names);
}

const std::vector<std::size_t>& FileList::selectedRows() const {
    if (!selectedRowsValid_) {
        selectedRows_.clear();
        selectedRows_.reserve(selectedCount_);
        for (std::size_t row = 0; row < selected_.size(); ++row)
            if (selected_[row] != 0)
                selectedRows_.push_back(row);
        selectedRowsValid_ = true;
    }
    return selectedRows_;
}

const FileEntry& FileList::selectedEntry(std::size_t i) const {
    return entries_[selectedRows()[i]];
}

void FileList::setNewName(std::size_t i, std::string_view newName) {
    entries_[selectedRows()[i]].setNewName(newName);
}

void FileList::setConflict(std::size_t i, ConflictKind kind, std::size_t other) {
    const auto& rows = selectedRows();
    entries_[rows[i]].setConflict({kind, static_cast<std::uint32_t>(rows[other])});
}

std::string FileList::conflictHolder(std::size_t row) const {
    if (row >= entries_.size() || !entries_[row].inConflict())
        return {};
    const std::size_t other = entries_[row].conflict().other;
    return conflictHolderText(entries_[row], other < entries_.size() ? &entries_[other] : nullptr,
                              collisions_.location);
}

bool FileList::concurrentWrites() const {
    (void)selectedRows(); // built now, read-only while the preview runs
    return true;
}

std::pair<std::size_t, std::size_t> FileList::selectedWithin(std::size_t firstRow,
                                                             std::size_t lastRow) const {
    const auto& rows = selectedRows();
    const auto first = std::lower_bound(rows.begin(), rows.end(), firstRow);
    const auto last = std::upper_bound(first, rows.end(), lastRow);
    return {static_cast<std::size_t>(first - rows.begin()),
            static_cast<std::size_t>(last - rows.begin())};
}

void FileList::newNamesShown(std::size_t first, std::size_t last) {
    if (first <= last && last < entries_.size())
        changed(first, last, RowChange::NewNames);
}

void FileList::previewDone() {
    if (const auto first = firstSelected())
        changed(*first, *lastSelected(), RowChange::NewNames);
}

} // namespace vantrel
