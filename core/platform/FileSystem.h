#pragma once

#include "platform/ByteStream.h"
#include "platform/Result.h"

#include <cstdint>
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

/// What the file system tells of one entry (symbolic links not followed).
struct FileAttributes {
    FileKind kind = FileKind::Unknown;
    std::int64_t size = 0;
    FileTime created; ///< birth time where the file system reports it, else `modified`
    FileTime modified;
    FileTime accessed;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

/// An open folder being listed. Children come in the file system's order;
/// "." and ".." never appear.
class FolderListing {
public:
    virtual ~FolderListing() = default;
    /// The next child: its name (valid until the next call) and its kind when
    /// the listing tells it cheaply (else Unknown). False at the end, and on a
    /// read error, which ends the listing.
    virtual bool next(std::string_view& name, FileKind& kind) = 0;
    /// The attributes of a child of this folder.
    virtual Result attributes(std::string_view name, FileAttributes& out) = 0;
    /// Opens a regular-file child for reading; fails for anything else
    /// (symbolic links are not followed, FIFOs never block).
    virtual Result openRead(std::string_view name, std::unique_ptr<ByteStream>& out) = 0;
};

/// What a rename may do to an entry already at the target path.
enum class RenameMode {
    NoReplace,  ///< never replace: fails with EEXIST when the target exists
    ReplaceFile ///< replace an existing file atomically (a folder is never replaced)
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
};

/// The last component of a path ("" for "/").
[[nodiscard]] std::string_view lastComponent(std::string_view path);
/// `folder` joined with `name` by one "/".
[[nodiscard]] std::string joinPath(std::string_view folder, std::string_view name);

} // namespace vantrel
