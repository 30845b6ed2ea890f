#include "GuiTest.h"

#include "foldertree/FolderTree.h"
#include "platform/PosixFileSystem.h"
#include "testsupport/MemoryFileSystem.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using vantrel::FileSystem;
using vantrel::MemoryFileSystem;
using vantrel::PosixFileSystem;
using vantrel::gui::FolderTree;
using vantrel::gui::TreeRoot;
using Operation = MemoryFileSystem::Operation;

namespace {

const std::vector<TreeRoot> kRoots = {
    {"/home/u", "u", TreeRoot::Kind::Home},
    {"/", "/", TreeRoot::Kind::FileSystem},
    {"/media/usb", "USB", TreeRoot::Kind::Volume, true},
    {"/mnt/disk", "Disk", TreeRoot::Kind::Volume, false},
};

/// A shown tree over `fs`, built from `roots` (also for Refresh Tree), its
/// model checked after every change.
struct Fixture {
    explicit Fixture(FileSystem& fs, std::vector<TreeRoot> roots = kRoots) : tree(fs) {
        tree.resize(300, 400);
        tree.show();
        tree.setRootSource([roots] { return roots; });
        tree.buildRoot(roots);
    }
    FolderTree tree;
    QAbstractItemModelTester tester{tree.model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest};
};

QStringList childTexts(const FolderTree& tree, const QModelIndex& parent) {
    QStringList texts;
    for (int row = 0; row < tree.model()->rowCount(parent); ++row)
        texts << tree.model()->index(row, 0, parent).data().toString();
    return texts;
}

/// The item of `path` among those already in the tree (expands nothing).
QModelIndex loadedItem(const FolderTree& tree, const std::string& path,
                       const QModelIndex& parent = {}) {
    for (int row = 0; row < tree.model()->rowCount(parent); ++row) {
        const QModelIndex child = tree.model()->index(row, 0, parent);
        if (tree.pathOf(child) == path)
            return child;
        if (const QModelIndex found = loadedItem(tree, path, child); found.isValid())
            return found;
    }
    return {};
}

std::string topLevelPathOf(const FolderTree& tree, QModelIndex index) {
    while (index.parent().isValid())
        index = index.parent();
    return tree.pathOf(index);
}

} // namespace

class FolderTreeTest : public QObject {
    Q_OBJECT
private slots:
    void listsFoldersOnlyInNaturalOrder() {
        MemoryFileSystem fs;
        fs.addFolder("/home/u/b10");
        fs.addFile("/home/u/notes.txt");
        fs.addFolder("/home/u/b9");
        fs.addSymlink("/home/u/link");
        fs.addFolder("/home/u/.cache");
        fs.addFolder("/home/u/caf\xff");
        fs.addFolder("/home/u/B2");
        Fixture f(fs);

        QCOMPARE(f.tree.objectName(), QStringLiteral("folderTree"));
        const QModelIndex home = f.tree.model()->index(0, 0);
        QVERIFY(f.tree.isExpanded(home));
        QCOMPARE(f.tree.selectedPath(), "/home/u");
        QCOMPARE(childTexts(f.tree, home),
                 QStringList({".cache", "B2", "b9", "b10", QStringLiteral("caf\uFFFD")}));
        QCOMPARE(f.tree.pathOf(f.tree.model()->index(4, 0, home)), "/home/u/caf\xff");
        // The children show a button without having been listed themselves.
        QVERIFY(f.tree.model()->hasChildren(f.tree.model()->index(0, 0, home)));
        QCOMPARE(fs.calls(Operation::OpenFolder), 1u);
    }

