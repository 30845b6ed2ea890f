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

bool asciiEqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
               };
               return lower(x) == lower(y);
           });
}

/// The components of an absolute path with "." dropped and ".." applied;
/// false for a relative path.
bool components(const std::string& path, std::vector<std::string>& out) {
    out.clear();
    if (path.empty() || path.front() != '/')
        return false;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!out.empty())
                out.pop_back();
        } else if (!part.empty() && part != ".") {
            out.push_back(part);
        }
        start = end + 1;
    }
    return true;
}

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

class MemoryListing final : public FolderListing {
public:
    MemoryListing(MemoryFileSystem& fs, std::string path, std::vector<std::string> children)
        : fs_(fs), path_(std::move(path)), children_(std::move(children)) {}

    bool next(std::string_view& name, FileKind& kind) override {
        if (next_ >= children_.size() || !failure_.ok())
            return false;
        failure_ = fs_.injected(MemoryFileSystem::Operation::ReadFolder, path_, "read the folder");
        if (!failure_.ok())
            return false;
        name = children_[next_++];
        kind = FileKind::Unknown; // as file systems that do not tell the type
        return true;
    }
    Result renameChild(std::string_view from, std::string_view to) override {
        // Known by its path here: callers must not keep a listing across a
        // rename of its folder.
        return fs_.rename(joinPath(path_, from), joinPath(path_, to), RenameMode::NoReplace);
    }
    [[nodiscard]] FileIdentity listedIdentity() const override {
        if (!fs_.listingsTellIdentity_ || next_ == 0)
            return {};
        const std::string stored = fs_.resolve(joinPath(path_, children_[next_ - 1]));
        if (stored.empty())
            return {};
        const FileAttributes& attributes = fs_.nodes_.at(stored).inode->attributes;
        return attributes.kind == FileKind::Folder ? FileIdentity{} : attributes.identity;
    }
    [[nodiscard]] Result readFailure() const override { return failure_; }
    Result attributes(std::string_view name, FileAttributes& out) override {
        return fs_.attributes(joinPath(path_, name), out);
    }
    Result openRead(std::string_view name, std::unique_ptr<ByteStream>& out) override {
        return fs_.openRead(joinPath(path_, name), out);
    }
    Result openFolder(std::string_view name, std::unique_ptr<FolderListing>& out) override {
        return fs_.openFolder(joinPath(path_, name), out);
    }

private:
    MemoryFileSystem& fs_;
    std::string path_;
    std::vector<std::string> children_;
    std::size_t next_ = 0;
    Result failure_;
};

class MemoryJournalFile final : public JournalFile {
public:
    MemoryJournalFile(MemoryFileSystem& fs, std::string stored, std::string shown,
                      std::shared_ptr<MemoryFileSystem::Inode> inode, JournalAccess access)
        : fs_(fs), stored_(std::move(stored)), shown_(std::move(shown)), inode_(std::move(inode)),
          access_(access) {}
    ~MemoryJournalFile() override {
        auto& lock = fs_.locks_[stored_];
        if (access_ == JournalAccess::Write || access_ == JournalAccess::Update)
            lock.exclusive = false;
        else if (access_ == JournalAccess::ReadShared)
            --lock.shared;
    }
    MemoryJournalFile(const MemoryJournalFile&) = delete;
    MemoryJournalFile& operator=(const MemoryJournalFile&) = delete;

    Result read(std::string& out, std::size_t limit) override {
        if (Result r =
                fs_.injected(MemoryFileSystem::Operation::JournalRead, shown_, "read journal");
            !r)
            return r;
        out = inode_->content.substr(0, limit);
        return {};
    }
    Result truncate() override {
        if (Result r =
                fs_.injected(MemoryFileSystem::Operation::JournalTruncate, shown_, "empty journal");
            !r)
            return r;
        inode_->content.clear();
        inode_->attributes.size = 0;
        failure_ = {};
        return {};
    }
    Result append(std::string_view bytes) override {
        if (!failure_.ok())
            return failure_;
        failure_ =
            fs_.injected(MemoryFileSystem::Operation::JournalAppend, shown_, "write journal");
        if (!failure_.ok())
            return failure_;
        inode_->content.append(bytes);
        inode_->attributes.size = static_cast<std::int64_t>(inode_->content.size());
        return {};
    }
    Result finish() override { return {}; }

private:
    MemoryFileSystem& fs_;
    std::string stored_;
    std::string shown_;
    std::shared_ptr<MemoryFileSystem::Inode> inode_;
    JournalAccess access_;
    Result failure_;
};

