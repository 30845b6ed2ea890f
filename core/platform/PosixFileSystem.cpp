#include "platform/PosixFileSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace vantrel {

std::string_view lastComponent(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

FileIdentity folderIdentity(FileSystem& fs, std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    // "/." is the folder itself, whatever spelling or link led to it.
    FileAttributes attributes;
    if (!fs.attributes(path == "/" ? std::string("/.") : std::string(path) + "/.", attributes)
             .ok() ||
        attributes.kind != FileKind::Folder)
        return {};
    return attributes.identity;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

std::string joinPathOrName(std::string_view folder, std::string_view name) {
    return folder.empty() ? std::string(name) : joinPath(folder, name);
}

namespace {

/// A buffered reader over a file descriptor that it owns.
class FdByteStream final : public ByteStream {
public:
    explicit FdByteStream(int fd) : fd_(fd) {}
    ~FdByteStream() override { ::close(fd_); }
    FdByteStream(const FdByteStream&) = delete;
    FdByteStream& operator=(const FdByteStream&) = delete;

    std::size_t read(void* out, std::size_t size) override {
        auto* dest = static_cast<unsigned char*>(out);
        std::size_t done = 0;
        while (done < size) {
            if (begin_ == end_ && !fill(size - done))
                break;
            const std::size_t n = std::min(size - done, end_ - begin_);
            std::memcpy(dest + done, buffer_ + begin_, n);
            begin_ += n;
            done += n;
        }
        return done;
    }

private:
    bool fill(std::size_t wanted) {
        if (failed_)
            return false;
        // Small buffer first: most headers end within it, and large section
        // bodies are read in one call of their own size.
        const std::size_t ask = std::min(sizeof buffer_, std::max<std::size_t>(wanted, 4096));
        ssize_t n = 0;
        do {
            n = ::read(fd_, buffer_, ask);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        begin_ = 0;
        end_ = static_cast<std::size_t>(n);
        return true;
    }

    int fd_;
    bool failed_ = false;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    unsigned char buffer_[65536];
};

FileTime fileTime(const struct statx_timestamp& t) {
    return FileTime{t.tv_sec, t.tv_nsec};
}

FileKind kindOfMode(unsigned mode) {
    switch (mode & S_IFMT) {
    case S_IFREG:
        return FileKind::File;
    case S_IFDIR:
        return FileKind::Folder;
    case S_IFLNK:
        return FileKind::Symlink;
    default:
        return FileKind::Other;
    }
}

/// The device of a statx answer, as FileIdentity holds it.
std::uint64_t deviceOf(const struct statx& stx) {
    return (std::uint64_t{stx.stx_dev_major} << 32) | stx.stx_dev_minor;
}

Result statAt(int dirfd, const char* name, std::string_view folder, FileAttributes& out) {
    struct statx stx {};
    constexpr unsigned kMask =
        STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME | STATX_INO | STATX_NLINK;
    if (::statx(dirfd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kMask, &stx) != 0)
        return Result::fromErrno("read the attributes of", joinPathOrName(folder, name), errno);
    out.kind = kindOfMode(stx.stx_mode);
    out.size = static_cast<std::int64_t>(stx.stx_size);
    out.modified = fileTime(stx.stx_mtime);
    out.accessed = fileTime(stx.stx_atime);
    out.created = (stx.stx_mask & STATX_BTIME) != 0 ? fileTime(stx.stx_btime) : out.modified;
    out.identity.device = deviceOf(stx);
    out.identity.inode = stx.stx_ino;
    out.links = stx.stx_nlink;
    return {};
}

Result openAt(int dirfd, const char* name, std::string_view folder,
              std::unique_ptr<ByteStream>& out) {
    // No link is followed and nothing but a regular file is read, so a FIFO
    // or device named like a photo can neither block nor be consumed.
    const int fd = ::openat(dirfd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return Result::fromErrno("open", joinPathOrName(folder, name), errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISREG(st.st_mode) ? errno : EINVAL;
        ::close(fd);
        return Result::fromErrno("open", joinPathOrName(folder, name), error);
    }
    out = std::make_unique<FdByteStream>(fd);
    return {};
}

/// Opens the folder `name` relative to `dirfd` for listing; `shown` is its
/// path for error texts. A final symbolic link is not followed.
Result openListing(int dirfd, const char* name, bool followLink, const std::string& shown,
                   std::unique_ptr<FolderListing>& out);
/// A rename that never replaces anything, also where the file system does
/// not offer that flag; 0 or the errno.
int renameNoReplace(int fromDir, const char* from, int toDir, const char* to);

class PosixListing final : public FolderListing {
public:
    PosixListing(DIR* dir, std::string path) : dir_(dir), path_(std::move(path)) {}
    ~PosixListing() override { ::closedir(dir_); }
    PosixListing(const PosixListing&) = delete;
    PosixListing& operator=(const PosixListing&) = delete;

    bool next(std::string_view& name, FileKind& kind) override {
        while (true) {
            errno = 0;
            const dirent* entry = ::readdir(dir_);
            if (entry == nullptr) {
                // readdir tells an error from the end only through errno.
                if (errno != 0 && failure_.ok())
                    failure_ = Result::fromErrno("read the folder", path_, errno);
                break;
            }
            const char* n = entry->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                continue;
            current_ = n;
            name = n;
            currentSize_ = name.size();
            kind = kindOfDirentType(entry->d_type);
            currentInode_ = entry->d_ino;
            currentKind_ = kind;
            return true;
        }
        current_ = nullptr;
        return false;
    }

    [[nodiscard]] Result readFailure() const override { return failure_; }

    Result attributes(std::string_view name, FileAttributes& out) override {
        if (name.data() == current_ && name.size() == currentSize_)
            return statAt(::dirfd(dir_), current_, path_, out);
        // Its own copy of the name, so that several threads may ask at once.
        char copy[NAME_MAX + 1];
        if (name.size() > NAME_MAX)
            return Result::fromErrno("read the attributes of", joinPath(path_, name), ENAMETOOLONG);
        std::memcpy(copy, name.data(), name.size());
        copy[name.size()] = '\0';
        return statAt(::dirfd(dir_), copy, path_, out);
    }
    [[nodiscard]] bool fromAnyThread() const override { return true; }

    Result openRead(std::string_view name, std::unique_ptr<ByteStream>& out) override {
        return openAt(::dirfd(dir_), cName(name), path_, out);
    }

    Result openFolder(std::string_view name, std::unique_ptr<FolderListing>& out) override {
        return openListing(::dirfd(dir_), cName(name), false, joinPath(path_, name), out);
    }

    Result renameChild(std::string_view from, std::string_view to) override {
        const std::string target(to);
        const int error =
            renameNoReplace(::dirfd(dir_), cName(from), ::dirfd(dir_), target.c_str());
        return error == 0 ? Result{} : Result::fromErrno("rename", joinPath(path_, from), error);
    }

    [[nodiscard]] FileIdentity listedIdentity() const override {
        // A folder may be a mount point, listed with the inode it covers; a
        // file cannot be renamed while something is mounted on it, so for
        // files the listed number is the one the batch moves.
        if (current_ == nullptr ||
            (currentKind_ != FileKind::File && currentKind_ != FileKind::Symlink &&
             currentKind_ != FileKind::Other))
            return {};
        if (!folderKnown_) {
            folderKnown_ = true;
            folderDevice_ = numbersLikeStat(::dirfd(dir_));
        }
        if (folderDevice_ == 0)
            return {};
        return FileIdentity{folderDevice_, currentInode_};
    }

private:
    /// The folder's device when its file system lists each file with the
    /// inode number that stat reports (else 0): the local ones whose
    /// directories store that number. FUSE, network and layered file systems
    /// may number differently and are asked file by file.
    static std::uint64_t numbersLikeStat(int fd) {
        struct statfs fs {};
        if (::fstatfs(fd, &fs) != 0)
            return 0;
        switch (static_cast<unsigned long>(fs.f_type)) {
        case EXT4_SUPER_MAGIC: // also ext2 and ext3
        case TMPFS_MAGIC:
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
        case F2FS_SUPER_MAGIC:
            break;
        default:
            return 0;
        }
        struct statx stx {};
        if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO, &stx) != 0)
            return 0;
        return deviceOf(stx);
    }

    static FileKind kindOfDirentType(unsigned char type) {
        switch (type) {
        case DT_REG:
            return FileKind::File;
        case DT_DIR:
            return FileKind::Folder;
        case DT_LNK:
            return FileKind::Symlink;
        case DT_UNKNOWN:
            return FileKind::Unknown;
        default:
            return FileKind::Other;
        }
    }

    /// A NUL-terminated copy of `name`, avoided for the entry just listed.
    const char* cName(std::string_view name) {
        if (current_ != nullptr && name.data() == current_ && name.size() == currentSize_)
            return current_;
        scratch_.assign(name);
        return scratch_.c_str();
    }

    DIR* dir_;
    std::string path_;
    const char* current_ = nullptr;
    std::size_t currentSize_ = 0;
    std::uint64_t currentInode_ = 0;
    FileKind currentKind_ = FileKind::Unknown;
    mutable bool folderKnown_ = false;
    mutable std::uint64_t folderDevice_ = 0;
    std::string scratch_;
    Result failure_;
};

Result openListing(int dirfd, const char* name, bool followLink, const std::string& shown,
                   std::unique_ptr<FolderListing>& out) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::openat(dirfd, name, flags);
    if (fd < 0)
        return Result::fromErrno("open the folder", shown, errno);
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const int error = errno;
        ::close(fd);
        return Result::fromErrno("open the folder", shown, error);
    }
    out = std::make_unique<PosixListing>(dir, shown);
    return {};
}

} // namespace