    void readsTheLevelAgainAtEveryExpansion() {
        MemoryFileSystem fs;
        fs.addFolder("/home/u/a/old/deep");
        Fixture f(fs);
        const QModelIndex a = loadedItem(f.tree, "/home/u/a");
        f.tree.setCurrentIndex(a);

        QTest::keyClick(&f.tree, Qt::Key_Right);
        QCOMPARE(childTexts(f.tree, a), QStringList({"old"}));
        QTest::keyClick(&f.tree, Qt::Key_Left);
        fs.addFolder("/home/u/a/new");
        QTest::keyClick(&f.tree, Qt::Key_Right);
        QCOMPARE(childTexts(f.tree, a), QStringList({"new", "old"}));

        // "*" reads the one level, not the whole subtree.
        QTest::keyClick(&f.tree, Qt::Key_Left);
        QTest::keyClick(&f.tree, Qt::Key_Asterisk);
        QVERIFY(f.tree.isExpanded(a));
        QVERIFY(!f.tree.isExpanded(loadedItem(f.tree, "/home/u/a/old")));
        QCOMPARE(fs.calls(Operation::OpenFolder), 4u);
    }

    void showsThePlaceholderWhileReading() {
        MemoryFileSystem fs;
        fs.addFolder("/home/u/a/x");
        Fixture f(fs);
        const QModelIndex a = loadedItem(f.tree, "/home/u/a");
        QStringList during;
        fs.beforeNthCall(Operation::OpenFolder, 1, [&] { during = childTexts(f.tree, a); });

        f.tree.expand(a);
        QCOMPARE(during, QStringList({"Loading..."}));
        QCOMPARE(childTexts(f.tree, a), QStringList({"x"}));
    }

