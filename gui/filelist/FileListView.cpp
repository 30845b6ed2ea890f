#include "filelist/FileListView.h"

#include "dialogs/ContextHelp.h"
#include "dialogs/Prompter.h"

#include <QAction>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>

namespace vantrel::gui {
namespace {

const QString kRowMime = QStringLiteral("application/x-vantrel-list-row");

/// Without full-row select, only the name cell shows the selection.
class RowDelegate final : public QStyledItemDelegate {
public:
    RowDelegate(const FileListView* view)
        : QStyledItemDelegate(const_cast<FileListView*>(view)), view_(view) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        if (!view_->fullRowSelect() && index.column() != 0 && (o.state & QStyle::State_Selected)) {
            // The view has painted the row's selection already: paint over it.
            o.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
            painter->fillRect(o.rect, o.palette.brush(QPalette::Base));
        }
        QStyledItemDelegate::paint(painter, o, index);
    }

private:
    const FileListView* view_;
};

} // namespace

FileListView::FileListView(FileListModel* model, QWidget* parent)
    : QTableView(parent), model_(model) {
    setObjectName(QStringLiteral("fileList"));
    setHelpId(this, 1001);
    setModel(model);
    setItemDelegate(new RowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Fixed row heights keep 100,000 rows cheap to lay out.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    connect(model_, &FileListModel::listSelectionChanged, this, &FileListView::followList);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileListView::forwardSelection);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &FileListView::sortRequested);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() &&
            model_->list().entry(static_cast<std::size_t>(index.row())).isFolder())
            emit folderActivated(index.row());
    });
    connect(this, &QWidget::customContextMenuRequested, this, &FileListView::showContextMenu);
}

void FileListView::setSortArrow(int column, bool ascending) {
    horizontalHeader()->setSortIndicator(column,
                                         ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void FileListView::setGridlines(bool on) {
    setShowGrid(on);
}

void FileListView::setFullRowSelect(bool on) {
    fullRowSelect_ = on;
    viewport()->update();
}

void FileListView::setColumnWidths(const std::vector<int>& widths) {
    for (std::size_t i = 0; i < widths.size(); ++i)
        setColumnWidth(static_cast<int>(i), widths[i]);
}

std::vector<int> FileListView::columnWidths() const {
    std::vector<int> widths;
    for (int i = 0; i < model_->columnCount(); ++i)
        widths.push_back(columnWidth(i));
    return widths;
}

void FileListView::followList(int first, int last) {
    const FileList& list = model_->list();
    const int columns = model_->columnCount() - 1;
    QItemSelection on;
    int run = -1;
    for (int row = first; row <= last + 1; ++row) {
        const bool selected = row <= last && list.isSelected(static_cast<std::size_t>(row));
        if (selected && run < 0) {
            run = row;
        } else if (!selected && run >= 0) {
            on.select(model_->index(run, 0), model_->index(row - 1, columns));
            run = -1;
        }
    }
    following_ = true;
    selectionModel()->select(QItemSelection(model_->index(first, 0), model_->index(last, columns)),
                             QItemSelectionModel::Deselect);
    selectionModel()->select(on, QItemSelectionModel::Select);
    following_ = false;
}

void FileListView::forwardSelection(const QItemSelection& selected,
                                    const QItemSelection& deselected) {
    if (following_)
        return;
    for (const QItemSelectionRange& range : deselected)
        emit userSelectionChanged(range.top(), range.bottom(), false);
    for (const QItemSelectionRange& range : selected)
        emit userSelectionChanged(range.top(), range.bottom(), true);
}

void FileListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    model_->list().setSelectionMark(current.isValid() ? std::optional<std::size_t>(current.row())
                                                      : std::nullopt);
}

bool FileListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!index.isValid())
        return QTableView::edit(index, trigger, event);
    QModelIndex target = index;
    if (trigger == EditKeyPressed) {
        // F2 edits the one selected row's name, and nothing when several are.
        const FileList& list = model_->list();
        if (list.selectedCount() != 1)
            return false;
        target = model_->index(static_cast<int>(*list.firstSelected()), 0);
    } else if (trigger == SelectedClicked && index.column() != 0) {
        return false;
    } else if (trigger != SelectedClicked && trigger != AllEditTriggers) {
        return QTableView::edit(index, trigger, event);
    }
    return QTableView::edit(target, trigger, event);
}

void FileListView::startDrag(Qt::DropActions) {
    if (model_->list().selectedCount() > 1) {
        Prompter::message(this, QMessageBox::NoIcon,
                          QStringLiteral("Sorry, you may only drag/drop single items."),
                          QMessageBox::Ok);
        return;
    }
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    dragRow_ = current.row();
    auto* mime = new QMimeData;
    mime->setData(kRowMime, QByteArray::number(dragRow_));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const QRect rect = visualRect(model_->index(dragRow_, 0));
    QPixmap image(rect.size());
    image.fill(Qt::transparent);
    viewport()->render(&image, {}, QRegion(rect));
    drag->setPixmap(image);
    drag->setHotSpot(QPoint(-8, -8));
    drag->exec(Qt::MoveAction);
    dragRow_ = -1;
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->source() == this && event->mimeData()->hasFormat(kRowMime))
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() != this || !event->mimeData()->hasFormat(kRowMime)) {
        event->ignore();
        return;
    }
    QTableView::dragMoveEvent(event); // scrolls near the edges
    event->acceptProposedAction();
}

void FileListView::dropEvent(QDropEvent* event) {
    if (event->source() != this || !event->mimeData()->hasFormat(kRowMime)) {
        event->ignore();
        return;
    }
    bool ok = false;
    const int from = event->mimeData()->data(kRowMime).toInt(&ok);
    const QModelIndex at = indexAt(event->position().toPoint());
    const int to = at.isValid() ? at.row() : model_->rowCount();
    // The move is the list's; the view must not remove anything itself.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (ok)
        emit rowDropped(from, to);
}

void FileListView::showContextMenu(const QPoint& pos) {
    if (!indexAt(pos).isValid())
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("fileListMenu"));
    QAction* withExtension =
        menu.addAction(QStringLiteral("Copy Filename+&Extension to Clipboard"));
    QAction* withoutExtension = menu.addAction(QStringLiteral("Copy &Filename to Clipboard"));
    const QAction* chosen = menu.exec(viewport()->mapToGlobal(pos));
    if (chosen == withExtension)
        emit copyNameRequested(true);
    else if (chosen == withoutExtension)
        emit copyNameRequested(false);
}

std::optional<std::pair<std::size_t, std::size_t>> FileListView::visibleRows() const {
    const int count = model()->rowCount();
    const int first = rowAt(0);
    if (count == 0 || first < 0 || !isVisible())
        return std::nullopt;
    const int bottom = rowAt(viewport()->height() - 1);
    const int last = bottom < 0 ? count - 1 : bottom;
    return std::make_pair(static_cast<std::size_t>(first), static_cast<std::size_t>(last));
}

} // namespace vantrel::gui
