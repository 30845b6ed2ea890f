#include "foldertree/FolderTree.h"

#include "foldertree/ChildFolders.h"
#include "foldertree/FolderPaths.h"
#include "foldertree/FolderTreeModel.h"

#include <QDir>
#include <QFileIconProvider>
#include <QKeyEvent>

#include <algorithm>

namespace vantrel::gui {

namespace {

/// Switches a widget's redraw off for a scope, unless it already is.
class RedrawOff {
public:
    explicit RedrawOff(QWidget& widget) : widget_(widget), was_(widget.updatesEnabled()) {
        if (was_)
            widget_.setUpdatesEnabled(false);
    }
    ~RedrawOff() {
        if (was_)
            widget_.setUpdatesEnabled(true);
    }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    QWidget& widget_;
    bool was_;
};

FolderTreeModel::Icons lookUpIcons() {
    const QFileIconProvider provider;
    FolderTreeModel::Icons icons{provider.icon(QFileIconProvider::Folder),
                                 provider.icon(QFileInfo(QDir::homePath())),
                                 provider.icon(QFileIconProvider::Drive)};
    if (icons.home.isNull())
        icons.home = icons.folder;
    return icons;
}

} // namespace

/// A program-driven operation: the selection may pass through several items
/// on the way, so the signal waits for the outermost one to end and then
/// tells only whether the selected folder changed.
class FolderTree::ProgramChange {
public:
    explicit ProgramChange(FolderTree& tree) : tree_(tree) { ++tree_.programChanges_; }
    ~ProgramChange() {
        if (--tree_.programChanges_ == 0)
            tree_.announceIfChanged();
    }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;

private:
    FolderTree& tree_;
};

FolderTree::FolderTree(FileSystem& fs, QWidget* parent)
    : QTreeView(parent), fs_(fs), model_(new FolderTreeModel(lookUpIcons(), this)),
      rootSource_(&defaultTreeRoots) {
    setObjectName(QStringLiteral("folderTree"));
    setModel(model_);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    // A level is replaced inside the expansion itself, which the animation's
    // snapshot of the old rows does not expect.
    setAnimated(false);

    connect(this, &QTreeView::expanded, this, &FolderTree::readLevel);
    connect(this, &QTreeView::collapsed, this, &FolderTree::moveSelectionOutOf);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FolderTree::announceIfChanged);
}

FolderTree::~FolderTree() = default;

void FolderTree::setRootSource(std::function<std::vector<TreeRoot>()> source) {
    rootSource_ = std::move(source);
}

void FolderTree::rebuild(const std::vector<TreeRoot>& roots) {
    model_->setRoots(roots);
    if (const QModelIndex first = firstTopLevelItem(); first.isValid())
        expand(first);
}

void FolderTree::buildRoot(std::vector<TreeRoot> roots) {
    const ProgramChange change(*this);
    rebuild(roots);
    if (const QModelIndex first = firstTopLevelItem(); first.isValid())
        select(first);
}

void FolderTree::refreshTree() {
    const std::string previous = selectedPath();
    const ProgramChange change(*this);
    const RedrawOff redrawOff(*this);
    rebuild(rootSource_ ? rootSource_() : defaultTreeRoots());
    QModelIndex found = previous.empty() ? QModelIndex() : locateItemByPath(previous);
    if (!found.isValid())
        found = firstTopLevelItem();
    if (found.isValid())
        select(found);
    announced_.reset(); // every item is new: tell the receiver even for the same path
}

std::string FolderTree::selectedPath() const {
    return model_->pathOf(selectedIndex());
}

std::string FolderTree::pathOf(const QModelIndex& index) const {
    return model_->pathOf(index);
}

QModelIndex FolderTree::selectedIndex() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.front();
}

QModelIndex FolderTree::firstTopLevelItem() const {
    return model_->index(0, 0);
}

void FolderTree::select(const QModelIndex& index) {
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    scrollTo(index);
}

void FolderTree::announceIfChanged() {
    if (programChanges_ > 0)
        return;
    std::string now = selectedPath();
    if (announced_ && *announced_ == now)
        return;
    announced_ = std::move(now);
    emit folderSelectionChanged();
}

void FolderTree::moveSelectionOutOf(const QModelIndex& index) {
    // A selection hidden below a collapsed item, or dropped with the level
    // about to be read again, moves up to that item.
    const QModelIndex selected = selectedIndex();
    for (QModelIndex above = selected.parent(); above.isValid(); above = above.parent()) {
        if (above == index) {
            select(index);
            return;
        }
    }
}