Result PosixFileSystem::openFolder(const std::string& path, std::unique_ptr<FolderListing>& out) {
    return openListing(AT_FDCWD, path.c_str(), true, path, out);
}

Result PosixFileSystem::attributes(const std::string& path, FileAttributes& out) {
    return statAt(AT_FDCWD, path.c_str(), {}, out);
}

Result PosixFileSystem::openRead(const std::string& path, std::unique_ptr<ByteStream>& out) {
    return openAt(AT_FDCWD, path.c_str(), {}, out);
}

namespace {

/// A rename that never replaces anything, also where the file system does
/// not offer that flag.
int renameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // Without the flag: a hard link fails on an existing target, so files
    // stay safe; a folder can only be checked first.
    struct stat st {};
    if (::fstatat(fromDir, from, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (::linkat(fromDir, from, toDir, to, 0) != 0)
            return errno;
        if (::unlinkat(fromDir, from, 0) != 0) {
            const int error = errno;
            ::unlinkat(toDir, to, 0);
            return error;
        }
        return 0;
    }
    if (::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(fromDir, from, toDir, to) == 0 ? 0 : errno;
}

/// The folder part of a path ("." for a bare name).
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// Copies every byte of `in` to `out`; 0 or an errno value.
int copyBytes(int in, int out) {
    while (true) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n == 0)
            return 0;
        if (n > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return errno;
        break; // not offered here: copy through a buffer
    }
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += w;
        }
    }
}

