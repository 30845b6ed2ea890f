#include "foldertree/TreeRoot.h"

#include "foldertree/FolderPaths.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include <algorithm>

namespace vantrel::gui {

namespace {

std::string bytesOf(const QString& path) {
    return normalisePath(QFile::encodeName(path).toStdString());
}

bool isUnderAny(const std::string& path, std::initializer_list<std::string_view> folders) {
    return std::any_of(folders.begin(), folders.end(),
                       [&](std::string_view folder) { return isPathPrefix(folder, path); });
}

} // namespace

std::vector<TreeRoot> defaultTreeRoots() {
    std::vector<TreeRoot> roots;
    const auto add = [&roots](TreeRoot root) {
        const bool known = std::any_of(roots.begin(), roots.end(),
                                       [&](const TreeRoot& r) { return r.path == root.path; });
        if (!known && !root.path.empty())
            roots.push_back(std::move(root));
    };

    const QString home = QDir::homePath();
    const QString homeName = QDir(home).dirName();
    add({bytesOf(home), homeName.isEmpty() ? home : homeName, TreeRoot::Kind::Home});
    add({"/", QStringLiteral("/"), TreeRoot::Kind::FileSystem});

    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const std::string path = bytesOf(volume.rootPath());
        if (!isUnderAny(path, {"/media", "/run/media", "/mnt"}))
            continue;
        add({path, volume.displayName(), TreeRoot::Kind::Volume,
             isUnderAny(path, {"/media", "/run/media"})});
    }
    return roots;
}

} // namespace vantrel::gui
