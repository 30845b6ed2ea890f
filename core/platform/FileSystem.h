#pragma once

#include "platform/ByteStream.h"
#include "platform/Result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vantrel {

/// What a directory entry is, without following symbolic links.
enum class FileKind : std::uint8_t { Unknown, File, Folder, Symlink, Other };

/// An instant as the file system stores it.
struct FileTime {
    std::int64_t seconds = 0; ///< since 1970-01-01 00:00:00 UTC
    std::uint32_t nanoseconds = 0;
};

/// Which file an entry is: the same device and inode is the same file, however
/// its path is spelt (".", "..", links to folders, hard links). All zero is
/// unknown, and equals nothing known.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    [[nodiscard]] bool known() const { return device != 0 || inode != 0; }
    bool operator==(const FileIdentity&) const = default;
};

/// Hashes a FileIdentity, for sets of them.
struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
    }
};

/// What the file system tells of one entry (symbolic links not followed).
struct FileAttributes {
    FileKind kind = FileKind::Unknown;
    std::int64_t size = 0;
    FileTime created; ///< birth time where the file system reports it, else `modified`
    FileTime modified;
    FileTime accessed;
    FileIdentity identity;
    std::uint64_t links = 1; ///< names the file has (hard links)
};

/// An open folder being listed. Children come in the file system's order;
/// "." and ".." never appear.
class FolderListing {
public:
    virtual ~FolderListing() = default;
    /// The next child: its name (valid until the next call) and its kind when
    /// the listing tells it cheaply (else Unknown). False at the end, and on a
    /// read error, which ends the listing (see `readFailure`).
    virtual bool next(std::string_view& name, FileKind& kind) = 0;
    /// Why the listing ended early; success when it reached its end.
    [[nodiscard]] virtual Result readFailure() const = 0;
    /// The attributes of a child of this folder.
    virtual Result attributes(std::string_view name, FileAttributes& out) = 0;
    /// Whether the listing, and the folders it opens, may be used on a thread
    /// other than the one that opened them, each by one thread at a time,
    /// and `attributes` by several threads at once (while nothing else is
    /// called on the listing).
    [[nodiscard]] virtual bool fromAnyThread() const { return false; }
    /// Opens a regular-file child for reading; fails for anything else
    /// (symbolic links are not followed, FIFOs never block).
    virtual Result openRead(std::string_view name, std::unique_ptr<ByteStream>& out) = 0;
    /// Opens a child folder for listing relative to this open one, so that
    /// however deep it lies, its path never has to fit the system's limit.
    /// A symbolic link is not followed.
    virtual Result openFolder(std::string_view name, std::unique_ptr<FolderListing>& out) = 0;
    /// The identity of the child `next` gave last, where the listing itself
    /// tells it exactly as `attributes` would; unknown elsewhere (folders,
    /// which may be mount points, and file systems whose listings number
    /// files differently), where a caller must ask `attributes`.
    [[nodiscard]] virtual FileIdentity listedIdentity() const { return {}; }
    /// Renames the child `from` of this folder to `to` in it, never replacing
    /// anything, as FileSystem::rename with NoReplace does on their paths.
    virtual Result renameChild(std::string_view from, std::string_view to) = 0;
};

/// What a rename may do to an entry already at the target path.
enum class RenameMode {
    NoReplace,  ///< never replace: fails with EEXIST when the target exists
    ReplaceFile ///< replace an existing file atomically (a folder is never replaced)
};