MemoryFileSystem::MemoryFileSystem() {
    Node root;
    root.inode = std::make_shared<Inode>();
    root.inode->attributes.kind = FileKind::Folder;
    root.inode->attributes.identity = {1, nextInode_++};
    nodes_.emplace("/", std::move(root));
}

MemoryFileSystem::MemoryFileSystem(const MemoryFileSystem& other)
    : FileSystem(), nextInode_(other.nextInode_),
      listingsTellIdentity_(other.listingsTellIdentity_) {
    // Names that shared a file share its copy.
    std::map<const Inode*, std::shared_ptr<Inode>> copies;
    for (const auto& [path, node] : other.nodes_) {
        Node copy = node;
        auto& shared = copies[node.inode.get()];
        if (!shared)
            shared = std::make_shared<Inode>(*node.inode);
        copy.inode = shared;
        nodes_.emplace(path, std::move(copy));
    }
}

MemoryFileSystem::~MemoryFileSystem() = default;

std::string MemoryFileSystem::resolve(const std::string& path) const {
    std::vector<std::string> parts;
    if (!components(path, parts))
        return {};
    std::string current = "/";
    for (const std::string& part : parts) {
        const auto it = nodes_.find(current);
        if (it == nodes_.end() || it->second.inode->attributes.kind != FileKind::Folder)
            return {};
        const auto& children = it->second.children;
        auto found = std::find(children.begin(), children.end(), part);
        if (found == children.end() && it->second.caseInsensitive)
            found = std::find_if(children.begin(), children.end(), [&](const std::string& c) {
                return asciiEqualsIgnoreCase(c, part);
            });
        if (found == children.end())
            return {};
        current = joinPath(current, *found);
    }
    return current;
}

std::string MemoryFileSystem::resolveParent(const std::string& path, std::string& name) const {
    std::vector<std::string> parts;
    if (!components(path, parts) || parts.empty())
        return {};
    name = parts.back();
    parts.pop_back();
    std::string parent = "/";
    for (const std::string& part : parts)
        parent = joinPath(parent, part);
    const std::string stored = resolve(parent);
    if (stored.empty() || nodes_.at(stored).inode->attributes.kind != FileKind::Folder)
        return {};
    return stored;
}

MemoryFileSystem::Node* MemoryFileSystem::node(const std::string& stored) {
    const auto it = nodes_.find(stored);
    return it == nodes_.end() ? nullptr : &it->second;
}

MemoryFileSystem::Node& MemoryFileSystem::make(const std::string& path, FileKind kind) {
    if (auto it = nodes_.find(path); it != nodes_.end())
        return it->second;
    const std::string parent = parentOf(path);
    make(parent, FileKind::Folder).children.push_back(std::string(lastComponent(path)));
    Node& made = nodes_[path];
    made.inode = std::make_shared<Inode>();
    made.inode->attributes.kind = kind;
    made.inode->attributes.identity = {1, nextInode_++};
    return made;
}

void MemoryFileSystem::link(const std::string& folder, const std::string& name, Node made) {
    nodes_.at(folder).children.push_back(name);
    nodes_.emplace(joinPath(folder, name), std::move(made));
}

void MemoryFileSystem::unlink(const std::string& stored) {
    auto& siblings = nodes_.at(parentOf(stored)).children;
    const std::string name(lastComponent(stored));
    siblings.erase(std::find(siblings.begin(), siblings.end(), name));
    const auto it = nodes_.find(stored);
    --it->second.inode->attributes.links;
    nodes_.erase(it);
}

