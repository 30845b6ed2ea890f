// What the window does when the user acts: criteria edits, resets, the
// list's interactions, the commands, rename and undo.
#include "app/GuiRenameUi.h"
#include "app/GuiStatus.h"
#include "app/MainWindow.h"
#include "dialogs/Prompter.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "foldertree/FolderTree.h"
#include "panels/CriteriaPanels.h"
#include "rename/Journal.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace vantrel::gui {
namespace {

QString toQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace

void MainWindow::showHighlights() {
    panels_->updateHighlights(workspace_->criteria,
                              workspace_->preferences.highlightActiveCriteria != 0, activeColour_);
}

void MainWindow::fieldEdited(const CriteriaField* field, const QString& value) {
    const EditOutcome outcome = workspace_->edit(*field, toBytes(value));
    panels_->showFields(workspace_->criteria, outcome.alsoChanged);
    if (field->panel != Panel::Selections)
        panels_->updateHighlight(workspace_->criteria, field->panel,
                                 workspace_->preferences.highlightActiveCriteria != 0,
                                 activeColour_);
}

void MainWindow::resetPanel(int panel) {
    const auto p = static_cast<Panel>(panel);
    workspace_->resetPanel(p);
    panels_->showPanel(workspace_->criteria, p);
    showHighlights();
}

void MainWindow::resetAll() {
    workspace_->resetAll();
    panels_->showAll(workspace_->criteria);
    showHighlights();
}

void MainWindow::browseNewLocation() {
    const QString chosen = Prompter::chooseFolder(this, QStringLiteral("New Location"),
                                                  toQString(workspace_->criteria.newLocation));
    if (chosen.isEmpty())
        return; // cancelled: the text stays
    fieldEdited(findCriteriaField("newLocation"), chosen);
    panels_->showPanel(workspace_->criteria, Panel::NewLocation);
}

void MainWindow::treeSelectionChanged() {
    // The running scan is stopped and joined before the next one starts.
    workspace_->setFolder(tree_->selectedPath());
    if (workspace_->windowReady())
        workspace_->rescan();
}

void MainWindow::sortRequested(int column) {
    workspace_->sortByColumn(column);
    const SortState& sort = workspace_->list().sortState();
    list_->setSortArrow(sort.column, sort.ascending != 0);
}

void MainWindow::folderActivated(int row) {
    const FileList& list = workspace_->list();
    if (row < 0 || static_cast<std::size_t>(row) >= list.size())
        return;
    tree_->selectNearestFolder(list.entry(static_cast<std::size_t>(row)).itemPath());
}

void MainWindow::copyName(bool withExtension) {
    const FileList& list = workspace_->list();
    const auto mark = list.selectionMark();
    if (!mark)
        return;
    std::string name = list.entry(*mark).name();
    if (!withExtension) {
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos)
            name.resize(dot);
    }
    QApplication::clipboard()->setText(toQString(name));
}

void MainWindow::nameEdited(int row, const QString& text) {
    // After the editor has closed: the batch asks its questions in dialogs.
    QTimer::singleShot(0, this, [this, row, text] {
        if (row >= 0 && workspace_->prepareNameEdit(static_cast<std::size_t>(row), toBytes(text)))
            rename();
    });
}

void MainWindow::selectAll() {
    list_->setFocus();
    workspace_->selectAll();
}

void MainWindow::deselectAll() {
    list_->setFocus();
    workspace_->deselectAll();
}

void MainWindow::refreshFiles() {
    workspace_->rescan();
}

void MainWindow::refreshTree() {
    // Rebuilding announces the selection, which reads the folder again.
    tree_->refreshTree();
}

void MainWindow::randomSort() {
    workspace_->randomSort();
}

void MainWindow::rename() {
    if (workspace_->batchRunning())
        return;
    GuiRenameUi ui(this,
                   [this] { panels_->control(*findCriteriaField("newLocation"))->setFocus(); });
    const std::string journalPath = defaultJournalPath();
    std::unique_ptr<FileJournal> journal;
    if (!journalPath.empty())
        journal = std::make_unique<FileJournal>(fs_, journalPath);
    cancelBatch_ = false;
    const RenameOutcome outcome = workspace_->rename(ui, &ui, journal.get(), &cancelBatch_);
    if (journal && !journal->writeFailure().ok())
        Prompter::message(this, QMessageBox::Warning,
                          QStringLiteral("The undo journal is incomplete; an undo after a crash "
                                         "may leave renames in place:\n") +
                              toQString(journal->writeFailure().error().text()),
                          QMessageBox::Ok);
    // The in-window undo later empties this batch's journal, and only it.
    if (journal)
        lastBatch_ = journal->batch();
    updateCommands();
    emit batchFinished();
    if (closeAfterBatch_) {
        closeAfterBatch_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void MainWindow::offerToReverseInterruptedBatch() {
    const std::string path = defaultJournalPath();
    JournalContents contents;
    if (path.empty() || !inspectJournal(fs_, path, contents))
        return;
    // A finished batch is the ordinary case; one held by a running program is its business.
    if (contents.finished || contents.heldByOther || contents.log.empty())
        return;
    const QString question =
        QStringLiteral("The last rename batch did not finish: the program that ran it ended while "
                       "it worked. %1 of its renames are recorded in %2.\n\nWould you like to "
                       "reverse the entries which were renamed?")
            .arg(contents.log.pairs().size())
            .arg(toQString(path));
    if (Prompter::message(this, QMessageBox::Question, question,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return; // kept: it can still be reversed later
    QApplication::setOverrideCursor(Qt::WaitCursor);
    JournalUndo undo;
    const Result done = undoJournal(fs_, path, *status_, undo, contents.batch);
    QApplication::restoreOverrideCursor();
    if (!done) {
        status_->setStatusMessage(done.error().text());
        Prompter::message(this, QMessageBox::Warning, toQString(done.error().text()),
                          QMessageBox::Ok);
        return;
    }
    reportUndoFailures(undo.outcome);
    workspace_->rescanKeeping(toBytes(status_->messagePane()->text()));
}

void MainWindow::reportUndoFailures(const UndoOutcome& outcome) {
    if (outcome.failures.empty())
        return;
    QString text = QStringLiteral("These changes could not be reversed:");
    for (const UndoFailure& f : outcome.failures)
        text += QStringLiteral("\n'%1' could not be renamed back to '%2': %3")
                    .arg(toQString(f.item), toQString(f.target), toQString(f.message));
    Prompter::message(this, QMessageBox::Warning, text, QMessageBox::Ok);
}

void MainWindow::undoRename() {
    if (!workspace_->canUndo() || workspace_->batchRunning())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const UndoOutcome outcome = workspace_->undo();
    QApplication::restoreOverrideCursor();
    // The journal of this batch has served; another batch's is left alone.
    if (const std::string path = defaultJournalPath(); !path.empty() && !lastBatch_.empty())
        (void)clearJournal(fs_, path, lastBatch_);
    reportUndoFailures(outcome);
    updateCommands();
    emit batchFinished();
}

} // namespace vantrel::gui
