#pragma once

#include "platform/FileSystem.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vantrel {

/// An in-memory file system for tests: folders list their children in the
/// order they were added, and any operation can be told to fail on its Nth
/// call or on a given path with a chosen errno.
class MemoryFileSystem final : public FileSystem {
public:
    enum class Operation { OpenFolder, Attributes, OpenRead, Rename, Copy, Remove, Count };

    MemoryFileSystem();

    /// Adds a folder (and any missing parents).
    void addFolder(const std::string& path);
    /// Adds a regular file with the given content and times (parents are made).
    void addFile(const std::string& path, std::string content = {}, FileTime modified = {},
                 FileTime created = {});
    /// Adds a symbolic link (its target is not kept: links are never followed).
    void addSymlink(const std::string& path);
    /// Adds a second name for an existing file (same inode, own copy of the content).
    void addHardLink(const std::string& existing, const std::string& path);

    /// Whether something is at `path`.
    [[nodiscard]] bool exists(const std::string& path) const;
    /// The content of the file at `path` (empty when there is none).
    [[nodiscard]] std::string content(const std::string& path) const;
    /// Every path below "/" with its content (folders as "/" suffixed, no content), sorted.
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> snapshot() const;

    /// Runs `action` just before the Nth call (1-based, counted from now) of
    /// `operation`, e.g. to make a target appear in the middle of a batch.
    void beforeNthCall(Operation operation, std::size_t nth, std::function<void()> action);

    /// The Nth call (1-based, counted from now) of `operation` fails with `errnum`.
    void failNthCall(Operation operation, std::size_t nth, int errnum);
    /// Every call of `operation` on `path` fails with `errnum`.
    void failPath(Operation operation, const std::string& path, int errnum);
    /// How many times `operation` was called.
    [[nodiscard]] std::size_t calls(Operation operation) const;

    Result openFolder(const std::string& path, std::unique_ptr<FolderListing>& out) override;
    Result attributes(const std::string& path, FileAttributes& out) override;
    Result openRead(const std::string& path, std::unique_ptr<ByteStream>& out) override;
    Result rename(const std::string& from, const std::string& to, RenameMode mode) override;
    Result copyFile(const std::string& from, const std::string& to, bool overwrite) override;
    Result removeFile(const std::string& path) override;

private:
    struct Node {
        FileAttributes attributes;
        std::string content;
        std::vector<std::string> children; ///< names, in the order added
    };
    friend class MemoryListing;

    Node& make(const std::string& path, FileKind kind);
    void unlinkFromParent(const std::string& path);
    /// Counts the call and tells whether it must fail.
    Result injected(Operation operation, const std::string& path, std::string_view verb);

    std::map<std::string, Node> nodes_;
    std::uint64_t nextInode_ = 1;
    std::size_t calls_[static_cast<std::size_t>(Operation::Count)] = {};
    std::size_t failAt_[static_cast<std::size_t>(Operation::Count)] = {};
    int failErrno_[static_cast<std::size_t>(Operation::Count)] = {};
    std::map<std::pair<Operation, std::string>, int> failPaths_;
    std::size_t actionAt_[static_cast<std::size_t>(Operation::Count)] = {};
    std::function<void()> actions_[static_cast<std::size_t>(Operation::Count)];
};

} // namespace vantrel