/// Closes a descriptor when it goes out of scope.
struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

Result PosixFileSystem::rename(const std::string& from, const std::string& to, RenameMode mode) {
    if (mode == RenameMode::ReplaceFile) {
        // A folder is never replaced: rename(2) would put one folder over an
        // empty other one.
        struct stat st {};
        if (::lstat(from.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            if (::rename(from.c_str(), to.c_str()) == 0)
                return {};
            return Result::fromErrno("rename", from, errno);
        }
    }
    const int error = renameNoReplace(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str());
    return error == 0 ? Result{} : Result::fromErrno("rename", from, error);
}

Result PosixFileSystem::copyFile(const std::string& from, const std::string& to, bool overwrite) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (in < 0)
        return Result::fromErrno("copy", from, errno);
    FdCloser inCloser{in};
    struct stat st {};
    if (::fstat(in, &st) != 0)
        return Result::fromErrno("copy", from, errno);
    if (!S_ISREG(st.st_mode))
        return Result::fromErrno("copy", from, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    if (!overwrite) {
        struct stat existing {};
        if (::lstat(to.c_str(), &existing) == 0)
            return Result::fromErrno("copy", from, EEXIST);
    }

    // Into a temporary file beside the target, then moved into place: a
    // failed copy leaves nothing behind under the target's name.
    std::string temporary = folderOf(to) + "/.vantrel-copy-XXXXXX";
    const int out = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (out < 0)
        return Result::fromErrno("copy", to, errno);
    int error = 0;
    {
        FdCloser outCloser{out};
        error = copyBytes(in, out);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        if (error == 0 && ::fchmod(out, st.st_mode & 07777) != 0)
            error = errno;
        if (error == 0 && ::futimens(out, times) != 0)
            error = errno;
        if (error == 0 && ::fsync(out) != 0)
            error = errno;
    }
    if (error == 0) {
        const Result moved =
            rename(temporary, to, overwrite ? RenameMode::ReplaceFile : RenameMode::NoReplace);
        if (moved.ok())
            return {};
        error = moved.error().code;
    }
    ::unlink(temporary.c_str());
    return Result::fromErrno("copy", from, error);
}

Result PosixFileSystem::removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0)
        return Result::fromErrno("remove", path, errno);
    return {};
}

