// The menu bar made from the command table, and the commands of the menus:
// favourites, the options, the colours, the small dialogs, help and About.
#include "app/GuiStatus.h"
#include "app/MainWindow.h"
#include "dialogs/Prompter.h"
#include "dialogs/SmallDialogs.h"
#include "dialogs/TipOfTheDayDialog.h"
#include "favourites/FavouriteFile.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "foldertree/FolderTree.h"
#include "help/HelpSystem.h"
#include "layout/Colours.h"
#include "panels/CriteriaPanels.h"
#include "workspace/ProductInfo.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>
#include <QWhatsThis>

#include <cstdlib>
#include <map>

namespace vantrel::gui {
namespace {

constexpr std::string_view kRecentSection = "Recent File List";
constexpr std::size_t kRecentCount = 8;

// The criteria text fields that Zoom shows in its wide box.
constexpr std::string_view kZoomable[] = {
    "regexMatch", "regexReplace", "fixedName",   "replaceText", "replaceWith", "prefix",
    "suffix",     "filter",       "removeChars", "insertText",  "removeWords", "dateCustom"};

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

std::uint32_t toColourRef(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
           static_cast<std::uint32_t>(c.blue()) << 16;
}

} // namespace

void MainWindow::buildMenus() {
    std::map<std::string_view, QMenu*> menus;
    std::map<std::pair<std::string_view, std::string_view>, QMenu*> submenus;
    for (const CommandDef& c : commandTable()) {
        QMenu*& menu = menus[c.menu];
        if (menu == nullptr) {
            menu = menuBar()->addMenu(toQString(c.menu));
            menu->setObjectName(QStringLiteral("menu") +
                                toQString(c.menu).remove(QLatin1Char('&')));
            // Every item shows its state by its rule when its menu opens.
            connect(menu, &QMenu::aboutToShow, this, &MainWindow::updateCommands);
        }
        QMenu* into = menu;
        if (!c.submenu.empty()) {
            QMenu*& sub = submenus[{c.menu, c.submenu}];
            if (sub == nullptr) {
                sub = menu->addMenu(toQString(c.submenu));
                sub->setObjectName(QStringLiteral("menu") +
                                   toQString(c.submenu).remove(QLatin1Char('&')));
                connect(sub, &QMenu::aboutToShow, this, &MainWindow::updateCommands);
            }
            into = sub;
        }
        switch (c.line) {
        case MenuLine::Separator:
            into->addSeparator();
            break;
        case MenuLine::RecentFiles:
            fileMenu_ = into;
            recentSeparator_ = into->actions().isEmpty() ? nullptr : into->actions().constLast();
            break;
        case MenuLine::Command: {
            QAction* action = into->addAction(toQString(c.text));
            action->setObjectName(QStringLiteral("command%1").arg(c.id));
            if (!c.shortcut.empty())
                action->setShortcut(QKeySequence(toQString(c.shortcut)));
            action->setCheckable(c.checked != nullptr);
            const CommandDef* def = &c;
            connect(action, &QAction::triggered, this, [this, def] { runCommand(*def); });
            commands_.emplace_back(c.id, action);
            break;
        }
        }
    }
    QMenu* help = menus[std::string_view("&Help")];
    QAction* whatsThis = QWhatsThis::createAction(this);
    whatsThis->setObjectName(QStringLiteral("whatsThis"));
    help->addAction(whatsThis);
    // Zoom follows the focus, so that F8 works exactly in the zoomable fields.
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this] {
        if (QAction* z = command(32799))
            z->setEnabled(focusedZoomable() != nullptr);
    });
    updateCommands();
}

QAction* MainWindow::command(int id) const {
    for (const auto& [number, action] : commands_)
        if (number == id)
            return action;
    return nullptr;
}

CommandState MainWindow::commandState() const {
    CommandState state{workspace_->preferences};
    state.undoAvailable = workspace_->canUndo();
    state.focusInZoomable = focusedZoomable() != nullptr;
    state.alwaysOnTop = alwaysOnTop_;
    return state;
}

void MainWindow::updateCommands() {
    const CommandState state = commandState();
    for (const auto& [id, action] : commands_) {
        const CommandDef* c = findCommand(id);
        action->setEnabled(commandEnabled(*c, state));
        if (action->isCheckable())
            action->setChecked(commandChecked(*c, state));
    }
}

