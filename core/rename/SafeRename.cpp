#include "rename/SafeRename.h"

#include <cerrno>
#include <memory>
#include <optional>

namespace vantrel {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash + 1);
}

/// Whether the folder of `path` lists its last component spelt exactly so;
/// nullopt when the folder cannot be listed.
std::optional<bool> listedExactly(FileSystem& fs, const std::string& path) {
    std::string folder = folderOf(path);
    if (folder.size() > 1)
        folder.pop_back();
    std::unique_ptr<FolderListing> listing;
    if (!fs.openFolder(folder, listing).ok())
        return std::nullopt;
    const std::string_view wanted = lastComponent(path);
    std::string_view name;
    FileKind kind = FileKind::Unknown;
    while (listing->next(name, kind)) {
        if (name == wanted)
            return true;
    }
    if (!listing->readFailure().ok())
        return std::nullopt;
    return false;
}

/// Moves through a temporary name: out of the way first, then to the target.
Result renameThroughTemporary(FileSystem& fs, const std::string& from, const std::string& to,
                              const std::function<Result(const std::string&)>& onTemporary,
                              RenameTrace* trace) {
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
        if (there)
            return there;
        // Put it back; the target really is another entry now.
        if (const Result back = fs.rename(temporary, from, RenameMode::NoReplace);
            !back && trace != nullptr) {
            trace->leftAt = temporary;
            trace->putBackMessage = back.error().message;
        }
        return there;
    }
    return Result::fromErrno("rename", from, EEXIST);
}

} // namespace

bool isSameEntry(FileSystem& fs, const std::string& a, const std::string& b) {
    FileAttributes first;
    FileAttributes second;
    if (!fs.attributes(a, first).ok() || !fs.attributes(b, second).ok() ||
        first.identity != second.identity || !first.identity.known())
        return false;
    if (first.links <= 1)
        return true; // one name only: both paths spell it
    // Two names of one file are two entries when the folder lists both as
    // spelt; a spelling it does not list is the other name in another case.
    const std::optional<bool> listedA = listedExactly(fs, a);
    const std::optional<bool> listedB = listedExactly(fs, b);
    return listedA && listedB && !(*listedA && *listedB);
}

Result renameWithoutReplacing(FileSystem& fs, const std::string& from, const std::string& to,
                              const std::function<Result(const std::string&)>& onTemporary,
                              RenameTrace* trace) {
    const Result r = fs.rename(from, to, RenameMode::NoReplace);
    if (r || r.error().code != EEXIST || !isSameEntry(fs, from, to))
        return r;
    return renameThroughTemporary(fs, from, to, onTemporary, trace);
}

} // namespace vantrel