// ---- whole files --------------------------------------------------------

namespace {

constexpr int kMaxLinkHops = 40; // as the kernel's own limit

/// Reads errno before anything else can change it.
Result systemFailure(const char* operation, const std::string& path) {
    const int error = errno;
    return Result::fromErrno(operation, path, error);
}

Result readOpenFile(int fd, const std::string& path, std::string& out, std::size_t maxBytes) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return systemFailure("read", path);
    if (S_ISDIR(st.st_mode))
        return Result::fromErrno("read", path, EISDIR);
    if (!S_ISREG(st.st_mode))
        return Error{"read", path, "not a regular file"};
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return systemFailure("read", path);
        if (n == 0)
            return {};
        out.append(buffer, static_cast<std::size_t>(n));
        if (out.size() > maxBytes) // the file may grow while being read
            return Result::fromErrno("read", path, EFBIG);
    }
}

std::string folderPrefix(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

/// A symbolic link stays a link: the file it finally points at is replaced.
Result resolveLinks(std::string& target) {
    const std::string original = target;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return {};
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), buffer, sizeof buffer);
        if (n < 0)
            return systemFailure("read the link", target);
        if (static_cast<std::size_t>(n) >= sizeof buffer)
            return Result::fromErrno("read the link", target, ENAMETOOLONG);
        std::string link(buffer, static_cast<std::size_t>(n));
        target = !link.empty() && link.front() == '/' ? link : folderPrefix(target) + link;
    }
    return Result::fromErrno("follow the links of", original, ELOOP);
}

/// Mode 0666 lets the umask decide the bits of a new file, as for any file a
/// program creates; an existing file's bits are copied afterwards.
Result createTemp(const std::string& target, int& fd, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    const std::string prefix = folderPrefix(target) + ".vantrel-" + std::to_string(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        temp = prefix + "-" + std::to_string(counter++) + "-" + std::to_string(stamp % 1000000) +
               ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0)
            return {};
        if (errno != EEXIST)
            return systemFailure("create a temporary file beside", target);
    }
    return Result::fromErrno("create a temporary file beside", target, EEXIST);
}

Result writeAll(int fd, std::string_view data, const std::string& target) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return systemFailure("write", target);
        if (n == 0)
            return Result::fromErrno("write", target, EIO);
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

