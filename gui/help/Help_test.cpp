#include "GuiTest.h"

#include "help/HelpSystem.h"
#include "help/HelpWindow.h"

#include <QApplication>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexModel>
#include <QHelpIndexWidget>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using vantrel::gui::HelpSystem;
using vantrel::gui::HelpWindow;
using vantrel::gui::kHelpCollectionName;
using vantrel::gui::kTipsFileName;
using vantrel::gui::programDataFile;

namespace {

/// The help of the build, worked on in a temporary folder.
struct Fixture {
    Fixture() : help(nullptr, programDataFile(QLatin1String(kHelpCollectionName)), work.path()) {}
    QTemporaryDir work;
    HelpSystem help;
};

QString currentTab(const HelpWindow& window) {
    const auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("helpTabs"));
    return tabs->tabText(tabs->currentIndex()).remove(QLatin1Char('&'));
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void theBuildPutsItsDataBesideTheProgram() {
        QVERIFY(!programDataFile(QLatin1String(kHelpCollectionName)).isEmpty());
        QVERIFY(!programDataFile(QLatin1String(kTipsFileName)).isEmpty());
        QVERIFY(programDataFile(QStringLiteral("no-such-file")).isEmpty());
    }

    void contentsOpenAtTheFirstPage() {
        Fixture f;
        QVERIFY(f.help.available());
        QVERIFY(f.help.showContents());
        HelpWindow* window = f.help.window();
        QCOMPARE(window->objectName(), QStringLiteral("helpWindow"));
        QVERIFY(window->isVisible());
        QCOMPARE(currentTab(*window), QStringLiteral("Contents"));
        // The page is read from the help file, with its title and links.
        QCOMPARE(window->browser()->source(), HelpWindow::homePage());
        QCOMPARE(window->browser()->documentTitle(), QStringLiteral("Vantrel Help"));
        QVERIFY(
            window->browser()->toPlainText().contains(QStringLiteral("Renaming in five steps")));
        QHelpContentModel* contents = f.help.engine()->contentModel();
        QTRY_VERIFY(!contents->isCreatingContents() && contents->rowCount() > 0);
        // One top entry holding the chapters, the panels below theirs.
        QCOMPARE(contents->rowCount(), 1);
        QVERIFY(contents->rowCount(contents->index(0, 0)) >= 8);

        // A link leads to its page inside the window, and the contents follow.
        const auto marked = [&] {
            return f.help.engine()->contentWidget()->currentIndex().data().toString();
        };
        window->openPage(QUrl(QStringLiteral("qthelp://org.vantrel.help/doc/regex.html#syntax")));
        QCOMPARE(window->browser()->documentTitle(), QStringLiteral("Reg. Expr. (1)"));
        QCOMPARE(marked(), QStringLiteral("Reg. Expr. (1)"));
        window->browser()->backward();
        QCOMPARE(window->browser()->source(), HelpWindow::homePage());
        QCOMPARE(marked(), QStringLiteral("Vantrel Help"));
    }

    void theIndexFindsAKeyword() {
        Fixture f;
        QVERIFY(f.help.showIndex());
        HelpWindow* window = f.help.window();
        QCOMPARE(currentTab(*window), QStringLiteral("Index"));
        QHelpIndexModel* index = f.help.engine()->indexModel();
        QTRY_VERIFY(!index->isCreatingIndex() && index->rowCount() > 0);
        auto* filter = window->findChild<QLineEdit*>(QStringLiteral("helpIndexFilter"));
        filter->setText(QStringLiteral("journal"));
        QVERIFY(index->rowCount() > 0);
        QCOMPARE(index->data(index->index(0, 0), Qt::DisplayRole).toString(),
                 QStringLiteral("journal"));
        QTest::keyClick(filter, Qt::Key_Return);
        QCOMPARE(window->browser()->source().fileName(), QStringLiteral("safety.html"));
        QCOMPARE(window->browser()->source().fragment(), QStringLiteral("journal"));
    }

    void theSearchFindsAWord() {
        Fixture f;
        QVERIFY(f.help.showSearch());
        HelpWindow* window = f.help.window();
        QCOMPARE(currentTab(*window), QStringLiteral("Search"));
        QHelpSearchEngine* search = f.help.engine()->searchEngine();
        QHelpSearchQueryWidget* query = search->queryWidget();
        QCOMPARE(query->searchInput(), QString());
        QSignalSpy finished(search, &QHelpSearchEngine::searchingFinished);
        // Asked at once, before the index is written: the query waits for it.
        query->setSearchInput(QStringLiteral("journal"));
        emit query->search();
        QVERIFY(finished.wait(60000));
        QVERIFY(finished.first().first().toInt() > 0);
        bool safety = false;
        for (const QHelpSearchResult& r : search->searchResults(0, search->searchResultCount()))
            safety = safety || r.url().fileName() == QStringLiteral("safety.html");
        QVERIFY(safety);
        // Asking again with an empty query empties the box.
        QVERIFY(f.help.showSearch());
        QCOMPARE(query->searchInput(), QString());
    }

    void withoutTheCollectionTheCommandsDoNothing() {
        QTemporaryDir work;
        for (const QString& collection :
             {QString(), work.filePath(QStringLiteral("missing/vantrel.qhc"))}) {
            HelpSystem help(nullptr, collection, work.path());
            QVERIFY(!help.available());
            QVERIFY(!help.showContents());
            QVERIFY(!help.showIndex());
            QVERIFY(!help.showSearch());
            QVERIFY(help.window() == nullptr);
        }
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(w->objectName() != QStringLiteral("helpWindow") || !w->isVisible());
    }
};

VANTREL_GUI_TEST(HelpTest)
#include "Help_test.moc"