void MainWindow::runCommand(const CommandDef& c) {
    // A disabled command does nothing, whichever way it is reached.
    if (!commandEnabled(c, commandState()) || workspace_->batchRunning()) {
        updateCommands();
        return;
    }
    if (c.toggles != nullptr) {
        std::int32_t& flag = workspace_->preferences.*c.toggles;
        flag = flag != 0 ? 0 : 1;
    }
    if (c.run != nullptr)
        (this->*c.run)();
    updateCommands();
}

QWidget* MainWindow::focusedZoomable() const {
    const QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr)
        return nullptr;
    for (const std::string_view name : kZoomable) {
        QWidget* field = panels_->control(*findCriteriaField(name));
        if (field == focus)
            return field;
    }
    return nullptr;
}

// Favourites.

void MainWindow::showFavouriteName() {
    const std::string& path = workspace_->preferences.favouritePath;
    if (!path.empty())
        status_->setFavouriteName(favouriteBaseName(path));
}

void MainWindow::loadFavouriteFile(const std::string& path) {
    std::string storedFolder;
    // A file that cannot be read loads as all defaults, as a first run does.
    (void)vantrel::loadFavourite(fs_, path, workspace_->criteria, &storedFolder);
    workspace_->preferences.favouritePath = path;
    if (!path.empty()) {
        recent_.add(path);
        rebuildRecentMenu();
        showFavouriteName();
    }
    if (workspace_->preferences.storeFavouritePathnames != 0 || tree_->selectedPath().empty())
        if (!storedFolder.empty())
            tree_->selectNearestFolder(storedFolder);
    panels_->showAll(workspace_->criteria);
    showHighlights();
}

bool MainWindow::saveFavouriteFile(const std::string& path) {
    const Result saved =
        vantrel::saveFavourite(fs_, path, workspace_->criteria, tree_->selectedPath());
    workspace_->preferences.favouritePath = path;
    recent_.add(path);
    rebuildRecentMenu();
    showFavouriteName();
    if (!saved) {
        // A favourite that was not written must never pass for saved.
        const QString text = toQString(saved.error().text());
        status_->setStatusMessage(saved.error().text());
        Prompter::message(this, QMessageBox::Warning, text, QMessageBox::Ok);
        return false;
    }
    return true;
}

void MainWindow::openFavourite() {
    const QString chosen =
        Prompter::chooseFavourite(this, false, toQString(workspace_->preferences.favouritePath));
    if (chosen.isEmpty()) {
        status_->setStatusMessage(kOpenFavouriteCancelled);
        return;
    }
    loadFavouriteFile(toBytes(chosen));
    status_->setStatusMessage(favouriteOpenedText(toBytes(QFileInfo(chosen).fileName())));
    workspace_->rescan();
}

void MainWindow::openRecentFavourite(const std::string& path) {
    if (!QFileInfo(toQString(path)).isFile()) {
        Prompter::message(this, QMessageBox::Warning, toQString(kRecentFavouriteMissing),
                          QMessageBox::Ok);
        recent_.remove(path);
        rebuildRecentMenu();
        return;
    }
    loadFavouriteFile(path);
    status_->setStatusMessage(favouriteOpenedText(path));
    // What is listed follows the loaded Selections.
    workspace_->rescan();
    status_->setStatusMessage(favouriteOpenedText(path));
}

void MainWindow::saveFavourite() {
    const std::string path = workspace_->preferences.favouritePath;
    if (path.empty()) {
        saveFavouriteAs();
        return;
    }
    if (saveFavouriteFile(path))
        status_->setStatusMessage(favouriteSavedText(path));
}

void MainWindow::saveFavouriteAs() {
    const QString chosen =
        Prompter::chooseFavourite(this, true, toQString(workspace_->preferences.favouritePath));
    if (chosen.isEmpty()) {
        status_->setStatusMessage(kSaveFavouriteAsCancelled);
        return;
    }
    const std::string path = toBytes(chosen);
    if (saveFavouriteFile(path))
        status_->setStatusMessage(favouriteSavedAsText(path));
}