void MemoryFileSystem::addFolder(const std::string& path) {
    Node& made = make(path, FileKind::Folder);
    made.inode->attributes.size = 4096;
}

void MemoryFileSystem::addFile(const std::string& path, std::string content, FileTime modified,
                               FileTime created) {
    Inode& inode = *make(path, FileKind::File).inode;
    inode.attributes.size = static_cast<std::int64_t>(content.size());
    inode.attributes.modified = inode.attributes.accessed = modified;
    inode.attributes.created = created.seconds == 0 ? modified : created;
    inode.content = std::move(content);
}

void MemoryFileSystem::addSymlink(const std::string& path) {
    make(path, FileKind::Symlink).inode->attributes.size = 8;
}

void MemoryFileSystem::addHardLink(const std::string& existing, const std::string& path) {
    const std::shared_ptr<Inode> shared = nodes_.at(existing).inode;
    make(parentOf(path), FileKind::Folder);
    Node name;
    name.inode = shared;
    ++shared->attributes.links;
    link(parentOf(path), std::string(lastComponent(path)), std::move(name));
}

void MemoryFileSystem::setCaseInsensitive(const std::string& folder) {
    make(folder, FileKind::Folder).caseInsensitive = true;
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

void MemoryFileSystem::beforeNthCall(Operation operation, std::size_t nth,
                                     std::function<void()> action) {
    actionAt_[index(operation)] = calls_[index(operation)] + nth;
    actions_[index(operation)] = std::move(action);
}

void MemoryFileSystem::beforeEveryCall(
    std::function<void(Operation, const std::string&)> observer) {
    observer_ = std::move(observer);
}

Result MemoryFileSystem::injected(Operation operation, const std::string& path,
                                  std::string_view verb) {
    if (observer_)
        observer_(operation, path);
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

bool MemoryFileSystem::exists(const std::string& path) const {
    return !resolve(path).empty();
}

std::string MemoryFileSystem::content(const std::string& path) const {
    const std::string stored = resolve(path);
    return stored.empty() ? std::string() : nodes_.at(stored).inode->content;
}

std::uint64_t MemoryFileSystem::inodeOf(const std::string& path) const {
    const std::string stored = resolve(path);
    return stored.empty() ? 0 : nodes_.at(stored).inode->attributes.identity.inode;
}

std::vector<std::pair<std::string, std::string>> MemoryFileSystem::snapshot() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [path, entry] : nodes_) {
        if (path == "/")
            continue;
        if (entry.inode->attributes.kind == FileKind::Folder)
            out.emplace_back(path + "/", std::string());
        else
            out.emplace_back(path, entry.inode->content);
    }
    return out;
}

Result MemoryFileSystem::openFolder(const std::string& path, std::unique_ptr<FolderListing>& out) {
    if (Result r = injected(Operation::OpenFolder, path, "open the folder"); !r)
        return r;
    const std::string stored = resolve(path);
    if (stored.empty())
        return Result::fromErrno("open the folder", path, ENOENT);
    const Node& folder = nodes_.at(stored);
    if (folder.inode->attributes.kind != FileKind::Folder)
        return Result::fromErrno("open the folder", path, ENOTDIR);
    out = std::make_unique<MemoryListing>(*this, path, folder.children);
    return {};
}

Result MemoryFileSystem::attributes(const std::string& path, FileAttributes& out) {
    if (Result r = injected(Operation::Attributes, path, "read the attributes of"); !r)
        return r;
    const std::string stored = resolve(path);
    if (stored.empty())
        return Result::fromErrno("read the attributes of", path, ENOENT);
    out = nodes_.at(stored).inode->attributes;
    return {};
}

Result MemoryFileSystem::openRead(const std::string& path, std::unique_ptr<ByteStream>& out) {
    if (Result r = injected(Operation::OpenRead, path, "open"); !r)
        return r;
    const std::string stored = resolve(path);
    if (stored.empty())
        return Result::fromErrno("open", path, ENOENT);
    const Inode& inode = *nodes_.at(stored).inode;
    if (inode.attributes.kind != FileKind::File)
        return Result::fromErrno("open", path,
                                 inode.attributes.kind == FileKind::Symlink ? ELOOP : EISDIR);
    out = std::make_unique<OwnedByteStream>(inode.content);
    return {};
}

