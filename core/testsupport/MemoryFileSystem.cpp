#include "testsupport/MemoryFileSystem.h"

#include <algorithm>
#include <cerrno>

namespace vantrel {

namespace {

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::size_t index(MemoryFileSystem::Operation operation) {
    return static_cast<std::size_t>(operation);
}

} // namespace

class MemoryListing final : public FolderListing {
public:
    MemoryListing(MemoryFileSystem& fs, std::string path, std::vector<std::string> children)
        : fs_(fs), path_(std::move(path)), children_(std::move(children)) {}

    bool next(std::string_view& name, FileKind& kind) override {
        if (next_ >= children_.size())
            return false;
        name = children_[next_++];
        kind = FileKind::Unknown; // as file systems that do not tell the type
        return true;
    }
    Result attributes(std::string_view name, FileAttributes& out) override {
        return fs_.attributes(joinPath(path_, name), out);
    }
    Result openRead(std::string_view name, std::unique_ptr<ByteStream>& out) override {
        return fs_.openRead(joinPath(path_, name), out);
    }

private:
    MemoryFileSystem& fs_;
    std::string path_;
    std::vector<std::string> children_;
    std::size_t next_ = 0;
};

MemoryFileSystem::MemoryFileSystem() {
    Node root;
    root.attributes.kind = FileKind::Folder;
    root.attributes.inode = nextInode_++;
    nodes_.emplace("/", std::move(root));
}

MemoryFileSystem::Node& MemoryFileSystem::make(const std::string& path, FileKind kind) {
    if (auto it = nodes_.find(path); it != nodes_.end())
        return it->second;
    const std::string parent = parentOf(path);
    make(parent, FileKind::Folder).children.push_back(std::string(lastComponent(path)));
    Node& node = nodes_[path];
    node.attributes.kind = kind;
    node.attributes.inode = nextInode_++;
    return node;
}

void MemoryFileSystem::addFolder(const std::string& path) {
    Node& node = make(path, FileKind::Folder);
    node.attributes.size = 4096;
}

void MemoryFileSystem::addFile(const std::string& path, std::string content, FileTime modified,
                               FileTime created) {
    Node& node = make(path, FileKind::File);
    node.attributes.size = static_cast<std::int64_t>(content.size());
    node.attributes.modified = node.attributes.accessed = modified;
    node.attributes.created = created.seconds == 0 ? modified : created;
    node.content = std::move(content);
}

void MemoryFileSystem::addSymlink(const std::string& path) {
    make(path, FileKind::Symlink).attributes.size = 8;
}

void MemoryFileSystem::failNthCall(Operation operation, std::size_t nth, int errnum) {
    failAt_[index(operation)] = calls_[index(operation)] + nth;
    failErrno_[index(operation)] = errnum;
}

void MemoryFileSystem::failPath(Operation operation, const std::string& path, int errnum) {
    failPaths_[{operation, path}] = errnum;
}

std::size_t MemoryFileSystem::calls(Operation operation) const {
    return calls_[index(operation)];
}

Result MemoryFileSystem::injected(Operation operation, const std::string& path,
                                  std::string_view verb) {
    const std::size_t call = ++calls_[index(operation)];
    if (call == actionAt_[index(operation)] && actions_[index(operation)]) {
        auto action = std::move(actions_[index(operation)]);
        action();
    }
    if (call == failAt_[index(operation)])
        return Result::fromErrno(std::string(verb), path, failErrno_[index(operation)]);
    if (auto it = failPaths_.find({operation, path}); it != failPaths_.end())
        return Result::fromErrno(std::string(verb), path, it->second);
    return {};
}

Result MemoryFileSystem::openFolder(const std::string& path, std::unique_ptr<FolderListing>& out) {
    if (Result r = injected(Operation::OpenFolder, path, "open the folder"); !r)
        return r;
    const auto it = nodes_.find(path);
    if (it == nodes_.end())
        return Result::fromErrno("open the folder", path, ENOENT);
    if (it->second.attributes.kind != FileKind::Folder)
        return Result::fromErrno("open the folder", path, ENOTDIR);
    out = std::make_unique<MemoryListing>(*this, path, it->second.children);
    return {};
}

Result MemoryFileSystem::attributes(const std::string& path, FileAttributes& out) {
    if (Result r = injected(Operation::Attributes, path, "read the attributes of"); !r)
        return r;
    const auto it = nodes_.find(path);
    if (it == nodes_.end())
        return Result::fromErrno("read the attributes of", path, ENOENT);
    out = it->second.attributes;
    return {};
}

namespace {

/// A stream that owns its bytes.
class OwnedByteStream final : public ByteStream {
public:
    explicit OwnedByteStream(std::string bytes) : bytes_(std::move(bytes)), view_(bytes_) {}
    OwnedByteStream(const OwnedByteStream&) = delete; // the view points into bytes_
    OwnedByteStream& operator=(const OwnedByteStream&) = delete;
    std::size_t read(void* out, std::size_t size) override { return view_.read(out, size); }

private:
    std::string bytes_;
    MemoryByteStream view_;
};

} // namespace

Result MemoryFileSystem::openRead(const std::string& path, std::unique_ptr<ByteStream>& out) {
    if (Result r = injected(Operation::OpenRead, path, "open"); !r)
        return r;
    const auto it = nodes_.find(path);
    if (it == nodes_.end())
        return Result::fromErrno("open", path, ENOENT);
    if (it->second.attributes.kind != FileKind::File)
        return Result::fromErrno("open", path,
                                 it->second.attributes.kind == FileKind::Symlink ? ELOOP : EISDIR);
    out = std::make_unique<OwnedByteStream>(it->second.content);
    return {};
}

void MemoryFileSystem::addHardLink(const std::string& existing, const std::string& path) {
    const Node original = nodes_.at(existing);
    Node& node = make(path, FileKind::File);
    node.attributes = original.attributes;
    node.content = original.content;
}

bool MemoryFileSystem::exists(const std::string& path) const {
    return nodes_.count(path) != 0;
}

std::string MemoryFileSystem::content(const std::string& path) const {
    const auto it = nodes_.find(path);
    return it == nodes_.end() ? std::string() : it->second.content;
}

std::vector<std::pair<std::string, std::string>> MemoryFileSystem::snapshot() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [path, node] : nodes_) {
        if (path == "/")
            continue;
        if (node.attributes.kind == FileKind::Folder)
            out.emplace_back(path + "/", std::string());
        else
            out.emplace_back(path, node.content);
    }
    return out;
}

