#include "app/MainWindow.h"

#include "TypeNames.h"
#include "app/GuiStatus.h"
#include "dialogs/ContextHelp.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "foldertree/FolderTree.h"
#include "layout/Colours.h"
#include "layout/DialogUnits.h"
#include "panels/CriteriaPanels.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <climits>
#include <cstdlib>
#include <sstream>

namespace vantrel::gui {
namespace {

constexpr std::string_view kMainWindow = "Main Window";

/// The six integers of a stored placement; false unless there are exactly six.
bool parsePlacement(const std::string& text, int (&values)[6]) {
    std::istringstream in(text);
    std::string part;
    int n = 0;
    while (std::getline(in, part, ',')) {
        if (n == 6)
            return false;
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(part.c_str(), &end, 10);
        if (part.empty() || *end != 0 || errno != 0 || v < INT_MIN || v > INT_MAX)
            return false;
        values[n++] = static_cast<int>(v);
    }
    return n == 6;
}

} // namespace

MainWindow::MainWindow(qtsupport::SettingsStore& settings, FileSystem& fs, QWidget* parent)
    : QMainWindow(parent), settings_(settings), fs_(fs) {
    setObjectName(QStringLiteral("mainWindow"));
    // The fixed caption by which a second copy of the program finds this one.
    setWindowTitle(QStringLiteral("<Vantrel>"));
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/resources/icons/vantrel-%1.png").arg(size),
                     QSize(size, size));
    setWindowIcon(icon);
    buildWindow();
    buildMenus();
    connectParts();
    std::vector<std::string> recent;
    for (int i = 1; i <= 8; ++i)
        if (auto path = settings_.readText("Recent File List", "File" + std::to_string(i)))
            recent.push_back(*path);
    recent_.assign(recent);
    rebuildRecentMenu();
}

MainWindow::~MainWindow() {
    // Focus moves while the children go; by then this is no window to ask.
    disconnect(focusWatch_);
    workspace_->stopScan();
    storePlacement();
    storeRecentFiles();
    const std::vector<int> widths = list_->columnWidths();
    for (std::size_t i = 0; i < widths.size(); ++i)
        settings_.writeInt(kMainWindow, listColumns()[i].widthKey, widths[i]);
    settings_.sync();
    // The view and its model look into the workspace's list: they go first.
    delete list_;
    delete model_;
    workspace_.reset();
}