/// Makes the rename itself durable; a failure here loses nothing already written.
void syncFolder(const std::string& target) {
    const std::string prefix = folderPrefix(target);
    const int fd =
        ::open(prefix.empty() ? "." : prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

Result PosixFileSystem::readFile(const std::string& path, std::string& out, std::size_t maxBytes) {
    out.clear();
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return systemFailure("read", path);
    Result result = readOpenFile(fd, path, out, maxBytes);
    ::close(fd);
    return result;
}

Result PosixFileSystem::writeFileAtomically(const std::string& path, std::string_view content) {
    std::string target = path;
    if (Result resolved = resolveLinks(target); !resolved.ok())
        return resolved;
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    int fd = -1;
    std::string temp;
    if (Result created = createTemp(target, fd, temp); !created.ok())
        return created;
    Result result = writeAll(fd, content, target);
    if (result.ok() && exists && ::fchmod(fd, old.st_mode & 0777) != 0)
        result = systemFailure("set the permissions of", target);
    if (result.ok() && ::fsync(fd) != 0)
        result = systemFailure("write", target);
    if (::close(fd) != 0 && result.ok())
        result = systemFailure("write", target);
    if (result.ok() && ::rename(temp.c_str(), target.c_str()) != 0)
        result = systemFailure("replace", target);
    if (!result.ok()) {
        ::unlink(temp.c_str());
        return result;
    }
    syncFolder(target);
    return {};
}

Result PosixFileSystem::createFolder(const std::string& path, unsigned permissions) {
    if (::mkdir(path.c_str(), static_cast<mode_t>(permissions)) != 0)
        return Result::fromErrno("create folder", path, errno);
    return {};
}

// ---- the journal file ---------------------------------------------------

namespace {

/// A journal file with its flock. Appends go through a shared mapping of the
/// file where the file system can reserve space for it (a store into it is in
/// the page cache at once, as a write() would be, and costs no system call),
/// else each through one write().
class PosixJournalFile final : public JournalFile {
public:
    PosixJournalFile(int fd, std::string path, bool mapped)
        : fd_(fd), path_(std::move(path)), mapped_(mapped) {}
    ~PosixJournalFile() override {
        (void)finish();
        ::close(fd_); // and with it the lock
    }
    PosixJournalFile(const PosixJournalFile&) = delete;
    PosixJournalFile& operator=(const PosixJournalFile&) = delete;

    Result read(std::string& out, std::size_t limit) override {
        out.clear();
        struct stat info {};
        if (::fstat(fd_, &info) != 0)
            return systemFailure("read journal", path_);
        out.resize(std::min(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)), limit));
        std::size_t filled = 0;
        while (filled < limit) {
            if (filled == out.size())
                out.resize(std::min(out.size() + 65536, limit));
            const ssize_t n =
                ::pread(fd_, out.data() + filled, out.size() - filled, static_cast<off_t>(filled));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return systemFailure("read journal", path_);
            if (n == 0)
                break;
            filled += static_cast<std::size_t>(n);
        }
        out.resize(filled);
        return {};
    }

    Result truncate() override {
        unmap();
        used_ = 0;
        failure_ = {}; // an empty file holds no torn record
        if (::ftruncate(fd_, 0) != 0)
            return systemFailure("empty journal", path_);
        return {};
    }

    Result append(std::string_view bytes) override {
        if (!failure_.ok())
            return failure_;
        if (mapped_ && map_ == nullptr && !mapRefused_)
            startMapping(bytes.size());
        if (map_ != nullptr) {
            if (used_ + bytes.size() > mapSize_) {
                const int error = growMapping(std::max(mapSize_ * 2, used_ + bytes.size() + kStep));
                if (error != 0)
                    return fail(error);
            }
            // The unused rest of the mapping is zeros: a record cut short by
            // the process dying ends in zeros, never glued to another.
            std::memcpy(map_ + used_, bytes.data(), bytes.size());
            used_ += bytes.size();
            return {};
        }
        // One write() in the normal case; a short write goes on with the rest,
        // since a record cut short is only harmless as the file's last line.
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail(n < 0 ? errno : EIO);
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return {};
    }

    Result finish() override {
        if (map_ == nullptr)
            return {};
        unmap();
        // The reserved zeros are cut off: the file ends with its last record.
        if (::ftruncate(fd_, static_cast<off_t>(used_)) != 0) {
            const Result r = systemFailure("write journal", path_);
            if (failure_.ok())
                failure_ = r;
            return r;
        }
        return {};
    }

private:
    static constexpr std::size_t kStep = std::size_t{1} << 20;

    Result fail(int error) {
        failure_ = Result::fromErrno("write journal", path_, error);
        return failure_;
    }

    void unmap() {
        if (map_ != nullptr)
            ::munmap(map_, mapSize_);
        map_ = nullptr;
        mapSize_ = 0;
    }

    /// Maps the file from its present end on; where that cannot be done,
    /// appends go through write() from then on.
    void startMapping(std::size_t first) {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) {
            mapRefused_ = true;
            return;
        }
        used_ = static_cast<std::size_t>(std::max<off_t>(info.st_size, 0));
        if (growMapping(used_ + first + kStep) != 0) {
            // The reservation may have grown the file with zeros: give it
            // back, or the next write() would land after them.
            (void)::ftruncate(fd_, static_cast<off_t>(used_));
            mapRefused_ = true;
        }
    }

    /// Maps (or grows the mapping to) `capacity` bytes; 0 or an errno value.
    int growMapping(std::size_t capacity) {
        // Whole pages: madvise below takes only a page-aligned start, so an
        // odd size would leave every later growth to fault in page by page.
        static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        capacity = (capacity + page - 1) / page * page;
        // Blocks are reserved first, so a full disk is an error here and
        // never a fault when a record is stored into the mapping.
        if (const int error = ::posix_fallocate(fd_, 0, static_cast<off_t>(capacity)); error != 0)
            return error;
        void* map = map_ == nullptr
                        ? ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0)
                        : ::mremap(map_, mapSize_, capacity, MREMAP_MAYMOVE);
        if (map == MAP_FAILED)
            return errno;
        // Pages are made present in one go rather than one fault per page as
        // records fill them; where the kernel cannot, they fault in as usual.
        (void)::madvise(static_cast<char*>(map) + mapSize_, capacity - mapSize_,
                        MADV_POPULATE_WRITE);
        map_ = static_cast<char*>(map);
        mapSize_ = capacity;
        return 0;
    }

    int fd_;
    std::string path_;
    bool mapped_;
    bool mapRefused_ = false;
    Result failure_;
    char* map_ = nullptr;
    std::size_t mapSize_ = 0;
    std::size_t used_ = 0; ///< bytes of the file holding records, while mapped
};

} // namespace