    void expansionWithoutChildFolders_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("unreadable");
        QTest::addColumn<bool>("keepsButton");
        QTest::newRow("empty folder") << QByteArray("/home/u/empty") << false << false;
        QTest::newRow("files and links only") << QByteArray("/home/u/files") << false << false;
        QTest::newRow("unreadable folder") << QByteArray("/home/u/locked") << true << false;
        QTest::newRow("empty fixed volume") << QByteArray("/mnt/disk") << false << false;
        QTest::newRow("empty removable volume") << QByteArray("/media/usb") << false << true;
        QTest::newRow("unreadable removable") << QByteArray("/media/usb") << true << true;
    }
    void expansionWithoutChildFolders() {
        QFETCH(QByteArray, path);
        QFETCH(bool, unreadable);
        QFETCH(bool, keepsButton);
        MemoryFileSystem fs;
        fs.addFolder("/home/u/empty");
        fs.addFile("/home/u/files/a.txt");
        fs.addSymlink("/home/u/files/to-folder");
        fs.addFolder("/home/u/locked/inner");
        fs.addFolder("/media/usb");
        fs.addFolder("/mnt/disk");
        if (unreadable)
            fs.failPath(Operation::OpenFolder, path.toStdString(), EACCES);
        Fixture f(fs);
        const QModelIndex item = loadedItem(f.tree, path.toStdString());
        QVERIFY(f.tree.model()->hasChildren(item));

        f.tree.expand(item);
        QCOMPARE(f.tree.model()->rowCount(item), 0);
        QCOMPARE(f.tree.model()->hasChildren(item), keepsButton);
        QVERIFY(!f.tree.isExpanded(item));
        if (!keepsButton)
            return;
        // The next expansion tries again.
        const std::size_t before = fs.calls(Operation::OpenFolder);
        if (!unreadable)
            fs.addFolder(path.toStdString() + "/card");
        f.tree.expand(item);
        QCOMPARE(fs.calls(Operation::OpenFolder), before + 1);
        QCOMPARE(childTexts(f.tree, item), unreadable ? QStringList() : QStringList({"card"}));
    }

    void locatesItemByPath_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("expected"); // empty: none
        QTest::addColumn<QByteArray>("throughRoot");
        QTest::addColumn<int>("reads"); // levels read by the look-up; -1: not checked
        QTest::newRow("under home")
            << QByteArray("/home/u/a/b") << QByteArray("/home/u/a/b") << QByteArray("/home/u") << 1;
        QTest::newRow("untidy spelling") << QByteArray("//home/u/./a//x/../b/")
                                         << QByteArray("/home/u/a/b") << QByteArray("/home/u") << 1;
        QTest::newRow("name that extends home's")
            << QByteArray("/home/uu/a") << QByteArray("/home/uu/a") << QByteArray("/") << 3;
        QTest::newRow("on a volume")
            << QByteArray("/media/usb/photos") << QByteArray("/media/usb/photos")
            << QByteArray("/media/usb") << 1;
        QTest::newRow("the root itself")
            << QByteArray("/") << QByteArray("/") << QByteArray("/") << 0;
        QTest::newRow("letter case differs")
            << QByteArray("/home/u/A/b") << QByteArray("/home/u") << QByteArray("/home/u") << 0;
        QTest::newRow("missing") << QByteArray("/home/u/zzz") << QByteArray("/home/u")
                                 << QByteArray("/home/u") << 0;
        QTest::newRow("relative") << QByteArray("home/u/a") << QByteArray("/home/u")
                                  << QByteArray("/home/u") << 0;
        QTest::newRow("a file") << QByteArray("/home/u/a/f.txt") << QByteArray() << QByteArray()
                                << -1;
    }
    void locatesItemByPath() {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, expected);
        QFETCH(QByteArray, throughRoot);
        QFETCH(int, reads);
        MemoryFileSystem fs;
        fs.addFolder("/home/u/a/b/c");
        fs.addFile("/home/u/a/f.txt");
        fs.addFolder("/home/uu/a");
        fs.addFolder("/media/usb/photos");
        Fixture f(fs);
        QSignalSpy selectionChanged(&f.tree, &FolderTree::folderSelectionChanged);
        const std::size_t before = fs.calls(Operation::OpenFolder);

        const QModelIndex found = f.tree.locateItemByPath(path.toStdString());
        QCOMPARE(f.tree.pathOf(found), expected.toStdString());
        QCOMPARE(topLevelPathOf(f.tree, found), throughRoot.toStdString());
        if (reads >= 0)
            QCOMPARE(fs.calls(Operation::OpenFolder) - before, std::size_t(reads));
        QCOMPARE(selectionChanged.count(), 0);
    }

    void selectsNearestFolder_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("missing tail")
            << QByteArray("/home/u/a/missing/x") << QByteArray("/home/u/a");
        QTest::newRow("a file") << QByteArray("/home/u/a/f.txt") << QByteArray("/home/u/a");
        QTest::newRow("through a link") << QByteArray("/home/u/link/x") << QByteArray("/home/u");
        QTest::newRow("only the root exists") << QByteArray("/no/such") << QByteArray("/");
        QTest::newRow("relative") << QByteArray("a/b") << QByteArray("/home/u");
        QTest::newRow("empty") << QByteArray() << QByteArray("/home/u");
    }
    void selectsNearestFolder() {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, expected);
        MemoryFileSystem fs;
        fs.addFile("/home/u/a/f.txt");
        fs.addSymlink("/home/u/link");
        Fixture f(fs);
        QSignalSpy selectionChanged(&f.tree, &FolderTree::folderSelectionChanged);

        QVERIFY(f.tree.selectNearestFolder(path.toStdString()));
        QCOMPARE(f.tree.selectedPath(), expected.toStdString());
        // Already selected at start: no signal for the same folder.
        QCOMPARE(selectionChanged.count(), expected == "/home/u" ? 0 : 1);
    }

    void findsAFolderNewerThanItsLevel() {
        MemoryFileSystem fs;
        fs.addFolder("/home/u/a/b");
        Fixture f(fs);
        QVERIFY(f.tree.selectNearestFolder("/home/u/a/b"));
        fs.addFolder("/home/u/c");
        QSignalSpy selectionChanged(&f.tree, &FolderTree::folderSelectionChanged);

        // Home was read before "c" existed: it is read again (dropping "a/b"
        // with the selection on the way) and "c" is found through Home.
        QVERIFY(f.tree.selectNearestFolder("/home/u/c"));
        QCOMPARE(f.tree.selectedPath(), "/home/u/c");
        QCOMPARE(topLevelPathOf(f.tree, f.tree.selectionModel()->currentIndex()), "/home/u");
        QCOMPARE(selectionChanged.count(), 1);
    }

    void collapsingMovesTheSelectionUpAndItNeverEmpties() {
        MemoryFileSystem fs;
        fs.addFolder("/home/u/a/b");
        Fixture f(fs);
        QSignalSpy selectionChanged(&f.tree, &FolderTree::folderSelectionChanged);
        QVERIFY(f.tree.selectNearestFolder("/home/u/a/b"));
        QCOMPARE(selectionChanged.count(), 1);

        const QModelIndex home = f.tree.model()->index(0, 0);
        f.tree.collapse(home);
        QCOMPARE(f.tree.selectedPath(), "/home/u");
        QCOMPARE(selectionChanged.count(), 2);

        QTest::mouseClick(f.tree.viewport(), Qt::LeftButton, Qt::ControlModifier,
                          f.tree.visualRect(home).center());
        QCOMPARE(f.tree.selectedPath(), "/home/u");
        QCOMPARE(selectionChanged.count(), 2);
    }

    void defaultRootsStartWithHomeEachPathOnce_data() {
        QTest::addColumn<bool>("homeIsRoot");
        QTest::newRow("home folder") << false;
        QTest::newRow("home is /") << true;
    }
    void defaultRootsStartWithHomeEachPathOnce() {
        QFETCH(bool, homeIsRoot);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray home = homeIsRoot ? QByteArray("/") : QFile::encodeName(dir.path());
        const QByteArray saved = qgetenv("HOME");
        qputenv("HOME", home);
        const std::vector<TreeRoot> roots = vantrel::gui::defaultTreeRoots();
        qputenv("HOME", saved);

        QVERIFY(roots.size() >= (homeIsRoot ? 1u : 2u));
        QCOMPARE(roots[0].kind, TreeRoot::Kind::Home);
        QCOMPARE(roots[0].path, home.toStdString());
        QCOMPARE(roots[0].text, homeIsRoot ? QStringLiteral("/") : QDir(dir.path()).dirName());
        if (!homeIsRoot)
            QCOMPARE(roots[1].path, "/");
        for (std::size_t i = 0; i < roots.size(); ++i) {
            for (std::size_t j = i + 1; j < roots.size(); ++j)
                QVERIFY(roots[i].path != roots[j].path);
        }
    }

    void realFoldersLookUpAndRefresh() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString top = QDir(dir.path()).canonicalPath();
        QVERIFY(QDir().mkpath(top + "/one/two/three"));
        const std::string topPath = QFile::encodeName(top).toStdString();
        const std::string three = topPath + "/one/two/three";
        PosixFileSystem fs;
        Fixture f(fs, {{topPath, "top", TreeRoot::Kind::Home}, {"/", "/"}});
        QSignalSpy selectionChanged(&f.tree, &FolderTree::folderSelectionChanged);

        QVERIFY(f.tree.selectNearestFolder(three));
        QCOMPARE(f.tree.selectedPath(), three);
        QCOMPARE(selectionChanged.count(), 1);
        QVERIFY(f.tree.isExpanded(loadedItem(f.tree, topPath + "/one/two")));
        QVERIFY(!f.tree.isExpanded(f.tree.model()->index(1, 0)));

        QVERIFY(f.tree.selectNearestFolder(topPath + "/one/missing/x"));
        QCOMPARE(f.tree.selectedPath(), topPath + "/one");
        QCOMPARE(selectionChanged.count(), 2);

        QVERIFY(f.tree.selectNearestFolder(three));
        f.tree.refreshTree();
        QCOMPARE(f.tree.selectedPath(), three);
        QCOMPARE(selectionChanged.count(), 4);

        QVERIFY(QDir().rmdir(QFile::decodeName(QByteArray::fromStdString(three))));
        f.tree.refreshTree();
        QCOMPARE(f.tree.selectedPath(), topPath);
        QCOMPARE(selectionChanged.count(), 5);
    }
};

VANTREL_GUI_TEST(FolderTreeTest)
#include "FolderTree_test.moc"