void MainWindow::buildWindow() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);

    panels_ = new CriteriaPanels(central);
    status_ = std::make_unique<GuiStatus>(statusBar(), panels_->renameButton());
    workspace_ = std::make_unique<Workspace>(
        WorkspaceServices{fs_, clock_, random_, *status_,
                          [this](std::function<void()> f) {
                              QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
                          },
                          qtsupport::mimeTypeNames()});

    tree_ = new FolderTree(fs_, central);
    setHelpId(tree_, 1000);
    model_ = new FileListModel(workspace_->list(), this);
    list_ = new FileListView(model_, central);
    // The default widths were made for an 8-point font 13 pixels high.
    const int height = list_->fontMetrics().height();
    std::vector<int> widths;
    for (const ListColumn& c : listColumns())
        widths.push_back(settings_.readInt(kMainWindow, c.widthKey, c.defaultWidth * height / 13));
    list_->setColumnWidths(widths);

    splitter_ = new QSplitter(Qt::Horizontal, central);
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(tree_);
    splitter_->addWidget(list_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    tree_->setMinimumWidth(10);
    list_->setMinimumWidth(10);

    // Tab goes from the tree to the list, then through the panels in their numbers' order.
    setTabOrder(tree_, list_);
    setTabOrder(list_, panels_->control(criteriaFields().front()));

    // The tree and the list take all growth; the panels keep their size and
    // their distance from the bottom left corner.
    auto* layout = new QVBoxLayout(central);
    const DialogUnits du(font());
    layout->setContentsMargins(du.x(2), du.y(2), du.x(2), du.y(1));
    layout->addWidget(splitter_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(panels_, 0, Qt::AlignLeft | Qt::AlignBottom);
    bottom->addStretch(1);
    layout->addLayout(bottom, 0);

    // The designed size is the smallest the window may become.
    const QSize designed = du.size(522, 274);
    splitter_->setSizes({du.x(125), du.x(390)});
    setMinimumSize(designed.expandedTo(minimumSizeHint()));
    // A first window shows some rows above the panels, and fits on the screen.
    QSize first = designed.expandedTo(sizeHint());
    first.rheight() += 6 * list_->verticalHeader()->defaultSectionSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        first = first.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(first.expandedTo(minimumSize()));
}

void MainWindow::connectParts() {
    connect(panels_, &CriteriaPanels::fieldEdited, this, &MainWindow::fieldEdited);
    connect(panels_, &CriteriaPanels::resetPanelRequested, this, &MainWindow::resetPanel);
    connect(panels_, &CriteriaPanels::resetAllRequested, this, &MainWindow::resetAll);
    connect(panels_, &CriteriaPanels::renameRequested, this, &MainWindow::rename);
    connect(panels_, &CriteriaPanels::browseNewLocationRequested, this,
            &MainWindow::browseNewLocation);
    connect(tree_, &FolderTree::folderSelectionChanged, this, &MainWindow::treeSelectionChanged);
    connect(list_, &FileListView::userSelectionChanged, this,
            [this](int first, int last, bool selected) {
                workspace_->selectionChanged(static_cast<std::size_t>(first),
                                             static_cast<std::size_t>(last), selected);
            });
    connect(list_, &QAbstractItemView::clicked, this, [this] { workspace_->requestRefresh(); });
    connect(list_, &FileListView::rowDropped, this, [this](int from, int to) {
        workspace_->moveRow(static_cast<std::size_t>(from), static_cast<std::size_t>(to));
    });
    connect(list_, &FileListView::sortRequested, this, &MainWindow::sortRequested);
    connect(list_, &FileListView::folderActivated, this, &MainWindow::folderActivated);
    connect(list_, &FileListView::copyNameRequested, this, &MainWindow::copyName);
    connect(model_, &FileListModel::nameEdited, this, &MainWindow::nameEdited);
    connect(splitter_, &QSplitter::splitterMoved, this,
            [this](int pos, int) { settings_.writeInt(kMainWindow, "Splitter Left", pos); });
    workspace_->afterScan = [this] {
        updateCommands();
        emit scanFinished();
    };
    workspace_->afterRefresh = [this] { emit previewRefreshed(); };
    // A keystroke's answer in view at once, before the whole list's refresh.
    workspace_->visibleRows = [this] { return list_->visibleRows(); };
    workspace_->afterVisibleRows = [this] { list_->viewport()->repaint(); };
    // Icons as "Display Icons" was when the scan began.
    workspace_->scanStarted = [this] { model_->setShowIcons(workspace_->scan().displayIcons()); };
}

void MainWindow::initialise(const std::string& argument, std::vector<TreeRoot> roots) {
    workspace_->setWindowReady(false);
    tree_->buildRoot(std::move(roots));
    loadPreferences(argument);
    restorePlacement();
    const int splitterLeft = settings_.readInt(kMainWindow, "Splitter Left", -1);
    if (splitterLeft != -1) {
        const int total = splitter_->sizes().value(0) + splitter_->sizes().value(1);
        const int left = std::clamp(splitterLeft, 10, std::max(10, total - 10));
        splitter_->setSizes({left, std::max(10, total - left)});
    }
    workspace_->setWindowReady(true);
    workspace_->setFolder(tree_->selectedPath());
    workspace_->rescan();
    if (workspace_->preferences.autoSelectEntries != 0)
        list_->setFocus();
    emit ready();
}

void MainWindow::loadPreferences(const std::string& argument) {
    Preferences& p = workspace_->preferences;
    settings_.loadPreferences(p);
    activeColour_ = colourFromRef(p.colourActiveCriteriaBack);
    applyListPreferences();
    // Always loaded: an empty or vanished favourite gives every default.
    loadFavouriteFile(p.favouritePath);
    handleArgument(argument);
    workspace_->list().setSortColumn(p.sortColumn, p.sortDirection != 0);
    const SortState& sort = workspace_->list().sortState();
    list_->setSortArrow(sort.column, sort.ascending != 0);
    panels_->showAll(workspace_->criteria);
    showHighlights();
}

void MainWindow::applyListPreferences() {
    const Preferences& p = workspace_->preferences;
    list_->setGridlines(p.displayGridlines != 0);
    list_->setFullRowSelect(p.fullRowSelect != 0);
    workspace_->list().setLogicalSort(p.xpSorting != 0);
    model_->setBackground(list_->palette().color(QPalette::Base));
    model_->setColours(p.colourNewNameOk, p.colourNewNameInvalid);
}

void MainWindow::handleArgument(const std::string& argument) {
    std::string path = argument;
    if (!path.empty() && path.front() == '"') {
        path.erase(0, 1);
        if (!path.empty())
            path.pop_back();
    }
    if (path.empty())
        return;
    // One spelling for the tree: ".", ".." and links resolved.
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return; // names nothing: ignored
    const std::string resolved(real);
    std::free(real);
    FileAttributes attributes;
    if (!fs_.attributes(resolved, attributes))
        return;
    if (attributes.kind == FileKind::Folder) {
        tree_->selectNearestFolder(resolved);
        workspace_->criteria.recursive = false;
        return;
    }
    std::string lower = path.size() >= 3 ? path.substr(path.size() - 3) : std::string();
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "vtl")
        loadFavouriteFile(resolved);
}