void MainWindow::rebuildRecentMenu() {
    if (fileMenu_ == nullptr)
        return;
    for (QAction* a : recentActions_)
        fileMenu_->removeAction(a), a->deleteLater();
    recentActions_.clear();
    // The entries stand between the two separators above Exit.
    QAction* before = nullptr;
    const QList<QAction*> actions = fileMenu_->actions();
    const int at =
        recentSeparator_ != nullptr ? static_cast<int>(actions.indexOf(recentSeparator_)) : -1;
    if (at >= 0 && at + 1 < actions.size())
        before = actions[at + 1];
    int n = 0;
    for (const std::string& path : recent_.paths()) {
        ++n;
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(n).arg(toQString(path)), fileMenu_);
        action->setObjectName(QStringLiteral("recent%1").arg(n));
        connect(action, &QAction::triggered, this, [this, path] { openRecentFavourite(path); });
        fileMenu_->insertAction(before, action);
        recentActions_.push_back(action);
    }
}

void MainWindow::storeRecentFiles() {
    for (std::size_t i = 0; i < kRecentCount; ++i) {
        const std::string key = "File" + std::to_string(i + 1);
        settings_.writeText(kRecentSection, key,
                            i < recent_.paths().size() ? recent_.paths()[i] : std::string());
    }
}

void MainWindow::exit() {
    // Ends at once: neither the preferences nor the favourite are saved.
    exiting_ = true;
    close();
}

// Actions.

void MainWindow::jumpToPath() {
    JumpToPathDialog dialog(toQString(tree_->selectedPath()), this);
    if (Prompter::exec(dialog) != QDialog::Accepted) {
        status_->setStatusMessage(kJumpCancelled);
        return;
    }
    const std::string path = toBytes(dialog.path());
    // One spelling for the tree: ".", ".." and links resolved.
    char* real = ::realpath(path.c_str(), nullptr);
    tree_->selectNearestFolder(real != nullptr ? std::string(real) : path);
    std::free(real);
    status_->setStatusMessage("Jumped to " + path);
}

void MainWindow::zoom() {
    QWidget* field = focusedZoomable();
    auto* edit = qobject_cast<QLineEdit*>(field);
    if (edit == nullptr)
        return;
    ZoomTextDialog dialog(edit->text(), this);
    if (Prompter::exec(dialog) != QDialog::Accepted)
        return;
    // An ordinary change of the field: the criteria and the preview follow.
    edit->setText(dialog.text());
    for (const CriteriaField& f : criteriaFields())
        if (panels_->control(f) == field)
            fieldEdited(&f, dialog.text());
}

// Options.

void MainWindow::toggleAlwaysOnTop() {
    alwaysOnTop_ = !alwaysOnTop_;
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, alwaysOnTop_);
    if (shown)
        show(); // changing the flag hides the window
}

void MainWindow::applyListLook() {
    applyListPreferences();
}

void MainWindow::previewFolderExtensions() {
    workspace_->setIgnoreFolderExtensions(workspace_->preferences.ignoreFolderExtensions != 0);
}

bool MainWindow::pickColour(std::uint32_t& value) {
    const QColor c = Prompter::chooseColour(this, colourFromRef(value));
    if (!c.isValid())
        return false; // cancelled: the preference keeps its value
    value = toColourRef(c);
    return true;
}

void MainWindow::chooseOkColour() {
    if (pickColour(workspace_->preferences.colourNewNameOk))
        applyListPreferences();
}

void MainWindow::chooseInvalidColour() {
    if (pickColour(workspace_->preferences.colourNewNameInvalid))
        applyListPreferences();
}

void MainWindow::chooseActiveCriteriaColour() {
    // Stored at the close command, shown from the next start on.
    if (pickColour(workspace_->preferences.colourActiveCriteriaBack))
        Prompter::message(this, QMessageBox::NoIcon, toQString(kColourNeedsRestart),
                          QMessageBox::Ok);
}

// Help.

HelpSystem& MainWindow::help() {
    // Made on first use: a run that never asks for help never opens it.
    if (!help_)
        help_ = new HelpSystem(this);
    return *help_;
}

void MainWindow::helpContents() {
    (void)help().showContents();
}

void MainWindow::helpIndex() {
    (void)help().showIndex();
}

void MainWindow::helpSearch() {
    (void)help().showSearch();
}

void MainWindow::tipOfTheDay() {
    showTipOfTheDay(settings_, fs_, this);
}

void MainWindow::tipAtStartUp() {
    if (tipWantedAtStartUp(settings_))
        tipOfTheDay();
}

void MainWindow::checkForUpdates() {
    const ProductInfo& info = productInfo();
    QDesktopServices::openUrl(QUrl(toQString(updateAddress(info.homePage, info.version))));
}

void MainWindow::about() {
    AboutDialog dialog(this);
    Prompter::exec(dialog);
}

} // namespace vantrel::gui
