#include "GuiTest.h"
#include "WindowHarness.h"

#include "app/Commands.h"
#include "app/GuiStatus.h"
#include "dialogs/SmallDialogs.h"
#include "filelist/FileListView.h"
#include "foldertree/FolderTree.h"
#include "panels/CriteriaPanels.h"
#include "workspace/ProductInfo.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>

using namespace vantrel;
using namespace vantrel::gui;
using namespace vantrel::gui::test;

/// Receives what the program hands to the web browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

class CommandsTest : public QObject {
    Q_OBJECT

    static QLineEdit* edit(WindowHarness& h, const char* field) {
        return qobject_cast<QLineEdit*>(h.window->panels()->control(*findCriteriaField(field)));
    }

private slots:
    void everyCommandOfTheMenusIsThere() {
        WindowHarness h;
        QVERIFY(h.start());
        const QList<QAction*> menus = h.window->menuBar()->actions();
        QStringList titles;
        for (const QAction* m : menus)
            titles << m->text();
        QCOMPARE(titles, (QStringList{QStringLiteral("&File"), QStringLiteral("&Actions"),
                                      QStringLiteral("&Options"), QStringLiteral("&Help")}));
        for (const CommandDef& c : commandTable()) {
            if (c.line != MenuLine::Command)
                continue;
            QAction* a = h.window->command(c.id);
            QVERIFY2(a != nullptr, QByteArray::number(c.id).constData());
            QCOMPARE(a->text(), QString::fromUtf8(c.text.data(), qsizetype(c.text.size())));
        }
        QCOMPARE(h.window->command(32775)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
        QCOMPARE(h.window->command(32799)->shortcut(), QKeySequence(QStringLiteral("F8")));
    }

    void rulesInTheStatesThatMatter() {
        Preferences p;
        p.displayGridlines = 7;
        struct Case {
            int id;
            CommandState state;
            bool enabled, checked;
        };
        const Case cases[] = {
            {32775, {p, false, false, false}, false, false}, // nothing to undo
            {32775, {p, true, false, false}, true, false},   // after a batch
            {32799, {p, false, false, false}, false, false}, // focus in the list
            {32799, {p, false, true, false}, true, false},   // focus in a zoomable field
            {32790, {p, false, false, false}, true, true},   // any value but 0 is on
            {32797, {p, false, false, false}, true, false},
            {32776, {p, false, false, true}, true, true},
            {57601, {p, false, false, false}, true, false},
        };
        for (const Case& c : cases) {
            const CommandDef* def = findCommand(c.id);
            QVERIFY(def != nullptr);
            QCOMPARE(commandEnabled(*def, c.state), c.enabled);
            QCOMPARE(commandChecked(*def, c.state), c.checked);
        }
    }

    void togglesAreKeptByTheCloseCommandOnly() {
        for (const bool viaExit : {false, true}) {
            WindowHarness h;
            QVERIFY(h.start());
            h.window->command(32790)->trigger(); // Gridlines on
            QVERIFY(h.window->fileList()->showGrid());
            h.window->command(32814)->trigger(); // Ignore Folder Extensions on
            if (viaExit) {
                h.window->command(32771)->trigger();
                h.window.reset();
            } else {
                h.closeAndDestroy();
            }
            const auto stored = h.settingsView();
            QCOMPARE(stored->readInt("Preferences", "Display Gridlines", -1), viaExit ? -1 : 1);
            QCOMPARE(stored->readInt("Preferences", "Ignore Folder Extensions", -1),
                     viaExit ? -1 : 1);
            // Both ways keep the window's placement.
            QVERIFY(stored->readText("Main Window", "WindowPlacement").has_value());
        }
    }

    void favouritesOpenSaveAndRecent() {
        WindowHarness h;
        h.file(QStringLiteral("files/a.txt"));
        QVERIFY(h.start());
        PromptScript script;
        const QString first = h.path(QStringLiteral("jobs/photos.vtl"));
        QDir().mkpath(h.path(QStringLiteral("jobs")));

        // Save with no current favourite asks for a name; cancelling says so.
        script.answer([](const Prompt&) { return int(QDialog::Rejected); });
        h.window->command(57603)->trigger();
        QCOMPARE(h.window->status().messagePane()->text(),
                 QStringLiteral("New Favourite was cancelled"));

        QTest::keyClicks(edit(h, "prefix"), QStringLiteral("x-"));
        script.answer([&](const Prompt& p) {
            *p.file = first;
            return int(QDialog::Accepted);
        });
        h.window->command(57604)->trigger();
        QCOMPARE(h.window->status().messagePane()->text(),
                 QStringLiteral("New Favourite ") + first + QStringLiteral(" saved"));
        QCOMPARE(h.window->status().favouritePane()->text(), QStringLiteral("photos"));
        QVERIFY(QFile::exists(first));

        // A second favourite, then the first again through the recent list.
        const QString second = h.path(QStringLiteral("jobs/other.vtl"));
        QTest::keyClicks(edit(h, "prefix"), QStringLiteral("y"));
        script.answer([&](const Prompt& p) {
            *p.file = second;
            return int(QDialog::Accepted);
        });
        h.window->command(57604)->trigger();
        QCOMPARE(h.window->recentFiles().paths(),
                 (std::vector<std::string>{second.toStdString(), first.toStdString()}));
        h.window->openRecentFavourite(first.toStdString());
        QCOMPARE(edit(h, "prefix")->text(), QStringLiteral("x-"));
        QCOMPARE(h.window->recentFiles().paths().front(), first.toStdString());
        QCOMPARE(h.window->status().messagePane()->text(),
                 QStringLiteral("Favourite ") + first.chopped(4) + QStringLiteral(" opened"));

        // A favourite that vanished is reported and leaves the list.
        QFile::remove(second);
        script.button(QMessageBox::Ok);
        h.window->openRecentFavourite(second.toStdString());
        QVERIFY(
            script.asked.last().startsWith(QStringLiteral("Favourites file could not be found")));
        QCOMPARE(h.window->recentFiles().paths().size(), std::size_t{1});

        // Save writes to the current favourite without asking.
        QTest::keyClicks(edit(h, "suffix"), QStringLiteral("-s"));
        h.window->command(57603)->trigger();
        QCOMPARE(h.window->status().messagePane()->text(),
                 QStringLiteral("Favourite ") + first + QStringLiteral(" saved"));
        QVERIFY(script.unexpected.isEmpty());

        // The next start loads the current favourite and lists the recent ones.
        h.closeAndDestroy();
        QVERIFY(h.start());
        QCOMPARE(edit(h, "suffix")->text(), QStringLiteral("-s"));
        QCOMPARE(h.window->status().favouritePane()->text(), QStringLiteral("photos"));
        QVERIFY(h.window->findChild<QAction*>(QStringLiteral("recent1")) != nullptr);
    }

    void storePathnameMovesTheTreeAndSaveOnExitSaves() {
        WindowHarness h;
        h.file(QStringLiteral("files/a.txt"));
        h.file(QStringLiteral("elsewhere/b.txt"));
        QVERIFY(h.start(h.path(QStringLiteral("elsewhere")).toStdString()));
        PromptScript script;
        const QString job = h.path(QStringLiteral("job.vtl"));
        script.answer([&](const Prompt& p) {
            *p.file = job;
            return int(QDialog::Accepted);
        });
        h.window->command(57604)->trigger(); // stores ".../elsewhere"
        QVERIFY(h.window->folderTree()->selectNearestFolder(
            h.path(QStringLiteral("files")).toStdString()));
        QVERIFY(h.waitForScan());

        // Store Pathname off: opening leaves the tree where it is.
        script.answer([&](const Prompt& p) {
            *p.file = job;
            return int(QDialog::Accepted);
        });
        h.window->command(57601)->trigger();
        QCOMPARE(h.window->folderTree()->selectedPath(),
                 h.path(QStringLiteral("files")).toStdString());
        h.window->command(32796)->trigger(); // Store Pathname on
        script.answer([&](const Prompt& p) {
            *p.file = job;
            return int(QDialog::Accepted);
        });
        h.window->command(57601)->trigger();
        QCOMPARE(h.window->folderTree()->selectedPath(),
                 h.path(QStringLiteral("elsewhere")).toStdString());

        // Save on Exit: the close command saves the current favourite.
        h.window->command(32779)->trigger();
        QTest::keyClicks(edit(h, "prefix"), QStringLiteral("z"));
        h.closeAndDestroy();
        QFile f(job);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("Prefix=\"z\""));
        QVERIFY(script.unexpected.isEmpty());
    }

