#pragma once

#include "SettingsStore.h"
#include "app/Commands.h"
#include "foldertree/TreeRoot.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Random.h"
#include "workspace/FavouriteCommands.h"
#include "workspace/Workspace.h"

#include <QColor>
#include <QMainWindow>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QSplitter;

namespace vantrel::gui {

class CriteriaPanels;
class FileListModel;
class FileListView;
class FolderTree;
class GuiStatus;
class HelpSystem;

/// The program's window: the folder tree and the file list side by side,
/// the twelve criteria panels below, the status bar at the bottom. It shows
/// the workspace's state and forwards the user's actions to it.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    /// `settings` and `fs` must outlive the window.
    MainWindow(qtsupport::SettingsStore& settings, FileSystem& fs, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// The start-up sequence up to the first scan: tree, preferences, the
    /// command line's folder or favourites file, the stored sort, placement
    /// and splitter; then the window is ready and the tree's folder is read.
    void initialise(const std::string& argument, std::vector<TreeRoot> roots = defaultTreeRoots());
    /// Shows the window as it was placed when it was last closed.
    void showAsPlaced();
    /// Brings the window, or the popup it has open, to the front (another
    /// copy of the program was started).
    void bringToFront();
    /// When the journal holds a batch that never finished (the program
    /// that ran it died), says so and offers to reverse it; the answer and
    /// its outcome are reported as undo reports them. Run once the window shows.
    void offerToReverseInterruptedBatch();
    /// Shows the Tip of the Day when its "show at start-up" box is ticked.
    void tipAtStartUp();

    [[nodiscard]] Workspace& workspace() { return *workspace_; }
    [[nodiscard]] const Workspace& workspace() const { return *workspace_; }
    [[nodiscard]] FolderTree* folderTree() const { return tree_; }
    [[nodiscard]] FileListView* fileList() const { return list_; }
    [[nodiscard]] CriteriaPanels* panels() const { return panels_; }
    [[nodiscard]] GuiStatus& status() const { return *status_; }
    /// The menu command with the given number, or null.
    [[nodiscard]] QAction* command(int id) const;
    /// The state the commands' rules look at now.
    [[nodiscard]] CommandState commandState() const;
    /// Re-evaluates every command's enable and check rule.
    void updateCommands();
    /// The recently used favourites, newest first.
    [[nodiscard]] const RecentFiles& recentFiles() const { return recent_; }

    // Commands of the menus.
    void openFavourite();
    void saveFavourite();
    void saveFavouriteAs();
    void openRecentFavourite(const std::string& path);
    void exit();
    void selectAll();
    void deselectAll();
    void jumpToPath();
    void refreshFiles();
    void refreshTree();
    void undoRename();
    void zoom();
    void randomSort();
    void toggleAlwaysOnTop();
    void applyListLook();
    void showHighlights();
    void previewFolderExtensions();
    void chooseOkColour();
    void chooseInvalidColour();
    void chooseActiveCriteriaColour();
    void helpContents();
    void helpIndex();
    void helpSearch();
    void tipOfTheDay();
    void checkForUpdates();
    void about();
    /// The Rename button.
    void rename();

signals:
    /// The start-up sequence has finished; the first scan runs.
    void ready();
    /// A scan ended (the list is sorted and complete).
    void scanFinished();
    /// The preview was recomputed.
    void previewRefreshed();
    /// A rename batch or an undo ended.
    void batchFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void buildMenus();
    void connectParts();
    void loadPreferences(const std::string& argument);
    void handleArgument(const std::string& argument);
    void restorePlacement();
    void storePlacement();
    void applyListPreferences();

    void runCommand(const CommandDef& command);
    /// Asks for a colour starting from `value`; stores it unless cancelled.
    bool pickColour(std::uint32_t& value);
    HelpSystem& help();
    void reportUndoFailures(const UndoOutcome& outcome);
    void rebuildRecentMenu();
    void storeRecentFiles();
    /// Loads a favourites file into the criteria and makes it current; the
    /// tree moves to its stored folder when Store Pathname says so.
    void loadFavouriteFile(const std::string& path);
    bool saveFavouriteFile(const std::string& path);
    void showFavouriteName();
    /// The zoomable text field that has the focus, or null.
    [[nodiscard]] QWidget* focusedZoomable() const;

    void fieldEdited(const CriteriaField* field, const QString& value);
    void resetPanel(int panel);
    void resetAll();
    void browseNewLocation();
    void treeSelectionChanged();
    void sortRequested(int column);
    void folderActivated(int row);
    void copyName(bool withExtension);
    void nameEdited(int row, const QString& text);

    qtsupport::SettingsStore& settings_;
    FileSystem& fs_;
    SystemClock clock_;
    SystemRandom random_;
    std::unique_ptr<GuiStatus> status_;
    std::unique_ptr<Workspace> workspace_;
    FolderTree* tree_ = nullptr;
    FileListModel* model_ = nullptr;
    FileListView* list_ = nullptr;
    CriteriaPanels* panels_ = nullptr;
    QSplitter* splitter_ = nullptr;
    std::vector<std::pair<int, QAction*>> commands_;
    QMenu* fileMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    std::vector<QAction*> recentActions_;
    RecentFiles recent_;
    bool exiting_ = false;
    HelpSystem* help_ = nullptr;
    QMetaObject::Connection focusWatch_; ///< cut first when the window goes
    std::string lastBatch_; ///< the identity of the journal's batch this window wrote last
    /// The highlight colour as it was at start-up: a change needs a restart.
    QColor activeColour_;
    bool alwaysOnTop_ = false;
    Qt::WindowStates placedState_ = Qt::WindowNoState;
    bool placed_ = false;
    std::atomic<bool> cancelBatch_{false};
    bool closeAfterBatch_ = false;
};

} // namespace vantrel::gui
