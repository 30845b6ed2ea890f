#pragma once

#include "foldertree/TreeRoot.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <memory>
#include <string>
#include <vector>

namespace vantrel::gui {

/// The folder tree's items: per item its exact path, its text and whether it
/// shows an expand button. Holds what was read; reading is the view's job, so
/// nothing here touches the disk.
class FolderTreeModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    /// The icons, looked up once by the caller and shared by every item.
    struct Icons {
        QIcon folder;
        QIcon home;
        QIcon drive;
    };

    explicit FolderTreeModel(Icons icons, QObject* parent = nullptr);
    ~FolderTreeModel() override;

    /// Replaces everything with the given top level (paths normalised), each
    /// item unread and with an expand button.
    void setRoots(const std::vector<TreeRoot>& roots);

    /// The item's path; empty for an invalid index and for the placeholder.
    [[nodiscard]] std::string pathOf(const QModelIndex& index) const;
    /// Whether the index is a top-level item marked removable.
    [[nodiscard]] bool isRemovableRoot(const QModelIndex& index) const;
    /// The child of `parent` with exactly this path; invalid when none.
    [[nodiscard]] QModelIndex childWithPath(const QModelIndex& parent,
                                            const std::string& path) const;

    /// Drops the children of `parent` and shows the "Loading..." row instead.
    void showPlaceholder(const QModelIndex& parent);
    /// Replaces the children of `parent` with these folder names (in the
    /// order given). With no names the item keeps its expand button only
    /// when `keepButton` is set.
    void setChildFolders(const QModelIndex& parent, const std::vector<std::string>& names,
                         bool keepButton);

    /// The item-model interface: one column; text, icon, and the path as the
    /// tooltip of top-level items. Never fails: an index out of range gives an
    /// invalid index or no data.
    [[nodiscard]] QModelIndex index(int row, int column,
                                    const QModelIndex& parent = {}) const override;
    [[nodiscard]] QModelIndex parent(const QModelIndex& child) const override;
    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] bool hasChildren(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Node;
    [[nodiscard]] Node* nodeOf(const QModelIndex& index) const;
    void removeChildren(const QModelIndex& parent, Node& node);
    void insertChildren(const QModelIndex& parent, Node& node,
                        std::vector<std::unique_ptr<Node>> children);

    Icons icons_;
    std::unique_ptr<Node> root_;
};

} // namespace vantrel::gui
