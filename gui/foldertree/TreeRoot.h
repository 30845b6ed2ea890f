#pragma once

#include <QString>

#include <string>
#include <vector>

namespace vantrel::gui {

/// One top-level item of the folder tree.
struct TreeRoot {
    enum class Kind { Home, FileSystem, Volume };
    std::string path; ///< absolute, bytes as the file system gives them
    QString text;
    Kind kind = Kind::FileSystem;
    /// Its media can come and go: an expansion that finds nothing keeps the
    /// expand button so that the next one tries again.
    bool removable = false;
};

/// The user's home folder first, then "/", then the volumes mounted under
/// /media, /run/media and /mnt, each path once. The ones under /media and
/// /run/media (where removable media are mounted) count as removable. Never
/// fails: a volume that is not ready is left out.
[[nodiscard]] std::vector<TreeRoot> defaultTreeRoots();

} // namespace vantrel::gui
