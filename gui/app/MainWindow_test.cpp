#include "GuiTest.h"
#include "WindowHarness.h"

#include "app/GuiStatus.h"
#include "dialogs/ContextHelp.h"
#include "filelist/FileListView.h"
#include "foldertree/FolderTree.h"
#include "panels/CriteriaPanels.h"
#include "panels/SpinEdit.h"
#include "rename/Journal.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

using namespace vantrel;
using namespace vantrel::gui;
using namespace vantrel::gui::test;

namespace {

QString text(const QWidget* w) {
    if (const auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (const auto* s = qobject_cast<const SpinEdit*>(w))
        return s->text();
    if (const auto* c = qobject_cast<const QComboBox*>(w))
        return QString::number(c->currentIndex());
    if (const auto* b = qobject_cast<const QCheckBox*>(w))
        return b->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return {};
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    template <typename T = QWidget>
    T* find(WindowHarness& h, const char* name) {
        auto* w = h.window->findChild<T*>(QString::fromLatin1(name));
        if (w == nullptr)
            qWarning("no widget %s", name);
        return w;
    }
    QWidget* field(WindowHarness& h, const char* name) {
        return find(h, (std::string("field_") + name).c_str());
    }
    /// Waits until the posted preview refresh has run.
    static bool refreshed(WindowHarness& h) {
        return QTest::qWaitFor([&] { return !h.window->workspace().refreshPending(); }, 5000);
    }

private slots:
    void everyControlHasItsName() {
        WindowHarness h;
        QVERIFY(h.start());
        for (int p = 1; p <= kPanelCount; ++p) {
            QVERIFY(find(h, QStringLiteral("panel%1").arg(p).toLatin1().constData()));
            QVERIFY(find<QToolButton>(h, QStringLiteral("reset%1").arg(p).toLatin1().constData()));
        }
        for (const CriteriaField& f : criteriaFields())
            QVERIFY2(field(h, std::string(f.name).c_str()) != nullptr, f.name.data());
        for (const char* name : {"rename", "resetAll", "browseNewLocation", "fileList",
                                 "folderTree", "statisticsPane", "favouritePane", "messagePane"})
            QVERIFY2(find(h, name) != nullptr, name);
        // The spin ranges come from the table.
        auto* offset = qobject_cast<SpinEdit*>(field(h, "dateOffsetHours"));
        QCOMPARE(offset->minimum(), -72);
        QCOMPARE(offset->maximum(), 72);
    }

    void startUpListsTheArgumentsFolderAndIsReady() {
        WindowHarness h;
        h.file(QStringLiteral("files/b.txt"));
        h.file(QStringLiteral("files/a.txt"));
        h.file(QStringLiteral("other/c.txt"));
        // A quoted folder argument, spelled with "..".
        const std::string arg =
            "\"" + h.path(QStringLiteral("other/../files")).toStdString() + "\"";
        QVERIFY(h.start(arg));
        QVERIFY(h.window->workspace().windowReady());
        QCOMPARE(h.window->folderTree()->selectedPath(),
                 h.path(QStringLiteral("files")).toStdString());
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.cell(0, 0), QStringLiteral("a.txt")); // the stored sort: by name
        QCOMPARE(h.window->status().statisticsPane()->text(),
                 QStringLiteral("2 Objects (0 Selected)"));
        QCOMPARE(h.window->status().messagePane()->text(),
                 QStringLiteral("Folder: ") + h.path(QStringLiteral("files")));
        QVERIFY(!h.window->panels()->renameButton()->isEnabled());
    }

    void favouriteArgumentIsLoadedAndAFolderClearsRecursive() {
        WindowHarness h;
        h.file(QStringLiteral("job.VTL"),
               "[Additions]\nPrefix=\"x-\"\n[Selections]\nRecursive=1\n");
        QVERIFY(h.start(h.path(QStringLiteral("job.VTL")).toStdString()));
        QCOMPARE(text(field(h, "prefix")), QStringLiteral("x-"));
        QCOMPARE(text(field(h, "recursive")), QStringLiteral("1"));
        h.window.reset();

        // The favourite stored as the current one is loaded, then a folder
        // argument clears Recursive.
        h.settings->writeText("Preferences", "Favourite Path",
                              h.path(QStringLiteral("job.VTL")).toStdString());
        QVERIFY(h.start(h.path(QStringLiteral("files")).toStdString()));
        QCOMPARE(text(field(h, "prefix")), QStringLiteral("x-"));
        QCOMPARE(text(field(h, "recursive")), QStringLiteral("0"));
    }

    void settingsAreReadAtStartAndWrittenAtTheirMoments() {
        WindowHarness h;
        QVERIFY(h.start());
        const Preferences& p = h.window->workspace().preferences;
        QCOMPARE(p, Preferences{}); // a first run: the defaults
        // Nothing is written before the close command.
        h.window->workspace().preferences.displayGridlines = 1;
        QVERIFY(!h.settingsView()->readText("Preferences", "Display Gridlines"));
        h.window->fileList()->setColumnWidth(0, 222);
        h.closeAndDestroy();
        auto stored = h.settingsView();
        QCOMPARE(stored->readInt("Preferences", "Display Gridlines", -1), 1);
        QCOMPARE(stored->readInt("Preferences", "Sort Column", -1), 0);
        QCOMPARE(stored->readInt("Preferences", "Sort Dir", -1), 1);
        QCOMPARE(stored->readInt("Main Window", "Col Name", -1), 222);
        QVERIFY(stored->readText("Main Window", "WindowPlacement").has_value());
        QCOMPARE(stored->readInt("Main Window", "AlwaysOnTop", -1), 0);
    }

    void storedValuesAreApplied() {
        WindowHarness h;
        h.file(QStringLiteral("files/a"), "12345");
        h.file(QStringLiteral("files/b"), "1");
        h.settings->writeInt("Preferences", "Sort Column", 4); // Size
        h.settings->writeInt("Preferences", "Sort Dir", 0);
        h.settings->writeInt("Preferences", "Display Gridlines", 5);
        h.settings->writeText("Main Window", "WindowPlacement", "10,20,1000,700,3,0");
        h.settings->writeInt("Main Window", "Col Type", 77);
        QVERIFY(h.start());
        QCOMPARE(h.cell(0, 0), QStringLiteral("a")); // largest first
        QVERIFY(h.window->fileList()->showGrid());
        QCOMPARE(h.window->fileList()->columnWidth(3), 77);
        h.window->showAsPlaced();
        QVERIFY(h.window->isMaximized());
        h.closeAndDestroy();
        // A flag stored as 5 is written back as it is.
        QCOMPARE(h.settingsView()->readInt("Preferences", "Display Gridlines", -1), 5);
        QCOMPARE(h.settingsView()->readInt("Preferences", "Sort Column", -1), 4);
    }

    void previewFollowsEditsSelectionAndOrder() {
        WindowHarness h;
        for (const char* n : {"files/a.txt", "files/b.txt", "files/c.txt", "files/d.txt"})
            h.file(QString::fromLatin1(n));
        QVERIFY(h.start());
        QAbstractItemModelTester tester(h.window->fileList()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto* list = h.window->fileList();
        const auto* model = list->model();
        list->selectionModel()->select(model->index(1, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(model->index(3, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        auto* suffix = qobject_cast<QLineEdit*>(field(h, "suffix"));
        suffix->setFocus();
        QTest::keyClicks(suffix, QStringLiteral("_x"));
        QVERIFY(refreshed(h));
        QCOMPARE(h.cell(1, 1), QStringLiteral("b_x.txt"));
        QCOMPARE(h.cell(3, 1), QStringLiteral("d_x.txt"));
        QCOMPARE(h.cell(0, 1), QStringLiteral("a.txt"));
        QCOMPARE(h.cell(3, 7), QStringLiteral("7"));
        QCOMPARE(h.window->status().statisticsPane()->text(),
                 QStringLiteral("4 Objects (2 Selected)"));
        QVERIFY(h.window->panels()->renameButton()->isEnabled());

        // Deselecting gives the row its own name back at once.
        list->selectionModel()->select(model->index(1, 0),
                                       QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        QCOMPARE(h.cell(1, 1), QStringLiteral("b.txt"));

        // Numbering follows the order; a dropped row moves and stays selected.
        auto* mode = qobject_cast<QComboBox*>(field(h, "numberMode"));
        mode->setCurrentIndex(2);
        emit mode->activated(2);
        QVERIFY(refreshed(h));
        QCOMPARE(h.cell(3, 1), QStringLiteral("d_x1.txt"));
        list->selectionModel()->select(model->index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(refreshed(h));
        QCOMPARE(h.cell(0, 1), QStringLiteral("a_x1.txt"));
        emit list->rowDropped(3, 0);
        QVERIFY(refreshed(h));
        QCOMPARE(h.cell(0, 0), QStringLiteral("d.txt"));
        QCOMPARE(h.cell(0, 1), QStringLiteral("d_x1.txt"));
        QCOMPARE(h.cell(1, 1), QStringLiteral("a_x2.txt"));
        QVERIFY(list->selectionModel()->isRowSelected(0, {}));
    }

    void theModelStaysSoundThroughScansSortsAndMoves() {
        WindowHarness h;
        for (int i = 0; i < 1500; ++i)
            h.file(QStringLiteral("files/f%1.txt").arg(i));
        h.settings->writeInt("Preferences", "Auto Select Entries", 1);
        h.window = std::make_unique<MainWindow>(*h.settings, h.fs);
        QAbstractItemModelTester tester(h.window->fileList()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        h.scans = std::make_unique<QSignalSpy>(h.window.get(), &MainWindow::scanFinished);
        TreeRoot root;
        root.path = h.path(QStringLiteral("files")).toStdString();
        root.text = QStringLiteral("files");
        h.window->initialise({}, {root});
        QVERIFY(h.waitForScan());
        QCOMPARE(h.rows(), 1500);
        // Rows came selected in batches; the view shows the list's selection.
        auto* selection = h.window->fileList()->selectionModel();
        QCOMPARE(selection->selectedRows().size(), 1500);
        QCOMPARE(h.window->status().statisticsPane()->text(),
                 QStringLiteral("1500 Objects (1500 Selected)"));
        // Natural order off: f10 before f2; a header click reverses.
        QCOMPARE(h.cell(2, 0), QStringLiteral("f10.txt"));
        emit h.window->fileList()->sortRequested(0);
        QCOMPARE(h.cell(0, 0), QStringLiteral("f999.txt"));
        QCOMPARE(h.window->fileList()->horizontalHeader()->sortIndicatorOrder(),
                 Qt::DescendingOrder);
        QCOMPARE(selection->selectedRows().size(), 1500);
        h.window->deselectAll();
        QCOMPARE(selection->selectedRows().size(), 0);
        selection->select(h.window->fileList()->model()->index(5, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        emit h.window->fileList()->rowDropped(5, 1500);
        QCOMPARE(h.window->workspace().list().selectedEntry(0).name(),
                 h.cell(1499, 0).toStdString());
        QVERIFY(selection->isRowSelected(1499, {}));
        h.window->refreshFiles();
        QVERIFY(h.waitForScan());
        QCOMPARE(h.rows(), 1500);
    }

    void typingCostsFewerRefreshesThanKeys() {
        WindowHarness h;
        h.file(QStringLiteral("files/a.txt"));
        QVERIFY(h.start());
        h.window->selectAll();
        QSignalSpy refreshes(h.window.get(), &MainWindow::previewRefreshed);
        auto* prefix = qobject_cast<QLineEdit*>(field(h, "prefix"));
        QTest::keyClicks(prefix, QStringLiteral("abcde"));
        QVERIFY(refreshed(h));
        QCOMPARE(refreshes.count(), 1); // the keys arrived before the loop ran
        QCOMPARE(h.cell(0, 1), QStringLiteral("abcdea.txt"));
    }

    void changeRulesShowInTheControls() {
        WindowHarness h;
        QVERIFY(h.start());
        auto* fixed = qobject_cast<QLineEdit*>(field(h, "fixedName"));
        QTest::keyClicks(fixed, QStringLiteral("12"));
        QCOMPARE(text(field(h, "filenameMode")), QStringLiteral("2"));
        auto* from = qobject_cast<SpinEdit*>(field(h, "removeFrom"));
        QTest::keyClick(from, Qt::Key_End);
        QTest::keyClick(from, Qt::Key_Backspace);
        QTest::keyClicks(from, QStringLiteral("9"));
        QCOMPARE(text(field(h, "removeTo")), QStringLiteral("9"));
        QTest::keyClick(from, Qt::Key_Up); // the spin button steps and writes back
        QCOMPARE(text(from), QStringLiteral("10"));
        QCOMPARE(text(field(h, "removeTo")), QStringLiteral("10"));
        QTest::keyClicks(from, QStringLiteral("x")); // only digits are typed
        QCOMPARE(text(from), QStringLiteral("10"));
        // Highlight: active panels take the colour, Selections never.
        const auto* panels = h.window->panels();
        QVERIFY(panels->panel(Panel::Filename)->highlight().has_value());
        QVERIFY(!panels->panel(Panel::Case)->highlight().has_value());
    }

    void resetButtons() {
        WindowHarness h;
        QVERIFY(h.start());
        Workspace& w = h.window->workspace();
        qobject_cast<QLineEdit*>(field(h, "folderNameSeparator"))->setText(QString());
        QTest::keyClicks(qobject_cast<QLineEdit*>(field(h, "folderNameSeparator")),
                         QStringLiteral(" - "));
        auto* mode = qobject_cast<QComboBox*>(field(h, "folderNameMode"));
        mode->setCurrentIndex(1);
        emit mode->activated(1);
        QTest::keyClicks(qobject_cast<QLineEdit*>(field(h, "prefix")), QStringLiteral("p"));
        QVERIFY(refreshed(h));
        find<QToolButton>(h, "reset8")->click();
        QCOMPARE(text(field(h, "folderNameMode")), QStringLiteral("0"));
        QCOMPARE(text(field(h, "folderNameSeparator")), QStringLiteral(" - "));
        QSignalSpy refreshes(h.window.get(), &MainWindow::previewRefreshed);
        find<QPushButton>(h, "resetAll")->click();
        QVERIFY(refreshed(h));
        QCOMPARE(refreshes.count(), 1);
        QCOMPARE(text(field(h, "prefix")), QString());
        QCOMPARE(w.criteria.folderNameSeparator, " - ");
    }

    void renameAndUndoWithTheirDialogs() {
        WindowHarness h;
        h.file(QStringLiteral("files/one.txt"), "1");
        h.file(QStringLiteral("files/two.txt"), "2");
        QVERIFY(h.start());
        PromptScript script;
        QTest::keyClicks(qobject_cast<QLineEdit*>(field(h, "prefix")), QStringLiteral("new-"));
        h.window->selectAll();
        // The warning, its box unticked; then the completion dialog.
        script.dialog(true, "showWarningAgain", false);
        script.dialog(true, "showMessageAgain", true);
        QSignalSpy done(h.window.get(), &MainWindow::batchFinished);
        h.window->panels()->renameButton()->click();
        QCOMPARE(done.count(), 1);
        QVERIFY(script.unexpected.isEmpty());
        QVERIFY(script.allUsed());
        QCOMPARE(script.asked, (QStringList{QStringLiteral("renameWarningDialog"),
                                            QStringLiteral("renameCompleteDialog")}));
        QVERIFY(h.exists(QStringLiteral("files/new-one.txt")));
        QVERIFY(h.exists(QStringLiteral("files/new-two.txt")));
        QCOMPARE(h.window->workspace().preferences.displayWarningMessage, 0);
        QCOMPARE(h.cell(0, 0), QStringLiteral("new-one.txt"));
        QCOMPARE(h.window->status().messagePane()->text(),
                 QStringLiteral("2 Entries successfully renamed."));

        QAction* undo = h.window->command(32775);
        h.window->updateCommands();
        QVERIFY(undo->isEnabled());
        undo->trigger();
        QVERIFY(h.waitForScan());
        QVERIFY(h.exists(QStringLiteral("files/one.txt")));
        QVERIFY(!h.exists(QStringLiteral("files/new-one.txt")));
        QCOMPARE(h.window->status().messagePane()->text(),
                 QStringLiteral("Previous changes successfully reversed."));
        QVERIFY(!undo->isEnabled());
        QVERIFY(script.unexpected.isEmpty());
    }

    void aFailedItemAsksAndAStopOffersTheReversal() {
        WindowHarness h;
        h.file(QStringLiteral("files/a"), "a");
        h.file(QStringLiteral("files/b"), "b");
        h.file(QStringLiteral("files/c"), "c");
        QVERIFY(h.start());
        PromptScript script;
        // b's new name is taken by a file of the folder that is not listed.
        h.file(QStringLiteral("files/b-"), "taken");
        QTest::keyClicks(qobject_cast<QLineEdit*>(field(h, "suffix")), QStringLiteral("-"));
        h.window->selectAll();
        script.dialog(true);
        script.button(QMessageBox::No);  // stop at b
        script.button(QMessageBox::Yes); // reverse a
        h.window->rename();
        QVERIFY(script.unexpected.isEmpty());
        QVERIFY(script.asked.value(1).contains(QStringLiteral("already exists")));
        QVERIFY(h.exists(QStringLiteral("files/a")));
        QVERIFY(!h.exists(QStringLiteral("files/a-")));
        QCOMPARE(h.window->status().messagePane()->text(),
                 QStringLiteral("Previous changes successfully reversed."));
    }

    void editInPlaceRenamesOneRow() {
        WindowHarness h;
        h.file(QStringLiteral("files/a.txt"));
        QVERIFY(h.start());
        PromptScript script;
        script.dialog(true);
        script.dialog(true);
        QSignalSpy done(h.window.get(), &MainWindow::batchFinished);
        auto* model = h.window->fileList()->model();
        QVERIFY(!model->setData(model->index(0, 0), QStringLiteral("a.txt"))); // unchanged: nothing
        QTest::qWait(0);
        model->setData(model->index(0, 0), QStringLiteral("b.txt"));
        QVERIFY(done.wait(5000));
        QVERIFY(h.exists(QStringLiteral("files/b.txt")));
        QCOMPARE(h.cell(0, 0), QStringLiteral("b.txt"));
        QCOMPARE(script.asked.size(), 2);
    }

    void aNewSelectionStopsTheScan() {
        WindowHarness h;
        for (int i = 0; i < 3000; ++i)
            h.file(QStringLiteral("files/big/f%1").arg(i));
        h.file(QStringLiteral("files/small/only"));
        QVERIFY(h.start());
        auto* tree = h.window->folderTree();
        tree->selectNearestFolder(h.path(QStringLiteral("files/big")).toStdString());
        QVERIFY(h.window->workspace().scan().running());
        tree->selectNearestFolder(h.path(QStringLiteral("files/small")).toStdString());
        QVERIFY(h.waitForScan());
        QTest::qWait(50); // anything the stopped scan had posted is delivered now, and dropped
        QCOMPARE(h.rows(), 1);
        QCOMPARE(h.cell(0, 0), QStringLiteral("only"));
    }

    void coloursOfNewNames() {
        WindowHarness h;
        h.file(QStringLiteral("files/same"));
        h.file(QStringLiteral("files/tochange"));
        QVERIFY(h.start());
        auto* model = h.window->fileList()->model();
        h.window->fileList()->selectionModel()->select(
            model->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClicks(qobject_cast<QLineEdit*>(field(h, "fixedName")), QStringLiteral("new"));
        QVERIFY(refreshed(h));
        QCOMPARE(model->data(model->index(1, 1), Qt::ForegroundRole).value<QColor>(),
                 QColor(4, 128, 0));
        QVERIFY(!model->data(model->index(0, 1), Qt::ForegroundRole).isValid());
        QTest::keyClicks(qobject_cast<QLineEdit*>(field(h, "fixedName")), QStringLiteral(":"));
        QVERIFY(refreshed(h));
        QCOMPARE(model->data(model->index(1, 1), Qt::ForegroundRole).value<QColor>(),
                 QColor(255, 0, 0));
    }

    void anInterruptedBatchIsOfferedForReversal() {
        WindowHarness h;
        h.file(QStringLiteral("files/old"), "1");
        const std::string journalPath = defaultJournalPath();
        {
            // A batch whose program died after one rename: its journal has no end.
            FileJournal journal(h.fs, journalPath);
            QVERIFY(journal.beginBatch().ok());
            UndoPair pair;
            pair.oldPath = h.path(QStringLiteral("files/old")).toStdString();
            pair.newPath = h.path(QStringLiteral("files/new")).toStdString();
            FileAttributes attributes;
            QVERIFY(h.fs.attributes(pair.oldPath, attributes).ok());
            pair.identity = attributes.identity;
            QVERIFY(journal.beforeRename(pair).ok());
            QVERIFY(QFile::rename(h.path(QStringLiteral("files/old")),
                                  h.path(QStringLiteral("files/new"))));
            journal.afterRename(RenameEffect::Renamed);
            QFile file(QString::fromStdString(journalPath));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray cut = file.readAll();
            journal.endBatch();
            file.close();
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(cut);
        }
        QVERIFY(h.start());
        PromptScript script;
        script.button(QMessageBox::No); // kept for later
        h.window->offerToReverseInterruptedBatch();
        QVERIFY(script.asked.value(0).contains(QStringLiteral("did not finish")));
        QVERIFY(h.exists(QStringLiteral("files/new")));
        script.button(QMessageBox::Yes);
        h.window->offerToReverseInterruptedBatch();
        QVERIFY(h.waitForScan());
        QVERIFY(h.exists(QStringLiteral("files/old")));
        QVERIFY(!h.exists(QStringLiteral("files/new")));
        QCOMPARE(h.window->status().messagePane()->text(),
                 QStringLiteral("Previous changes successfully reversed."));
        // Reversed once: nothing is offered again.
        h.window->offerToReverseInterruptedBatch();
        QCOMPARE(script.asked.size(), 2);
        QVERIFY(script.unexpected.isEmpty());
    }

    void collidingNewNamesAreShownBeforeRenaming() {
        WindowHarness h;
        h.file(QStringLiteral("files/a.txt"));
        h.file(QStringLiteral("files/b.txt"));
        h.file(QStringLiteral("files/.hidden-x.txt")); // not listed, but it holds its name
        QVERIFY(h.start());
        auto* model = h.window->fileList()->model();
        h.window->selectAll();
        // Both get the same fixed name.
        QTest::keyClicks(qobject_cast<QLineEdit*>(field(h, "fixedName")), QStringLiteral("x"));
        QVERIFY(refreshed(h));
        QCOMPARE(h.window->status().messagePane()->text(), QStringLiteral("2 new names collide"));
        for (int row : {0, 1}) {
            QCOMPARE(model->data(model->index(row, 1), Qt::ForegroundRole).value<QColor>(),
                     QColor(255, 0, 0));
            QVERIFY(model->data(model->index(row, 1), Qt::ToolTipRole)
                        .toString()
                        .contains(QStringLiteral("same new name")));
        }
        // One of them only: the name is free, unless a hidden file holds it.
        h.window->fileList()->selectionModel()->select(
            model->index(1, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        QVERIFY(refreshed(h));
        QCOMPARE(h.window->status().messagePane()->text(), QString());
        QCOMPARE(model->data(model->index(0, 1), Qt::ForegroundRole).value<QColor>(),
                 QColor(4, 128, 0));
        QVERIFY(!model->data(model->index(0, 1), Qt::ToolTipRole).isValid());
        QTest::keyClicks(qobject_cast<QLineEdit*>(field(h, "prefix")), QStringLiteral(".hidden-"));
        QVERIFY(refreshed(h));
        QCOMPARE(h.window->status().messagePane()->text(), QStringLiteral("1 new name collides"));
        QVERIFY(model->data(model->index(0, 1), Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral(".hidden-x.txt")));
    }

    void contextHelpShowsTheControlsText() {
        WindowHarness h;
        QVERIFY(h.start());
        ContextHelpFilter filter;
        qApp->installEventFilter(&filter);
        h.window->show();
        QWidget* prefix = field(h, "prefix");
        prefix->setFocus();
        QTest::keyClick(prefix, Qt::Key_F1, Qt::ShiftModifier);
        auto* popup = h.window->findChild<QLabel*>(QStringLiteral("contextHelpPopup"));
        if (popup == nullptr)
            popup = qobject_cast<QLabel*>(QApplication::activePopupWidget());
        QVERIFY(popup != nullptr);
        QCOMPARE(popup->text(), QStringLiteral("Text to prepend to the filename"));
        QCOMPARE(popup->palette().color(QPalette::Window), QColor(255, 255, 208));
        popup->close();
        // Escape in the window closes nothing.
        QTest::keyClick(prefix, Qt::Key_Escape);
        QVERIFY(h.window->isVisible());
    }
};

VANTREL_GUI_TEST(MainWindowTest)
#include "MainWindow_test.moc"
