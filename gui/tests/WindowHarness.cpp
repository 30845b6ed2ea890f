#include "WindowHarness.h"

#include "filelist/FileListView.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>

namespace vantrel::gui::test {

void PromptScript::dialog(bool accept, const char* box, bool checked) {
    answer([accept, box, checked](const Prompt& p) {
        if (p.dialog == nullptr)
            return int(QMessageBox::No);
        if (box != nullptr) {
            auto* check = p.dialog->findChild<QCheckBox*>(QString::fromLatin1(box));
            if (check == nullptr)
                qWarning("no check box %s", box);
            else
                check->setChecked(checked);
        }
        return accept ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
}

WindowHarness::WindowHarness() {
    // Nothing of the user's own: settings, journal and runtime folder are ours.
    const QString priv = root_.filePath(QStringLiteral("private"));
    QDir().mkpath(priv + QStringLiteral("/runtime"));
    QFile::setPermissions(priv + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_STATE_HOME", (priv + QStringLiteral("/state")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (priv + QStringLiteral("/runtime")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (priv + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (priv + QStringLiteral("/cache")).toUtf8());
    QDir().mkpath(path(QStringLiteral("files")));
    settings = std::make_unique<qtsupport::SettingsStore>(
        std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat));
}

WindowHarness::~WindowHarness() {
    window.reset();
}

QString WindowHarness::path(const QString& relative) const {
    return root_.filePath(QStringLiteral("tree/") + relative);
}

void WindowHarness::file(const QString& relative, const QByteArray& content) const {
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
}

bool WindowHarness::exists(const QString& relative) const {
    return QFileInfo::exists(path(relative));
}

bool WindowHarness::start(const std::string& argument) {
    window = std::make_unique<MainWindow>(*settings, fs);
    scans = std::make_unique<QSignalSpy>(window.get(), &MainWindow::scanFinished);
    TreeRoot root;
    root.path = path(QString()).chopped(1).toStdString();
    root.text = QStringLiteral("Tree");
    root.kind = TreeRoot::Kind::Home;
    const std::string arg =
        argument.empty() ? path(QStringLiteral("files")).toStdString() : argument;
    window->initialise(arg, {root});
    return waitForScan();
}

bool WindowHarness::waitForScan() {
    if (!window->workspace().scan().running())
        return true;
    return scans->wait(10000);
}

QString WindowHarness::cell(int row, int column) const {
    const auto* model = window->fileList()->model();
    return model->data(model->index(row, column)).toString();
}

int WindowHarness::rows() const {
    return window->fileList()->model()->rowCount();
}

std::unique_ptr<qtsupport::SettingsStore> WindowHarness::settingsView() const {
    settings->sync();
    return std::make_unique<qtsupport::SettingsStore>(
        std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat));
}

void WindowHarness::closeAndDestroy() {
    window->close();
    window.reset();
    settings->sync();
}

} // namespace vantrel::gui::test
