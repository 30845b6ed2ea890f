#pragma once

#include "filelist/FileListModel.h"

#include <QTableView>

#include <optional>
#include <utility>
#include <vector>

namespace vantrel::gui {

/// The file list's view: shows the model and tells what the user did, as
/// signals the window forwards to its state. The selection it shows
/// follows the list's own (a second copy that the view keeps in step, both
/// ways).
class FileListView final : public QTableView {
    Q_OBJECT
public:
    explicit FileListView(FileListModel* model, QWidget* parent = nullptr);

    [[nodiscard]] FileListModel* listModel() const { return model_; }
    /// Shows the sort column's arrow.
    void setSortArrow(int column, bool ascending);
    void setGridlines(bool on);
    void setFullRowSelect(bool on);
    [[nodiscard]] bool fullRowSelect() const { return fullRowSelect_; }
    void setColumnWidths(const std::vector<int>& widths);
    [[nodiscard]] std::vector<int> columnWidths() const;
    /// The rows in view (first, last); none when no row is.
    [[nodiscard]] std::optional<std::pair<std::size_t, std::size_t>> visibleRows() const;

signals:
    /// The user selected or deselected rows [first, last].
    void userSelectionChanged(int first, int last, bool selected);
    /// The user dropped row `from` onto row `to` (the row count: past the end).
    void rowDropped(int from, int to);
    /// A header was clicked.
    void sortRequested(int column);
    /// A folder row was double-clicked.
    void folderActivated(int row);
    /// A copy command of the context menu, for the row clicked last.
    void copyNameRequested(bool withExtension);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void followList(int first, int last);
    void forwardSelection(const QItemSelection& selected, const QItemSelection& deselected);
    void showContextMenu(const QPoint& pos);

    FileListModel* model_;
    bool following_ = false; ///< the view is copying the list's selection
    bool fullRowSelect_ = false;
    int dragRow_ = -1;
};

} // namespace vantrel::gui
