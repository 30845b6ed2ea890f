#include "help/HelpSystem.h"

#include "help/HelpWindow.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEngine>
#include <QStandardPaths>
#include <QWidget>

namespace vantrel::gui {
namespace {

/// Whether `copy` is a copy of `original` as copyInto() leaves it.
bool sameFile(const QFileInfo& original, const QFileInfo& copy) {
    return copy.isFile() && copy.size() == original.size() &&
           copy.lastModified() == original.lastModified();
}

/// Copies `original` to `copy`, with its modification time, so that the
/// next start sees the copy is current; writable, whatever the original's
/// permissions were.
bool copyFile(const QString& original, const QString& copy) {
    QFile::remove(copy);
    if (!QFile::copy(original, copy))
        return false;
    QFile file(copy);
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    return file.setFileTime(QFileInfo(original).lastModified(), QFileDevice::FileModificationTime);
}

/// Brings the collection and its help file (the collection's name with
/// ".qch") into `folder`, copied again whenever the program's own files
/// changed, in which case the old search index is dropped too. The copy of
/// the collection, or empty when it could not be made.
QString workingCopy(const QString& collection, const QString& folder) {
    const QFileInfo collectionInfo(collection);
    const QFileInfo helpInfo(
        collectionInfo.dir().filePath(collectionInfo.completeBaseName() + QStringLiteral(".qch")));
    if (!collectionInfo.isFile() || !helpInfo.isFile() || !QDir().mkpath(folder))
        return {};
    const QDir work(folder);
    const QString collectionCopy = work.filePath(collectionInfo.fileName());
    const QString helpCopy = work.filePath(helpInfo.fileName());
    if (sameFile(collectionInfo, QFileInfo(collectionCopy)) &&
        sameFile(helpInfo, QFileInfo(helpCopy)))
        return collectionCopy;
    // The index lies beside the collection, in a folder named after it.
    QDir(work.filePath(QLatin1Char('.') + collectionInfo.completeBaseName())).removeRecursively();
    if (!copyFile(helpInfo.filePath(), helpCopy) ||
        !copyFile(collectionInfo.filePath(), collectionCopy)) {
        QFile::remove(collectionCopy);
        return {};
    }
    return collectionCopy;
}

} // namespace

HelpSystem::HelpSystem(QWidget* parent, QString collectionFile, QString workFolder)
    : QObject(parent), parent_(parent), collectionFile_(std::move(collectionFile)),
      workFolder_(std::move(workFolder)) {}

HelpSystem::~HelpSystem() {
    // The window's views use the engine's models: they go first.
    delete window_.data();
    delete engine_;
}

QString HelpSystem::defaultWorkFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .filePath(QStringLiteral("help"));
}

bool HelpSystem::available() {
    return open();
}

bool HelpSystem::open() {
    if (tried_)
        return engine_ != nullptr;
    tried_ = true;
    if (collectionFile_.isEmpty() || workFolder_.isEmpty())
        return false;
    const QString collection = workingCopy(collectionFile_, workFolder_);
    if (collection.isEmpty())
        return false;
    auto* engine = new QHelpEngine(collection);
    engine->setReadOnly(true);
    // The window (and with it the search engine) exists before the set-up,
    // so that the set-up schedules the search index and the window hears
    // when it is ready.
    auto* window = new HelpWindow(*engine, parent_);
    if (!engine->setupData() || engine->registeredDocumentations().isEmpty()) {
        if (!engine->error().isEmpty())
            qWarning("help: %s", qUtf8Printable(engine->error()));
        delete window;
        delete engine;
        return false;
    }
    engine_ = engine;
    window_ = window;
    return true;
}

void HelpSystem::present() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}

bool HelpSystem::showContents() {
    if (!open())
        return false;
    window_->showContents();
    present();
    return true;
}

bool HelpSystem::showIndex() {
    if (!open())
        return false;
    window_->showIndex();
    present();
    return true;
}

bool HelpSystem::showSearch() {
    if (!open())
        return false;
    window_->showSearch();
    present();
    return true;
}

} // namespace vantrel::gui
