// The window's speed on a big folder, offscreen: the scan from the tree's
// selection to "Folder: ..." beside `vantrel-cli preview` of the same tree
// (alternating, in one run), the longest time the UI thread was blocked
// during a scan, keystroke-to-repaint with every entry selected (default
// and heavy criteria), and peak memory.
//
//   vantrel_gui_bench TREE CLI [RUNS]
#include "HeavyCriteria.h"
#include "SettingsStore.h"
#include "app/MainWindow.h"
#include "filelist/FileListView.h"
#include "foldertree/FolderTree.h"
#include "panels/CriteriaPanels.h"
#include "platform/PosixFileSystem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace vantrel;
using namespace vantrel::gui;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

long long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6));
    return 0;
}

/// Runs the event loop until `done` holds; the longest gap between two
/// turns of a 1 ms timer is the longest the UI thread was blocked.
double runUntil(const std::function<bool()>& done, double* longestGap = nullptr) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, gap = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gap = std::max(gap, now - last);
        last = now;
    });
    ticker.start();
    last = clock.nsecsElapsed();
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    gap = std::max(gap, clock.nsecsElapsed() - last);
    if (longestGap != nullptr)
        *longestGap = static_cast<double>(gap) / 1e6;
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

/// The heavy criteria with the list recursive; the prefix is what the
/// keystrokes type.
RenameCriteria heavyCriteria() {
    RenameCriteria c = bench::heavyCriteria();
    c.prefix.clear();
    c.recursive = true;
    return c;
}

/// Keystrokes into the Prefix box: from the key press to the rows in view
/// repainted with their new names, and to the whole list refreshed and
/// repainted.
struct Keystrokes {
    std::vector<double> shown;
    std::vector<double> whole;
};

Keystrokes keystrokes(MainWindow& window, int count) {
    auto* prefix = window.panels()->findChild<QLineEdit*>(QStringLiteral("field_prefix"));
    prefix->setFocus();
    Keystrokes times;
    QElapsedTimer clock;
    double shown = -1;
    const std::function<void()> paint = window.workspace().afterVisibleRows;
    window.workspace().afterVisibleRows = [&] {
        if (paint)
            paint();
        if (shown < 0)
            shown = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    };
    for (int i = 0; i < count; ++i) {
        shown = -1;
        clock.start();
        const QChar c = QChar(u'a' + i % 26);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A + i % 26, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A + i % 26, Qt::NoModifier, QString(c));
        QApplication::sendEvent(prefix, &press);
        QApplication::sendEvent(prefix, &release);
        while (window.workspace().refreshPending())
            QCoreApplication::processEvents();
        window.fileList()->viewport()->repaint();
        const double whole = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        times.whole.push_back(whole);
        times.shown.push_back(shown < 0 ? whole : shown);
    }
    window.workspace().afterVisibleRows = paint;
    return times;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vantrel_gui_bench TREE CLI [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string tree = argv[1];
    const QString cli = QString::fromLocal8Bit(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

    QTemporaryDir home;
    qputenv("XDG_STATE_HOME", home.path().toUtf8());
    qtsupport::SettingsStore settings(std::make_unique<QSettings>(
        home.filePath(QStringLiteral("vantrel.conf")), QSettings::IniFormat));
    PosixFileSystem fs;
    MainWindow window(settings, fs);
    window.resize(1200, 800);
    TreeRoot root;
    const std::size_t slash = tree.rfind('/');
    root.path = slash == 0 ? "/" : tree.substr(0, slash);
    root.text = QStringLiteral("root");
    window.initialise(root.path, {root});
    window.show();
    runUntil([&] { return !window.workspace().scan().running(); });

    // Scans, alternating with the command line's preview of the same tree.
    std::vector<double> gui, preview, gaps;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(cli, {QStringLiteral("preview"), QStringLiteral("--set"),
                      QStringLiteral("Selections/Recursive=1"), QString::fromStdString(tree)});
        p.waitForFinished(-1);
        preview.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);

        window.workspace().criteria.recursive = false;
        window.folderTree()->selectNearestFolder(root.path);
        runUntil([&] { return !window.workspace().scan().running(); });
        window.workspace().criteria.recursive = true;
        double gap = 0;
        QElapsedTimer scan;
        scan.start();
        window.folderTree()->selectNearestFolder(tree);
        runUntil([&] { return !window.workspace().scan().running(); }, &gap);
        gui.push_back(static_cast<double>(scan.nsecsElapsed()) / 1e6);
        gaps.push_back(gap);
    }
    const std::size_t entries = window.workspace().list().size();
    std::printf("scan of %zu entries: window %.0f ms, vantrel-cli preview %.0f ms (median of %d); "
                "ratio %.2f\n",
                entries, median(gui), median(preview), runs, median(gui) / median(preview));
    std::printf("longest UI block during a scan: %.1f ms (worst of %d)\n",
                *std::max_element(gaps.begin(), gaps.end()), runs);

    window.selectAll();
    runUntil([&] { return !window.workspace().refreshPending(); });
    auto report = [](const char* what, const Keystrokes& k) {
        const auto line = [what](const char* to, const std::vector<double>& t) {
            std::printf("keystroke to %s, %s, 100,000 selected: median %.1f ms, worst %.1f ms "
                        "(%zu)\n",
                        to, what, median(t), *std::max_element(t.begin(), t.end()), t.size());
        };
        line("the rows in view repainted", k.shown);
        line("the whole list refreshed and repainted", k.whole);
    };
    report("default criteria", keystrokes(window, 20));
    window.workspace().criteria = heavyCriteria();
    window.panels()->showAll(window.workspace().criteria);
    report("heavy criteria", keystrokes(window, 20));
    // Where a keystroke's time goes: the refresh alone, and a repaint alone.
    std::vector<double> refresh, repaint;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer clock;
        clock.start();
        window.workspace().refreshPreview();
        refresh.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        clock.restart();
        window.fileList()->viewport()->repaint();
        repaint.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::printf(
        "of which, heavy criteria: refresh %.1f ms, repaint of the list %.1f ms (medians)\n",
        median(refresh), median(repaint));
    std::printf("peak RSS: %.1f MB\n", static_cast<double>(peakResidentKiB()) / 1024.0);
    return 0;
}