void FolderTree::readLevel(const QModelIndex& index) {
    if (!index.isValid() || model_->flags(index).testFlag(Qt::ItemNeverHasChildren))
        return;
    moveSelectionOutOf(index);
    const std::string path = model_->pathOf(index);
    model_->showPlaceholder(index);
    viewport()->repaint(); // the listing below blocks: show "Loading..." first

    std::vector<std::string> names;
    if (!readChildFolders(fs_, path, names))
        names.clear();
    {
        const RedrawOff redrawOff(*this);
        model_->setChildFolders(index, names, model_->isRemovableRoot(index));
    }
    if (names.empty())
        collapse(index); // no button now, or a removable root that tries again next time
    else if (programChanges_ == 0)
        revealChildren(index);
}

void FolderTree::revealChildren(const QModelIndex& index) {
    // As many of the new children as fit, without pushing the item itself
    // out at the top.
    scrollTo(model_->index(model_->rowCount(index) - 1, 0, index));
    if (visualRect(index).top() < 0)
        scrollTo(index, QAbstractItemView::PositionAtTop);
}

bool FolderTree::exists(const std::string& path, bool folderOnly) {
    FileAttributes attributes;
    if (!fs_.attributes(path, attributes))
        return false;
    return !folderOnly || attributes.kind == FileKind::Folder;
}

QModelIndex FolderTree::childOnTheWay(const QModelIndex& item, const std::string& path) {
    if (!isExpanded(item)) {
        expand(item); // reads the level
        return model_->childWithPath(item, path);
    }
    if (QModelIndex child = model_->childWithPath(item, path); child.isValid())
        return child;
    // The level was read before this look-up; the folder may be newer.
    readLevel(item);
    return model_->childWithPath(item, path);
}

QModelIndex FolderTree::findFolder(const std::string& path) {
    // The most specific top-level item first: Home before "/", a volume
    // before "/".
    std::vector<QModelIndex> starts;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QModelIndex root = model_->index(row, 0);
        if (isPathPrefix(model_->pathOf(root), path))
            starts.push_back(root);
    }
    std::stable_sort(starts.begin(), starts.end(), [this](const auto& a, const auto& b) {
        return model_->pathOf(a).size() > model_->pathOf(b).size();
    });
    for (QModelIndex item : starts) {
        while (item.isValid() && model_->pathOf(item) != path)
            item = childOnTheWay(item, nextOnTheWay(model_->pathOf(item), path));
        if (item.isValid())
            return item;
    }
    return {};
}

QModelIndex FolderTree::locateItemByPath(const std::string& path) {
    const ProgramChange change(*this);
    const std::string wanted = normalisePath(path);
    if (wanted.empty() || wanted.front() != '/' || !exists(wanted, false))
        return firstTopLevelItem();
    return findFolder(wanted);
}

QModelIndex FolderTree::locateNearestFolder(const std::string& path) {
    const ProgramChange change(*this);
    std::string wanted = normalisePath(path);
    if (wanted.empty() || wanted.front() != '/')
        return firstTopLevelItem();
    for (;;) {
        if (exists(wanted, true)) {
            if (const QModelIndex found = findFolder(wanted); found.isValid())
                return found;
        }
        if (wanted == "/")
            return firstTopLevelItem();
        wanted = parentPath(wanted);
    }
}

bool FolderTree::selectNearestFolder(const std::string& path) {
    const ProgramChange change(*this);
    const QModelIndex found = locateNearestFolder(path);
    if (!found.isValid())
        return false;
    select(found);
    return true;
}

void FolderTree::keyPressEvent(QKeyEvent* event) {
    // "*" would expand every level below, reading the whole subtree on the UI
    // thread (all of the disk under "/"): it expands one level here.
    if (event->key() == Qt::Key_Asterisk) {
        expand(currentIndex());
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

QItemSelectionModel::SelectionFlags FolderTree::selectionCommand(const QModelIndex& index,
                                                                 const QEvent* event) const {
    // Some folder stays selected: the list always shows one.
    const QItemSelectionModel::SelectionFlags flags = QTreeView::selectionCommand(index, event);
    if (!index.isValid() ||
        flags.testAnyFlags(QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return flags;
}

} // namespace vantrel::gui
