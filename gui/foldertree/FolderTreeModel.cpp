#include "foldertree/FolderTreeModel.h"

#include "foldertree/FolderPaths.h"
#include "platform/FileSystem.h"

namespace vantrel::gui {

struct FolderTreeModel::Node {
    enum class Kind { Home, Drive, Folder, Placeholder };

    Node* parent = nullptr;
    int row = 0;
    Kind kind = Kind::Folder;
    bool removable = false;
    bool expandable = true; ///< shows an expand button while it has no children
    std::string path;
    QString text;
    std::vector<std::unique_ptr<Node>> children;
};

FolderTreeModel::FolderTreeModel(Icons icons, QObject* parent)
    : QAbstractItemModel(parent), icons_(std::move(icons)), root_(std::make_unique<Node>()) {}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::setRoots(const std::vector<TreeRoot>& roots) {
    beginResetModel();
    root_->children.clear();
    for (const TreeRoot& root : roots) {
        auto node = std::make_unique<Node>();
        node->parent = root_.get();
        node->row = static_cast<int>(root_->children.size());
        node->kind = root.kind == TreeRoot::Kind::Home ? Node::Kind::Home : Node::Kind::Drive;
        node->removable = root.removable;
        node->path = normalisePath(root.path);
        node->text = root.text;
        root_->children.push_back(std::move(node));
    }
    endResetModel();
}

FolderTreeModel::Node* FolderTreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : root_.get();
}

std::string FolderTreeModel::pathOf(const QModelIndex& index) const {
    return index.isValid() ? nodeOf(index)->path : std::string();
}

bool FolderTreeModel::isRemovableRoot(const QModelIndex& index) const {
    return index.isValid() && !index.parent().isValid() && nodeOf(index)->removable;
}

QModelIndex FolderTreeModel::childWithPath(const QModelIndex& parent,
                                           const std::string& path) const {
    for (const auto& child : nodeOf(parent)->children) {
        if (child->kind != Node::Kind::Placeholder && child->path == path)
            return createIndex(child->row, 0, child.get());
    }
    return {};
}

void FolderTreeModel::removeChildren(const QModelIndex& parent, Node& node) {
    if (node.children.empty())
        return;
    beginRemoveRows(parent, 0, static_cast<int>(node.children.size()) - 1);
    node.children.clear();
    endRemoveRows();
}

void FolderTreeModel::insertChildren(const QModelIndex& parent, Node& node,
                                     std::vector<std::unique_ptr<Node>> children) {
    if (children.empty())
        return;
    beginInsertRows(parent, 0, static_cast<int>(children.size()) - 1);
    node.children = std::move(children);
    endInsertRows();
}

void FolderTreeModel::showPlaceholder(const QModelIndex& parent) {
    Node* node = nodeOf(parent);
    removeChildren(parent, *node);
    std::vector<std::unique_ptr<Node>> children;
    auto placeholder = std::make_unique<Node>();
    placeholder->parent = node;
    placeholder->kind = Node::Kind::Placeholder;
    placeholder->expandable = false;
    placeholder->text = QStringLiteral("Loading...");
    children.push_back(std::move(placeholder));
    insertChildren(parent, *node, std::move(children));
}

void FolderTreeModel::setChildFolders(const QModelIndex& parent,
                                      const std::vector<std::string>& names, bool keepButton) {
    Node* node = nodeOf(parent);
    removeChildren(parent, *node);
    std::vector<std::unique_ptr<Node>> children;
    children.reserve(names.size());
    for (const std::string& name : names) {
        auto child = std::make_unique<Node>();
        child->parent = node;
        child->row = static_cast<int>(children.size());
        child->path = vantrel::joinPath(node->path, name);
        // Shown decoded; invalid bytes become replacement characters, the
        // path above keeps them exactly.
        child->text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        children.push_back(std::move(child));
    }
    insertChildren(parent, *node, std::move(children));
    const bool expandable = !names.empty() || keepButton;
    if (node->expandable != expandable) {
        node->expandable = expandable;
        emit dataChanged(parent, parent);
    }
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, nodeOf(parent)->children[static_cast<std::size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    Node* parent = nodeOf(child)->parent;
    if (parent == root_.get())
        return {};
    return createIndex(parent->row, 0, parent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex& /*parent*/) const {
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return false;
    const Node* node = nodeOf(parent);
    return !node->children.empty() || (parent.isValid() && node->expandable);
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const Node* node = nodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
        return node->text;
    case Qt::DecorationRole:
        switch (node->kind) {
        case Node::Kind::Home:
            return icons_.home;
        case Node::Kind::Drive:
            return icons_.drive;
        case Node::Kind::Folder:
            return icons_.folder;
        case Node::Kind::Placeholder:
            return {};
        }
        return {};
    case Qt::ToolTipRole:
        if (node->parent == root_.get())
            return QString::fromUtf8(node->path.data(), static_cast<qsizetype>(node->path.size()));
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (nodeOf(index)->kind == Node::Kind::Placeholder)
        return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace vantrel::gui