Result PosixFileSystem::openJournal(const std::string& path, JournalAccess access,
                                    std::unique_ptr<JournalFile>& out) {
    const bool write = access == JournalAccess::Write || access == JournalAccess::Update;
    const int flags = access == JournalAccess::Write ? O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC
                      : write                        ? O_RDWR | O_APPEND | O_CLOEXEC
                                                     : O_RDONLY | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags | O_NOCTTY | O_NONBLOCK, 0600);
    if (fd < 0)
        return Result::fromErrno("open journal", path, errno);
    struct stat info {};
    Result r;
    if (::fstat(fd, &info) != 0)
        r = systemFailure("open journal", path);
    else if (!S_ISREG(info.st_mode))
        r = Error{"open journal", path, "not a regular file", 0};
    if (r && access != JournalAccess::Read) {
        while (::flock(fd, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            r = errno == EWOULDBLOCK
                    ? Result(Error{"lock journal", path, "another rename batch is using it",
                                   EWOULDBLOCK})
                    : systemFailure("lock journal", path);
            break;
        }
    }
    if (!r) {
        ::close(fd);
        return r;
    }
    // Blocking reads and writes from here on: O_NONBLOCK only kept a FIFO
    // named as the journal from hanging the open.
    (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    out = std::make_unique<PosixJournalFile>(fd, path, write && writing_ == JournalWriting::Mapped);
    return {};
}

} // namespace vantrel
