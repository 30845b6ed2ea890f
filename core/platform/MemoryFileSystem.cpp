#include "platform/MemoryFileSystem.h"

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

} // namespace vantrel
