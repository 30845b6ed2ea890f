#include "platform/PosixFileSystem.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {

std::string_view lastComponent(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
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

/// The path that error texts show: `folder` joined with `name`, or `name`
/// alone when there is no folder. Built only when something failed.
std::string shownPath(std::string_view folder, std::string_view name) {
    return folder.empty() ? std::string(name) : joinPath(folder, name);
}

Result statAt(int dirfd, const char* name, std::string_view folder, FileAttributes& out) {
    struct statx stx {};
    constexpr unsigned kMask =
        STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME | STATX_INO;
    if (::statx(dirfd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kMask, &stx) != 0)
        return Result::fromErrno("read the attributes of", shownPath(folder, name), errno);
    out.kind = kindOfMode(stx.stx_mode);
    out.size = static_cast<std::int64_t>(stx.stx_size);
    out.modified = fileTime(stx.stx_mtime);
    out.accessed = fileTime(stx.stx_atime);
    out.created = (stx.stx_mask & STATX_BTIME) != 0 ? fileTime(stx.stx_btime) : out.modified;
    out.device = (std::uint64_t{stx.stx_dev_major} << 32) | stx.stx_dev_minor;
    out.inode = stx.stx_ino;
    return {};
}

Result openAt(int dirfd, const char* name, std::string_view folder,
              std::unique_ptr<ByteStream>& out) {
    // No link is followed and nothing but a regular file is read, so a FIFO
    // or device named like a photo can neither block nor be consumed.
    const int fd = ::openat(dirfd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return Result::fromErrno("open", shownPath(folder, name), errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISREG(st.st_mode) ? errno : EINVAL;
        ::close(fd);
        return Result::fromErrno("open", shownPath(folder, name), error);
    }
    out = std::make_unique<FdByteStream>(fd);
    return {};
}

class PosixListing final : public FolderListing {
public:
    PosixListing(DIR* dir, std::string path) : dir_(dir), path_(std::move(path)) {}
    ~PosixListing() override { ::closedir(dir_); }
    PosixListing(const PosixListing&) = delete;
    PosixListing& operator=(const PosixListing&) = delete;

    bool next(std::string_view& name, FileKind& kind) override {
        while (const dirent* entry = ::readdir(dir_)) {
            const char* n = entry->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                continue;
            current_ = n;
            name = n;
            currentSize_ = name.size();
            kind = kindOfDirentType(entry->d_type);
            return true;
        }
        current_ = nullptr;
        return false;
    }

    Result attributes(std::string_view name, FileAttributes& out) override {
        return statAt(::dirfd(dir_), cName(name), path_, out);
    }

    Result openRead(std::string_view name, std::unique_ptr<ByteStream>& out) override {
        return openAt(::dirfd(dir_), cName(name), path_, out);
    }

private:
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
    std::string scratch_;
};

} // namespace

Result PosixFileSystem::openFolder(const std::string& path, std::unique_ptr<FolderListing>& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return Result::fromErrno("open the folder", path, errno);
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const int error = errno;
        ::close(fd);
        return Result::fromErrno("open the folder", path, error);
    }
    out = std::make_unique<PosixListing>(dir, path);
    return {};
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
int renameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // Without the flag: a hard link fails on an existing target, so files
    // stay safe; a folder can only be checked first.
    struct stat st {};
    if (::lstat(from, &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (::link(from, to) != 0)
            return errno;
        if (::unlink(from) != 0) {
            const int error = errno;
            ::unlink(to);
            return error;
        }
        return 0;
    }
    if (::lstat(to, &st) == 0)
        return EEXIST;
    return ::rename(from, to) == 0 ? 0 : errno;
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
    const int error = renameNoReplace(from.c_str(), to.c_str());
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

} // namespace vantrel