void MainWindow::restorePlacement() {
    alwaysOnTop_ = settings_.readInt(kMainWindow, "AlwaysOnTop", 0) != 0;
    const auto text = settings_.readText(kMainWindow, "WindowPlacement");
    int v[6] = {};
    if (!text || !parsePlacement(*text, v))
        return; // the designed position and size, Always On Top not applied
    const QRect normal(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
    // A rectangle on no screen (a monitor since removed) is not restored.
    bool visible = false;
    for (const QScreen* screen : QGuiApplication::screens())
        visible = visible || screen->availableGeometry().intersects(normal);
    if (normal.isValid() && visible)
        setGeometry(normal);
    // Show states as the placement record counts them: 2 minimised, 3 maximised.
    placedState_ = v[4] == 3   ? Qt::WindowMaximized
                   : v[4] == 2 ? ((v[5] & 2) != 0 ? Qt::WindowMinimized | Qt::WindowMaximized
                                                  : Qt::WindowMinimized)
                               : Qt::WindowNoState;
    placed_ = true;
    setWindowFlag(Qt::WindowStaysOnTopHint, alwaysOnTop_);
}

void MainWindow::showAsPlaced() {
    if (placedState_ & Qt::WindowMinimized)
        setWindowState(placedState_);
    else if (placedState_ & Qt::WindowMaximized)
        showMaximized();
    else
        show();
    if (!isVisible())
        show();
}

void MainWindow::storePlacement() {
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    const Qt::WindowStates state = windowState();
    const int show = (state & Qt::WindowMinimized) ? 2 : (state & Qt::WindowMaximized) ? 3 : 1;
    const int flags = (state & Qt::WindowMinimized) && (state & Qt::WindowMaximized) ? 2 : 0;
    const QString text = QStringLiteral("%1,%2,%3,%4,%5,%6")
                             .arg(normal.left())
                             .arg(normal.top())
                             .arg(normal.right() + 1)
                             .arg(normal.bottom() + 1)
                             .arg(show)
                             .arg(flags);
    settings_.writeInt(kMainWindow, "AlwaysOnTop", alwaysOnTop_ ? 1 : 0);
    settings_.writeText(kMainWindow, "WindowPlacement", text.toStdString());
}

void MainWindow::bringToFront() {
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    if (QWidget* popup = QApplication::activeModalWidget(); popup != nullptr && popup != this) {
        popup->raise();
        popup->activateWindow();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (workspace_->batchRunning()) {
        // The batch stops after its current item, offers the reversal, and
        // the window closes then.
        cancelBatch_ = true;
        closeAfterBatch_ = true;
        event->ignore();
        return;
    }
    workspace_->stopScan();
    if (exiting_) {
        // File > Exit: nothing of this run's preferences is kept.
        event->accept();
        return;
    }
    Preferences& p = workspace_->preferences;
    const SortState& sort = workspace_->list().sortState();
    p.sortColumn = sort.column;
    p.sortDirection = sort.ascending;
    settings_.savePreferences(p);
    settings_.sync();
    if (p.autoSaveFavouriteOnExit != 0)
        saveFavourite(); // without a current favourite this asks for a name
    event->accept();
}

} // namespace vantrel::gui
