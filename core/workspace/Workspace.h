#pragma once

#include "engine/Preferences.h"
#include "engine/RenameCriteria.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Random.h"
#include "rename/RenameBatch.h"
#include "rename/UndoLog.h"
#include "status/StatusSink.h"
#include "workspace/CriteriaEdits.h"
#include "workspace/FileList.h"
#include "workspace/ScanSession.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace vantrel {

/// What the workspace needs from outside: the file system, the clock, the
/// random source, the status bar, the window's event loop and the type names.
struct WorkspaceServices {
    FileSystem& fs;
    const Clock& clock;
    RandomSource& random;
    StatusSink& status;
    PostToListThread post;
    TypeNameProvider typeNames;
};

/// The main window's state and rules without the window: the criteria, the
/// preferences, the file list with its selection and order, the scan, the
/// coalesced preview refresh, the commands and when each may run, rename
/// and undo. The GUI shows this state and forwards the user's choices; the
/// tests drive it directly.
class Workspace final : private ScanEvents {
public:
    explicit Workspace(WorkspaceServices services);
    ~Workspace() override;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    RenameCriteria criteria;
    Preferences preferences;

    [[nodiscard]] FileList& list() { return list_; }
    [[nodiscard]] const FileList& list() const { return list_; }
    [[nodiscard]] const UndoLog& undoLog() const { return undoLog_; }
    [[nodiscard]] ScanSession& scan() { return scan_; }

    /// Clear while the window builds itself: no refresh and no scan starts.
    [[nodiscard]] bool windowReady() const { return windowReady_; }
    void setWindowReady(bool ready) { windowReady_ = ready; }

    /// A preview refresh is wanted: one is posted unless one is pending
    /// already, so a burst of requests costs one refresh. Nothing happens
    /// before the window is ready.
    void requestRefresh();
    /// Whether a posted refresh has yet to run.
    [[nodiscard]] bool refreshPending() const { return refreshPending_; }
    /// Recomputes the preview now; answers every request made so far.
    void refreshPreview();

    /// The user changed a criteria control: applies the change rules, then
    /// rescans (Selections) or asks for a refresh.
    EditOutcome edit(const CriteriaField& field, std::string_view value);
    /// The "R" button of a panel, or with `all` the Reset button: resets and
    /// asks for one refresh (a rescan when what is listed changed).
    void resetPanel(Panel panel);
    void resetAll();

    /// The folder that is listed (the tree's selection); "Folder: ..." names it.
    void setFolder(std::string path) { folder_ = std::move(path); }
    [[nodiscard]] const std::string& folder() const { return folder_; }
    /// Refresh Files: reads the folder again with the current Selections.
    void rescan();
    /// Reads the folder again and keeps `message` in view instead of the
    /// scan's texts (after a reversal, whose outcome the user must see).
    void rescanKeeping(const std::string& message);
    /// Stops a running scan and waits for it (a new selection, closing).
    void stopScan() { scan_.stop(); }

    void selectAll();
    void deselectAll();
    /// The user's selection in the list changed (rows [first, last]).
    void selectionChanged(std::size_t first, std::size_t last, bool selected);
    /// Sort commands; the preview follows the new order.
    void sortByColumn(int column);
    void randomSort();
    /// A row dragged onto row `to` (or past the end); the numbering follows.
    void moveRow(std::size_t from, std::size_t to);
    /// The toggles whose effect the preview shows at once.
    void setIgnoreFolderExtensions(bool on);

    /// Whether a rename batch is running (the window processes only paint
    /// events meanwhile).
    [[nodiscard]] bool batchRunning() const { return batchRunning_; }
    /// Whether the Rename button and Undo Rename can be used now.
    [[nodiscard]] bool canRename() const { return list_.selectedCount() > 0; }
    [[nodiscard]] bool canUndo() const { return !undoLog_.empty(); }

    /// The Rename command over the selected rows (an edited name: the row
    /// gets it as new name and is selected first). Rows that scans deliver
    /// meanwhile wait until the batch has ended. Afterwards the list shows
    /// the new names, and is read again when the batch says so.
    RenameOutcome rename(RenameUi& ui, RenameProgress* progress, RenameJournal* journal,
                         const std::atomic<bool>* cancel = nullptr);
    /// Edit in place: the text becomes the row's new name and the row is
    /// selected; false when it is empty or unchanged (nothing to rename).
    bool prepareNameEdit(std::size_t row, const std::string& text);
    /// Undo Rename: reverses the last batch newest first, then reads the
    /// folder again. The status tells how it went.
    UndoOutcome undo();

    /// Rewrites the statistics pane (and with it the Rename button).
    void updateStatistics();

    /// Called after every scan has ended and after every preview refresh,
    /// for a window that shows more than the status bar (and for tests).
    std::function<void()> afterScan;
    std::function<void()> afterRefresh;
    /// Called when a scan has started (the list is empty now).
    std::function<void()> scanStarted;
    /// The rows the window shows now (first, last); none when it shows none.
    /// With a big selection, a criteria edit gives these rows their new
    /// names at once, and the refresh of the whole list follows.
    std::function<std::optional<std::pair<std::size_t, std::size_t>>()> visibleRows;
    /// Called when the rows in view have their new names ahead of the
    /// refresh (for the window to paint them now).
    std::function<void()> afterVisibleRows;

private:
    /// With a big selection: the rows in view get their new names now.
    void showVisibleRowsFirst();
    /// Shows `message` and keeps it in view while the rescan that follows
    /// a reversal runs, instead of the scan's own texts.
    void keepMessage(const std::string& message);
    void scanProgress(const std::string& folder) override;
    void scanFinished() override;

    WorkspaceServices services_;
    FileList list_;
    ScanSession scan_;
    UndoLog undoLog_;
    std::string folder_;
    bool windowReady_ = false;
    bool refreshPending_ = false;
    bool quietScan_ = false;
    std::string keptMessage_;
    bool batchRunning_ = false;
};

} // namespace vantrel
