#pragma once

#include "SettingsStore.h"
#include "foldertree/TreeRoot.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Random.h"
#include "workspace/Workspace.h"

#include <QColor>
#include <QMainWindow>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QSplitter;

namespace vantrel::gui {

class CriteriaPanels;
class FileListModel;
class FileListView;
class FolderTree;
class GuiStatus;

/// A command of the window's menus: its number, text, shortcut, when it
/// may run and what it does. The menus and shortcuts are made from a table
/// of these.
struct WindowCommand {
    int id;
    const char* text;
    const char* shortcut; ///< empty when there is none
    bool (*enabled)(const class MainWindow&);
    void (MainWindow::*run)();
};

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

    [[nodiscard]] Workspace& workspace() { return *workspace_; }
    [[nodiscard]] const Workspace& workspace() const { return *workspace_; }
    [[nodiscard]] FolderTree* folderTree() const { return tree_; }
    [[nodiscard]] FileListView* fileList() const { return list_; }
    [[nodiscard]] CriteriaPanels* panels() const { return panels_; }
    [[nodiscard]] GuiStatus& status() const { return *status_; }
    /// The menu command with the given number, or null.
    [[nodiscard]] QAction* command(int id) const;
    /// Re-evaluates every command's enable rule.
    void updateCommands();

    // Commands.
    void selectAll();
    void deselectAll();
    void refreshFiles();
    void refreshTree();
    void undoRename();
    void randomSort();
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

    void fieldEdited(const CriteriaField* field, const QString& value);
    void resetPanel(int panel);
    void resetAll();
    void browseNewLocation();
    void treeSelectionChanged();
    void sortRequested(int column);
    void folderActivated(int row);
    void copyName(bool withExtension);
    void nameEdited(int row, const QString& text);
    void showHighlights();

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
    /// The highlight colour as it was at start-up: a change needs a restart.
    QColor activeColour_;
    bool alwaysOnTop_ = false;
    Qt::WindowStates placedState_ = Qt::WindowNoState;
    bool placed_ = false;
    std::atomic<bool> cancelBatch_{false};
    bool closeAfterBatch_ = false;
};

} // namespace vantrel::gui