Result MemoryFileSystem::rename(const std::string& from, const std::string& to, RenameMode mode) {
    if (Result r = injected(Operation::Rename, from, "rename"); !r)
        return r;
    const std::string source = resolve(from);
    if (source.empty())
        return Result::fromErrno("rename", from, ENOENT);
    std::string name;
    const std::string folder = resolveParent(to, name);
    if (folder.empty())
        return Result::fromErrno("rename", from, ENOENT);
    const std::string moved = joinPath(folder, name);
    const Inode& sourceInode = *nodes_.at(source).inode;
    const bool isFolder = sourceInode.attributes.kind == FileKind::Folder;
    if (isFolder && moved.starts_with(source + "/"))
        return Result::fromErrno("rename", from, EINVAL);
    if (const std::string target = resolve(to); !target.empty()) {
        // As the kernel: no-replace fails on any entry there, the source
        // itself included; a plain rename onto the same file does nothing.
        if (mode == RenameMode::NoReplace || (isFolder && target != source))
            return Result::fromErrno("rename", from, EEXIST);
        const Inode& targetInode = *nodes_.at(target).inode;
        if (&targetInode == &sourceInode)
            return {};
        if (targetInode.attributes.kind == FileKind::Folder)
            return Result::fromErrno("rename", from, EISDIR);
        unlink(target);
    }
    // Move the entry and, for a folder, everything below it.
    std::vector<std::pair<std::string, Node>> taken;
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        if (it->first == source || it->first.starts_with(source + "/")) {
            taken.emplace_back(moved + it->first.substr(source.size()), std::move(it->second));
            it = nodes_.erase(it);
        } else {
            ++it;
        }
    }
    auto& siblings = nodes_.at(parentOf(source)).children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), std::string(lastComponent(source))));
    for (auto& [path, entry] : taken)
        nodes_.emplace(path, std::move(entry));
    nodes_.at(folder).children.push_back(name);
    return {};
}

Result MemoryFileSystem::copyFile(const std::string& from, const std::string& to, bool overwrite) {
    if (Result r = injected(Operation::Copy, from, "copy"); !r)
        return r;
    const std::string source = resolve(from);
    if (source.empty())
        return Result::fromErrno("copy", from, ENOENT);
    const Inode original = *nodes_.at(source).inode;
    if (original.attributes.kind != FileKind::File)
        return Result::fromErrno("copy", from, EISDIR);
    std::string name;
    const std::string folder = resolveParent(to, name);
    if (folder.empty())
        return Result::fromErrno("copy", from, ENOENT);
    if (const std::string target = resolve(to); !target.empty()) {
        if (!overwrite)
            return Result::fromErrno("copy", from, EEXIST);
        if (nodes_.at(target).inode->attributes.kind == FileKind::Folder)
            return Result::fromErrno("copy", from, EISDIR);
        name = lastComponent(target); // a replaced file keeps its spelling
        unlink(target);
    }
    // A new file moved into place, as the real copy does.
    Node copy;
    copy.inode = std::make_shared<Inode>(original);
    copy.inode->attributes.identity = {1, nextInode_++};
    copy.inode->attributes.links = 1;
    link(folder, name, std::move(copy));
    return {};
}

Result MemoryFileSystem::removeFile(const std::string& path) {
    if (Result r = injected(Operation::Remove, path, "remove"); !r)
        return r;
    const std::string stored = resolve(path);
    if (stored.empty())
        return Result::fromErrno("remove", path, ENOENT);
    if (nodes_.at(stored).inode->attributes.kind == FileKind::Folder)
        return Result::fromErrno("remove", path, EISDIR);
    unlink(stored);
    return {};
}

