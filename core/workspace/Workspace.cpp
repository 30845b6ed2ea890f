#include "workspace/Workspace.h"

#include "engine/PreviewRefresh.h"

namespace vantrel {
namespace {

/// Passes status texts on and remembers the latest message, so that a
/// rescan that follows (and clears the message pane) can show it again.
class RememberingStatus final : public StatusSink {
public:
    explicit RememberingStatus(StatusSink& to) : to_(to) {}
    void setStatusMessage(std::string_view text) override {
        message = text;
        to_.setStatusMessage(text);
    }
    void setFavouriteName(std::string_view text) override { to_.setFavouriteName(text); }
    void updateStatistics(std::size_t objects, std::size_t selected) override {
        to_.updateStatistics(objects, selected);
    }
    std::string message;

private:
    StatusSink& to_;
};

} // namespace

Workspace::Workspace(WorkspaceServices services)
    : services_(std::move(services)), list_(services_.random),
      scan_(services_.fs, services_.typeNames, list_, services_.post, *this) {}

Workspace::~Workspace() {
    scan_.stop();
}

void Workspace::requestRefresh() {
    // A batch reads the new names as they stand: none may change under it.
    if (!windowReady_ || refreshPending_ || batchRunning_)
        return;
    refreshPending_ = true;
    services_.post([this] {
        // A refresh that ran meanwhile answered this request already.
        if (refreshPending_)
            refreshPreview();
    });
}

void Workspace::refreshPreview() {
    if (batchRunning_)
        return;
    refreshPending_ = false;
    (void)vantrel::refreshPreview(criteria, preferences, list_, services_.status, services_.clock,
                                  &services_.fs);
    list_.previewDone();
    if (afterRefresh)
        afterRefresh();
}

EditOutcome Workspace::edit(const CriteriaField& field, std::string_view value) {
    EditOutcome outcome = applyCriteriaEdit(criteria, field, value);
    if (!windowReady_)
        return outcome;
    if (outcome.rescan) {
        rescan();
    } else {
        showVisibleRowsFirst();
        requestRefresh();
    }
    return outcome;
}

void Workspace::showVisibleRowsFirst() {
    // Below this many selected rows the whole refresh answers a keystroke
    // in a few milliseconds.
    constexpr std::size_t kVisibleFirstFrom = 10'000;
    if (batchRunning_ || !visibleRows || list_.selectedCount() < kVisibleFirstFrom)
        return;
    const auto rows = visibleRows();
    if (!rows || rows->first > rows->second)
        return;
    // Their names are exact (the counter goes by their place among the
    // selected); their conflicts come with the refresh.
    const auto [first, last] = list_.selectedWithin(rows->first, rows->second);
    if (first >= last)
        return;
    previewPart(criteria, preferences, list_, services_.clock, first, last);
    list_.newNamesShown(rows->first, rows->second);
    if (afterVisibleRows)
        afterVisibleRows();
}

void Workspace::resetPanel(Panel panel) {
    const RenameCriteria before = criteria;
    vantrel::resetPanel(criteria, panel);
    if (panel == Panel::Selections && criteria != before && windowReady_)
        rescan();
    else
        requestRefresh();
}

void Workspace::resetAll() {
    const RenameCriteria before = criteria;
    resetAllPanels(criteria);
    RenameCriteria listed = before;
    vantrel::resetPanel(listed, Panel::Selections);
    // What is listed changed exactly when the Selections did.
    if (listed != before && windowReady_)
        rescan();
    else
        requestRefresh();
}

void Workspace::keepMessage(const std::string& message) {
    services_.status.setStatusMessage(message);
    keptMessage_ = message;
    quietScan_ = true;
}

void Workspace::rescanKeeping(const std::string& message) {
    rescan();
    keepMessage(message);
}

void Workspace::rescan() {
    quietScan_ = false;
    scan_.stop();
    (void)scan_.start(makeScanRequest(criteria, preferences, folder_));
    if (scanStarted)
        scanStarted();
    updateStatistics();
    if (windowReady_)
        refreshPreview();
}

void Workspace::selectAll() {
    list_.selectAll();
    updateStatistics();
    services_.status.setStatusMessage({});
    refreshPreview();
}

void Workspace::deselectAll() {
    list_.deselectAll();
    updateStatistics();
    services_.status.setStatusMessage({});
    refreshPreview();
}

void Workspace::selectionChanged(std::size_t first, std::size_t last, bool selected) {
    list_.setSelected(first, last, selected);
    updateStatistics();
    requestRefresh();
}

void Workspace::sortByColumn(int column) {
    list_.setSortColumn(column, true);
    requestRefresh();
}

void Workspace::randomSort() {
    list_.randomSort();
    requestRefresh();
}

void Workspace::moveRow(std::size_t from, std::size_t to) {
    list_.moveRow(from, to);
    requestRefresh();
}

void Workspace::setIgnoreFolderExtensions(bool on) {
    preferences.ignoreFolderExtensions = on ? 1 : 0;
    requestRefresh();
}

RenameOutcome Workspace::rename(RenameUi& ui, RenameProgress* progress, RenameJournal* journal,
                                const std::atomic<bool>* cancel) {
    // The batch renames what the preview shows: a refresh still pending runs first.
    if (refreshPending_)
        refreshPreview();
    // The batch holds pointers into the list: nothing may be appended meanwhile.
    scan_.holdDeliveries(true);
    batchRunning_ = true;
    RenameRequest request = list_.renameRequest(criteria.newLocation, criteria.recursive);
    request.progress = progress;
    request.cancel = cancel;
    RememberingStatus status(services_.status);
    RenameOutcome outcome =
        runRenameBatch(request, preferences, services_.fs, ui, status, undoLog_, journal);
    batchRunning_ = false;
    list_.namesChanged();
    scan_.holdDeliveries(false);
    if (outcome.refreshFiles)
        rescanKeeping(status.message);
    return outcome;
}

bool Workspace::prepareNameEdit(std::size_t row, const std::string& text) {
    if (row >= list_.size() || text.empty() || text == list_.entry(row).name())
        return false;
    list_.setRowNewName(row, text);
    list_.setSelected(row, row, true);
    updateStatistics();
    return true;
}

UndoOutcome Workspace::undo() {
    RememberingStatus status(services_.status);
    UndoOutcome outcome = undoRename(undoLog_, services_.fs, status);
    // The list shows the disk as it now is; the undo's text stays in view.
    rescanKeeping(status.message);
    return outcome;
}

void Workspace::updateStatistics() {
    services_.status.updateStatistics(list_.size(), list_.selectedCount());
}

void Workspace::scanProgress(const std::string& folder) {
    if (!quietScan_)
        services_.status.setStatusMessage(scanProgressText(folder));
    updateStatistics();
}

void Workspace::scanFinished() {
    // The final sort changed the order, and with it the numbering of the
    // rows selected as they came; the refresh comes before the scan's last
    // text, which it would clear.
    if (list_.selectedCount() > 0 && windowReady_)
        refreshPreview();
    updateStatistics();
    std::string text = scanDoneText(folder_);
    // What was left out is said, never passed over.
    if (const auto [count, first] = scan_.unreadable(); count > 0)
        text += " (" + std::to_string(count) + (count == 1 ? " entry" : " entries") +
                " could not be read: " + first + ")";
    services_.status.setStatusMessage(quietScan_ ? keptMessage_ : text);
    if (afterScan)
        afterScan();
}

} // namespace vantrel