/// The open journal file of the rename batches, with its lock. The lock is
/// held until the handle is destroyed, and goes with the process however it
/// ends.
class JournalFile {
public:
    virtual ~JournalFile() = default;
    /// What the file holds now, from its start, at most `limit` bytes. Space
    /// reserved ahead for appends reads as zero bytes after the last record.
    virtual Result read(std::string& out, std::size_t limit) = 0;
    /// Empties the file.
    virtual Result truncate() = 0;
    /// Adds `bytes` at the end. When it returns they are in the kernel, so
    /// they outlive the process however it ends (not a power failure). Once
    /// an append has failed every later one fails too, so that a record cut
    /// short stays the last thing in the file.
    virtual Result append(std::string_view bytes) = 0;
    /// Gives back what was reserved ahead, so that the file ends with its
    /// last append; appends after this reserve again.
    virtual Result finish() = 0;
};

/// How a journal is opened.
enum class JournalAccess {
    Read,       ///< no lock taken: to look at a journal that may be in use
    ReadShared, ///< a shared lock: readers exclude writers
    Update,     ///< an exclusive lock on an existing file
    Write,      ///< an exclusive lock, the file made (0600) when missing
};

/// The file system as the core sees it: every access to files goes through
/// here, so tests can run on an in-memory file system that fails on demand.
/// Paths are absolute, with "/" between components.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    /// Opens a folder for listing.
    virtual Result openFolder(const std::string& path, std::unique_ptr<FolderListing>& out) = 0;
    /// The attributes of a path (a final symbolic link is not followed).
    virtual Result attributes(const std::string& path, FileAttributes& out) = 0;
    /// Opens a regular file for reading (see FolderListing::openRead).
    virtual Result openRead(const std::string& path, std::unique_ptr<ByteStream>& out) = 0;
    /// Renames (moves) `from` to `to` within one file system.
    virtual Result rename(const std::string& from, const std::string& to, RenameMode mode) = 0;
    /// Copies the regular file `from` to `to` through a temporary file in the
    /// target's folder, keeping permission bits and modification time, so a
    /// failed copy leaves no partial target. Without `overwrite` an existing
    /// target fails with EEXIST; with it an existing file is replaced
    /// atomically. A folder cannot be copied.
    virtual Result copyFile(const std::string& from, const std::string& to, bool overwrite) = 0;
    /// Removes a file (not a folder).
    virtual Result removeFile(const std::string& path) = 0;
    /// Reads the whole regular file at `path`, following symbolic links, into
    /// `out`; fails with EFBIG when it holds more than `maxBytes`.
    virtual Result readFile(const std::string& path, std::string& out, std::size_t maxBytes) = 0;
    /// Makes `path` hold exactly `content`, all or nothing: written to a
    /// temporary file beside it, synchronised and renamed over it, so a
    /// failure leaves the old file as it was and no partial file behind. A
    /// symbolic link stays a link: the file it finally names is replaced. An
    /// existing file keeps its permission bits; a new one gets the umask's.
    virtual Result writeFileAtomically(const std::string& path, std::string_view content) = 0;
    /// Makes one folder with `permissions` (less the umask); EEXIST when
    /// something is at `path` already.
    virtual Result createFolder(const std::string& path, unsigned permissions) = 0;
    /// Opens the journal file at `path`. For Write the file is made (0600)
    /// when missing, its folder not; for the others a missing file fails
    /// with ENOENT. A lock held elsewhere fails with EWOULDBLOCK at once, the
    /// text saying that another rename batch is using it.
    virtual Result openJournal(const std::string& path, JournalAccess access,
                               std::unique_ptr<JournalFile>& out) = 0;
};

/// The last component of a path ("" for "/").
[[nodiscard]] std::string_view lastComponent(std::string_view path);
/// `folder` joined with `name` by one "/".
[[nodiscard]] std::string joinPath(std::string_view folder, std::string_view name);
/// As joinPath, except that an empty `folder` (none) leaves `name` alone.
[[nodiscard]] std::string joinPathOrName(std::string_view folder, std::string_view name);
/// The identity of the folder `path` names (trailing "/" allowed), following
/// links: a link to a folder is that folder. Unknown when it names no folder.
[[nodiscard]] FileIdentity folderIdentity(FileSystem& fs, std::string_view path);

} // namespace vantrel
