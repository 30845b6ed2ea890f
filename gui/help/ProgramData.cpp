#include "help/ProgramData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// Given by the build: the data folder relative to the folder of the
// installed executable, and as an absolute path under the configured prefix.
#ifndef VANTREL_DATA_FROM_BIN
#define VANTREL_DATA_FROM_BIN "../share/vantrel"
#endif
#ifndef VANTREL_DATA_DIR
#define VANTREL_DATA_DIR "/usr/local/share/vantrel"
#endif

namespace vantrel::gui {

QString programDataFile(const QString& name) {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString candidates[] = {
        programFolder.filePath(name),
        QDir::cleanPath(programFolder.filePath(QStringLiteral(VANTREL_DATA_FROM_BIN "/") + name)),
        QDir(QStringLiteral(VANTREL_DATA_DIR)).filePath(name),
    };
    for (const QString& path : candidates) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

} // namespace vantrel::gui
