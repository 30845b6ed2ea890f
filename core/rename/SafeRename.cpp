#include "rename/SafeRename.h"

#include <cerrno>

namespace vantrel {

bool isSameFile(FileSystem& fs, const std::string& a, const std::string& b) {
    FileAttributes first;
    FileAttributes second;
    return fs.attributes(a, first).ok() && fs.attributes(b, second).ok() &&
           first.device == second.device && first.inode == second.inode;
}

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash + 1);
}

/// Moves through a temporary name: out of the way first, then to the target.
Result renameThroughTemporary(FileSystem& fs, const std::string& from, const std::string& to,
                              const std::function<Result(const std::string&)>& onTemporary) {
    const std::string folder = folderOf(to);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = folder + ".vantrel-rename-" + std::to_string(attempt);
        if (onTemporary) {
            if (Result r = onTemporary(temporary); !r)
                return r;
        }
        const Result away = fs.rename(from, temporary, RenameMode::NoReplace);
        if (!away) {
            if (away.error().code == EEXIST)
                continue; // that temporary name is taken: try the next
            return away;
        }
        const Result there = fs.rename(temporary, to, RenameMode::NoReplace);
        if (!there) // put it back; the target really is another entry
            (void)fs.rename(temporary, from, RenameMode::NoReplace);
        return there;
    }
    return Result::fromErrno("rename", from, EEXIST);
}

} // namespace

Result renameWithoutReplacing(FileSystem& fs, const std::string& from, const std::string& to,
                              const std::function<Result(const std::string&)>& onTemporary) {
    const Result r = fs.rename(from, to, RenameMode::NoReplace);
    if (r || r.error().code != EEXIST || !isSameFile(fs, from, to))
        return r;
    return renameThroughTemporary(fs, from, to, onTemporary);
}

} // namespace vantrel