    void jumpToPathAndZoom() {
        WindowHarness h;
        h.file(QStringLiteral("files/a.txt"));
        h.file(QStringLiteral("deep/er/b.txt"));
        QVERIFY(h.start());
        PromptScript script;
        QCOMPARE(JumpToPathDialog::refusal(h.path(QStringLiteral("deep/er/b.txt"))),
                 QStringLiteral("Path does not exist."));
        QCOMPARE(JumpToPathDialog::refusal(QStringLiteral("relative/path")),
                 QStringLiteral("Path does not exist."));
        QCOMPARE(JumpToPathDialog::refusal(QStringLiteral("/")), QString());

        script.answer([&](const Prompt& p) {
            p.dialog->findChild<QLineEdit*>(QStringLiteral("jumpPath"))
                ->setText(h.path(QStringLiteral("deep/../deep/er")));
            return int(QDialog::Accepted);
        });
        h.window->command(32795)->trigger();
        QCOMPARE(h.window->folderTree()->selectedPath(),
                 h.path(QStringLiteral("deep/er")).toStdString());
        QVERIFY(h.waitForScan());
        QCOMPARE(h.cell(0, 0), QStringLiteral("b.txt"));
        script.dialog(false);
        h.window->command(32795)->trigger();
        QCOMPARE(h.window->status().messagePane()->text(),
                 QStringLiteral("Jump to Path was cancelled"));

        // Zoom only from a zoomable field; its text comes back as an edit.
        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.window->fileList()->setFocus();
        QVERIFY(!commandEnabled(*findCommand(32799), h.window->commandState()));
        edit(h, "suffix")->setFocus();
        QVERIFY(h.window->command(32799)->isEnabled());
        script.answer([](const Prompt& p) {
            auto* text = p.dialog->findChild<QLineEdit*>(QStringLiteral("zoomText"));
            text->setText(QStringLiteral("_zoomed"));
            return int(QDialog::Accepted);
        });
        h.window->command(32799)->trigger();
        QCOMPARE(edit(h, "suffix")->text(), QStringLiteral("_zoomed"));
        QCOMPARE(h.window->workspace().criteria.suffix, "_zoomed");
        QVERIFY(script.unexpected.isEmpty());
    }