void MemoryFileSystem::beforeNthCall(Operation operation, std::size_t nth,
                                     std::function<void()> action) {
    actionAt_[index(operation)] = calls_[index(operation)] + nth;
    actions_[index(operation)] = std::move(action);
}

void MemoryFileSystem::unlinkFromParent(const std::string& path) {
    auto& siblings = nodes_.at(parentOf(path)).children;
    const std::string name(lastComponent(path));
    siblings.erase(std::find(siblings.begin(), siblings.end(), name));
}

Result MemoryFileSystem::rename(const std::string& from, const std::string& to, RenameMode mode) {
    if (Result r = injected(Operation::Rename, from, "rename"); !r)
        return r;
    const auto source = nodes_.find(from);
    if (source == nodes_.end())
        return Result::fromErrno("rename", from, ENOENT);
    const auto parent = nodes_.find(parentOf(to));
    if (parent == nodes_.end() || parent->second.attributes.kind != FileKind::Folder)
        return Result::fromErrno("rename", from, ENOENT);
    const bool isFolder = source->second.attributes.kind == FileKind::Folder;
    if (isFolder && to.starts_with(from + "/"))
        return Result::fromErrno("rename", from, EINVAL);
    if (const auto target = nodes_.find(to); target != nodes_.end()) {
        if (from == to)
            return {};
        if (mode == RenameMode::NoReplace || isFolder)
            return Result::fromErrno("rename", from, EEXIST);
        if (target->second.attributes.kind == FileKind::Folder)
            return Result::fromErrno("rename", from, EISDIR);
        if (target->second.attributes.inode == source->second.attributes.inode)
            return {}; // two names of one file: nothing happens, as rename(2) does
        unlinkFromParent(to);
        nodes_.erase(target);
    }
    // Move the entry and, for a folder, everything below it.
    std::vector<std::pair<std::string, Node>> moved;
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        if (it->first == from || it->first.starts_with(from + "/")) {
            moved.emplace_back(to + it->first.substr(from.size()), std::move(it->second));
            it = nodes_.erase(it);
        } else {
            ++it;
        }
    }
    unlinkFromParent(from);
    for (auto& [path, node] : moved)
        nodes_.emplace(path, std::move(node));
    nodes_.at(parentOf(to)).children.push_back(std::string(lastComponent(to)));
    return {};
}

Result MemoryFileSystem::copyFile(const std::string& from, const std::string& to, bool overwrite) {
    if (Result r = injected(Operation::Copy, from, "copy"); !r)
        return r;
    const auto source = nodes_.find(from);
    if (source == nodes_.end())
        return Result::fromErrno("copy", from, ENOENT);
    if (source->second.attributes.kind != FileKind::File)
        return Result::fromErrno("copy", from, EISDIR);
    const auto parent = nodes_.find(parentOf(to));
    if (parent == nodes_.end() || parent->second.attributes.kind != FileKind::Folder)
        return Result::fromErrno("copy", from, ENOENT);
    if (const auto target = nodes_.find(to); target != nodes_.end()) {
        if (!overwrite)
            return Result::fromErrno("copy", from, EEXIST);
        if (target->second.attributes.kind == FileKind::Folder)
            return Result::fromErrno("copy", from, EISDIR);
        target->second.content = source->second.content;
        target->second.attributes.size = source->second.attributes.size;
        target->second.attributes.modified = source->second.attributes.modified;
        return {};
    }
    const Node copied = source->second;
    Node& node = make(to, FileKind::File);
    const std::uint64_t inode = node.attributes.inode;
    node = copied;
    node.attributes.inode = inode;
    return {};
}

Result MemoryFileSystem::removeFile(const std::string& path) {
    if (Result r = injected(Operation::Remove, path, "remove"); !r)
        return r;
    const auto it = nodes_.find(path);
    if (it == nodes_.end())
        return Result::fromErrno("remove", path, ENOENT);
    if (it->second.attributes.kind == FileKind::Folder)
        return Result::fromErrno("remove", path, EISDIR);
    unlinkFromParent(path);
    nodes_.erase(it);
    return {};
}

} // namespace vantrel
