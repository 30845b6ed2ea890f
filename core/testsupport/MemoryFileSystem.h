#pragma once

#include "platform/FileSystem.h"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vantrel {

/// An in-memory file system for tests: folders list their children in the
/// order they were added, hard links share one file, folders can be made
/// case-insensitive, and any operation can be told to fail on its Nth call or
/// on a given path with a chosen errno. Paths may hold "." and ".."
/// components; symbolic links are kept but never followed.
class MemoryFileSystem final : public FileSystem {
public:
    enum class Operation {
        OpenFolder,
        ReadFolder, ///< each step of a listing
        Attributes,
        OpenRead,
        Rename,
        Copy,
        Remove,
        ReadFile,
        WriteFile,
        CreateFolder,
        OpenJournal,
        JournalRead,
        JournalTruncate,
        JournalAppend,
        Count
    };

    MemoryFileSystem();
    /// A copy of the files as they are (same inodes, hard links kept); no
    /// locks, injected faults or observers: the disk as a process that died
    /// left it.
    MemoryFileSystem(const MemoryFileSystem& other);
    MemoryFileSystem& operator=(const MemoryFileSystem&) = delete;
    ~MemoryFileSystem() override;

    /// Adds a folder (and any missing parents).
    void addFolder(const std::string& path);
    /// Adds a regular file with the given content and times (parents are made).
    void addFile(const std::string& path, std::string content = {}, FileTime modified = {},
                 FileTime created = {});
    /// Adds a symbolic link (its target is not kept: links are never followed).
    void addSymlink(const std::string& path);
    /// Adds a second name for an existing file: one file, one content.
    void addHardLink(const std::string& existing, const std::string& path);
    /// Names in `folder` match without regard to ASCII letter case, as on a
    /// case-insensitive file system; each keeps the spelling it was made with.
    void setCaseInsensitive(const std::string& folder);

    /// Listings tell the identity of the files they list, as the local
    /// file systems do; by default they do not, so every identity is asked.
    void setListingsTellIdentity(bool tell) { listingsTellIdentity_ = tell; }

    /// Whether something is at `path`.
    [[nodiscard]] bool exists(const std::string& path) const;
    /// The content of the file at `path` (empty when there is none).
    [[nodiscard]] std::string content(const std::string& path) const;
    /// The inode of the entry at `path` (0 when there is none).
    [[nodiscard]] std::uint64_t inodeOf(const std::string& path) const;
    /// Every path below "/" with its content (folders as "/" suffixed, no content), sorted.
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> snapshot() const;

    /// Runs `action` just before the Nth call (1-based, counted from now) of
    /// `operation`, e.g. to make a target appear in the middle of a batch.
    void beforeNthCall(Operation operation, std::size_t nth, std::function<void()> action);
    /// Calls `observer` before every operation, with its first path.
    void beforeEveryCall(std::function<void(Operation, const std::string&)> observer);

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
    Result readFile(const std::string& path, std::string& out, std::size_t maxBytes) override;
    Result writeFileAtomically(const std::string& path, std::string_view content) override;
    Result createFolder(const std::string& path, unsigned permissions) override;
    Result openJournal(const std::string& path, JournalAccess access,
                       std::unique_ptr<JournalFile>& out) override;

private:
    /// A file's data, shared by all its names.
    struct Inode {
        FileAttributes attributes;
        std::string content;
    };
    struct Node {
        std::shared_ptr<Inode> inode;
        std::vector<std::string> children; ///< names, in the order added
        bool caseInsensitive = false;
    };
    struct Lock {
        int shared = 0;
        bool exclusive = false;
    };
    friend class MemoryListing;
    friend class MemoryJournalFile;

    /// The stored path that `path` names ("." and ".." resolved, letter case
    /// matched in case-insensitive folders); empty when nothing is there.
    [[nodiscard]] std::string resolve(const std::string& path) const;
    /// The stored path of the folder that would hold `path`, and in `name` the
    /// last component as written; empty when that folder does not exist.
    [[nodiscard]] std::string resolveParent(const std::string& path, std::string& name) const;
    Node& make(const std::string& path, FileKind kind);
    Node* node(const std::string& stored);
    void link(const std::string& folder, const std::string& name, Node node);
    void unlink(const std::string& stored);
    /// Counts the call and tells whether it must fail.
    Result injected(Operation operation, const std::string& path, std::string_view verb);

    std::map<std::string, Node> nodes_;
    std::map<std::string, Lock> locks_; ///< by stored path of the journal
    std::uint64_t nextInode_ = 1;
    bool listingsTellIdentity_ = false;
    std::size_t calls_[static_cast<std::size_t>(Operation::Count)] = {};
    std::size_t failAt_[static_cast<std::size_t>(Operation::Count)] = {};
    int failErrno_[static_cast<std::size_t>(Operation::Count)] = {};
    std::map<std::pair<Operation, std::string>, int> failPaths_;
    std::size_t actionAt_[static_cast<std::size_t>(Operation::Count)] = {};
    std::function<void()> actions_[static_cast<std::size_t>(Operation::Count)];
    std::function<void(Operation, const std::string&)> observer_;
};

} // namespace vantrel