Result MemoryFileSystem::readFile(const std::string& path, std::string& out, std::size_t maxBytes) {
    out.clear();
    if (Result r = injected(Operation::ReadFile, path, "read"); !r)
        return r;
    const std::string stored = resolve(path);
    if (stored.empty())
        return Result::fromErrno("read", path, ENOENT);
    const Inode& inode = *nodes_.at(stored).inode;
    if (inode.attributes.kind == FileKind::Folder)
        return Result::fromErrno("read", path, EISDIR);
    if (inode.attributes.kind != FileKind::File)
        return Error{"read", path, "not a regular file"};
    if (inode.content.size() > maxBytes)
        return Result::fromErrno("read", path, EFBIG);
    out = inode.content;
    return {};
}

Result MemoryFileSystem::writeFileAtomically(const std::string& path, std::string_view content) {
    if (Result r = injected(Operation::WriteFile, path, "write"); !r)
        return r;
    std::string name;
    const std::string folder = resolveParent(path, name);
    if (folder.empty())
        return Result::fromErrno("create a temporary file beside", path, ENOENT);
    if (const std::string target = resolve(path); !target.empty()) {
        const FileKind kind = nodes_.at(target).inode->attributes.kind;
        if (kind == FileKind::Folder)
            return Result::fromErrno("replace", path, EISDIR);
        if (kind == FileKind::Symlink)
            return Result::fromErrno("replace", path, ELOOP); // links are not followed here
        name = lastComponent(target);
        unlink(target);
    }
    Node file;
    file.inode = std::make_shared<Inode>();
    file.inode->attributes.kind = FileKind::File;
    file.inode->attributes.identity = {1, nextInode_++};
    file.inode->attributes.size = static_cast<std::int64_t>(content.size());
    file.inode->content = std::string(content);
    link(folder, name, std::move(file));
    return {};
}

Result MemoryFileSystem::createFolder(const std::string& path, unsigned /*permissions*/) {
    if (Result r = injected(Operation::CreateFolder, path, "create folder"); !r)
        return r;
    std::string name;
    const std::string folder = resolveParent(path, name);
    if (folder.empty())
        return Result::fromErrno("create folder", path, ENOENT);
    if (!resolve(path).empty())
        return Result::fromErrno("create folder", path, EEXIST);
    Node made;
    made.inode = std::make_shared<Inode>();
    made.inode->attributes.kind = FileKind::Folder;
    made.inode->attributes.identity = {1, nextInode_++};
    made.inode->attributes.size = 4096;
    link(folder, name, std::move(made));
    return {};
}

Result MemoryFileSystem::openJournal(const std::string& path, JournalAccess access,
                                     std::unique_ptr<JournalFile>& out) {
    if (Result r = injected(Operation::OpenJournal, path, "open journal"); !r)
        return r;
    std::string stored = resolve(path);
    if (stored.empty()) {
        std::string name;
        const std::string folder = resolveParent(path, name);
        if (access != JournalAccess::Write || folder.empty())
            return Result::fromErrno("open journal", path, ENOENT);
        Node file;
        file.inode = std::make_shared<Inode>();
        file.inode->attributes.kind = FileKind::File;
        file.inode->attributes.identity = {1, nextInode_++};
        link(folder, name, std::move(file));
        stored = joinPath(folder, name);
    }
    const std::shared_ptr<Inode> inode = nodes_.at(stored).inode;
    if (inode->attributes.kind != FileKind::File)
        return Error{"open journal", path, "not a regular file", 0};
    Lock& lock = locks_[stored];
    const bool exclusive = access == JournalAccess::Write || access == JournalAccess::Update;
    const bool busy = exclusive                             ? lock.exclusive || lock.shared > 0
                      : access == JournalAccess::ReadShared ? lock.exclusive
                                                            : false;
    if (busy)
        return Error{"lock journal", path, "another rename batch is using it", EWOULDBLOCK};
    if (exclusive)
        lock.exclusive = true;
    else if (access == JournalAccess::ReadShared)
        ++lock.shared;
    out = std::make_unique<MemoryJournalFile>(*this, stored, path, inode, access);
    return {};
}

} // namespace vantrel