    void coloursAndTheActiveColourNeedsARestart() {
        WindowHarness h;
        QVERIFY(h.start());
        PromptScript script;
        script.answer([](const Prompt& p) {
            *p.colour = QColor(1, 2, 3);
            return int(QDialog::Accepted);
        });
        h.window->command(32811)->trigger();
        QCOMPARE(h.window->workspace().preferences.colourNewNameOk, 0x030201u);
        script.answer([](const Prompt& p) {
            *p.colour = QColor(10, 20, 30);
            return int(QDialog::Accepted);
        });
        script.button(QMessageBox::Ok);
        h.window->command(32813)->trigger();
        QVERIFY(script.asked.last().startsWith(QStringLiteral("Colour Updated.")));
        QCOMPARE(h.window->workspace().preferences.colourActiveCriteriaBack, 0x1E140Au);
        QVERIFY(script.unexpected.isEmpty());
    }

    void helpAndTipOfTheDay() {
        WindowHarness h;
        QVERIFY(h.start());
        h.window->command(32801)->trigger(); // F1: the contents
        QWidget* help = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QStringLiteral("helpWindow"))
                help = w;
        QVERIFY2(help != nullptr, "the help collection is built beside the program");
        QVERIFY(help->isVisible());
        help->close();
        PromptScript script;
        script.dialog(false);
        h.window->command(32793)->trigger();
        QCOMPARE(script.asked, QStringList{QStringLiteral("tipOfTheDayDialog")});
    }

    void aboutAndTheUpdateAddress() {
        QCOMPARE(updateAddress("https://host.example", "2, 1, 0, 12"),
                 std::string("https://host.example/Version.php?Version=2.1.0.12"));
        WindowHarness h;
        QVERIFY(h.start());
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        h.window->command(32823)->trigger();
        QCOMPARE(catcher.opened.size(), 1);
        QVERIFY(
            catcher.opened[0].toString().endsWith(QStringLiteral("/Version.php?Version=2.1.0.12")));
        PromptScript script;
        QString version;
        script.answer([&](const Prompt& p) {
            if (auto* link = p.dialog->findChild<QAbstractButton*>(QStringLiteral("homePageLink")))
                link->click(); // the box stays open
            version = p.dialog->findChild<QLabel*>(QStringLiteral("productVersion"))->text();
            return int(QDialog::Accepted);
        });
        h.window->command(32788)->trigger();
        QCOMPARE(version, QStringLiteral("2, 1, 0, 12"));
        QCOMPARE(catcher.opened.size(), 2);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QVERIFY(script.unexpected.isEmpty());
    }
};

VANTREL_GUI_TEST(CommandsTest)
#include "Commands_test.moc"
