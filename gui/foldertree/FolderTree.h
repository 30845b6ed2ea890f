#pragma once

#include "foldertree/TreeRoot.h"
#include "platform/FileSystem.h"

#include <QTreeView>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::gui {

class FolderTreeModel;

/// The folder navigator: folders only (hidden ones too, symbolic links never
/// followed), each level read through the file-system seam when its item is
/// expanded and read again at every later expansion. Everything runs on the
/// UI thread; reading a level blocks it for as long as the listing takes.
class FolderTree : public QTreeView {
    Q_OBJECT
public:
    /// An empty tree reading through `fs` (which must outlive it); call
    /// buildRoot to fill the top level. Object name "folderTree".
    explicit FolderTree(FileSystem& fs, QWidget* parent = nullptr);
    ~FolderTree() override;

    /// Builds the top level, expands (reads) the first item and selects it;
    /// used at start-up. Never fails: a root that cannot be read just shows
    /// no children.
    void buildRoot(std::vector<TreeRoot> roots = defaultTreeRoots());
    /// Where refreshTree takes the top level from (defaultTreeRoots unless
    /// set), so that volumes mounted since start-up appear.
    void setRootSource(std::function<std::vector<TreeRoot>()> source);

    /// The selected folder's absolute path (bytes exactly as the file system
    /// gives them); empty when none.
    [[nodiscard]] std::string selectedPath() const;
    /// The item's path; empty for an invalid index and the "Loading..." row.
    [[nodiscard]] std::string pathOf(const QModelIndex& index) const;

    /// The item of this path (normalised as text first, compared byte for
    /// byte), expanding the items on the way and only those. A path that does
    /// not exist gives the first top-level item; one that exists but is not a
    /// folder reachable without following links gives an invalid index.
    QModelIndex locateItemByPath(const std::string& path);
    /// The item of the nearest existing folder at or above `path` that the
    /// tree can show; the first top-level item when there is none (or the
    /// path is relative); invalid only when the tree is empty.
    QModelIndex locateNearestFolder(const std::string& path);
    /// locateNearestFolder, then makes it the current and selected item and
    /// brings it into view (folderSelectionChanged once when the selected
    /// folder changes). False only when the tree is empty.
    bool selectNearestFolder(const std::string& path);
    /// Rebuilds the whole tree and selects the folder selected before again,
    /// or the first top-level item when it has gone. Emits
    /// folderSelectionChanged once in either case, so the receiver rescans.
    void refreshTree();

signals:
    /// The selection changed (user or program); the receiver reads selectedPath().
    void folderSelectionChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    [[nodiscard]] QItemSelectionModel::SelectionFlags
    selectionCommand(const QModelIndex& index, const QEvent* event = nullptr) const override;

private:
    class ProgramChange;

    void rebuild(const std::vector<TreeRoot>& roots);
    void readLevel(const QModelIndex& index);
    void revealChildren(const QModelIndex& index);
    void moveSelectionOutOf(const QModelIndex& index);
    void select(const QModelIndex& index);
    [[nodiscard]] QModelIndex selectedIndex() const;
    [[nodiscard]] QModelIndex firstTopLevelItem() const;
    [[nodiscard]] QModelIndex findFolder(const std::string& path);
    [[nodiscard]] QModelIndex childOnTheWay(const QModelIndex& item, const std::string& path);
    [[nodiscard]] bool exists(const std::string& path, bool folderOnly);
    void announceIfChanged();

    FileSystem& fs_;
    FolderTreeModel* model_;
    std::function<std::vector<TreeRoot>()> rootSource_;
    int programChanges_ = 0;               ///< nesting depth of program-driven operations
    std::optional<std::string> announced_; ///< the selected path last signalled
};

} // namespace vantrel::gui
