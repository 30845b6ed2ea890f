// The floor that whole-process rename figures are measured against: list
// each folder of a tree, then rename every file whose name starts with one
// prefix to the same name with another, with renameat2(RENAME_NOREPLACE) on
// full paths, as the rename batch does. Nothing else: no regular
// expression, no journal, no checks.
//
//   vantrel_rename_floor FROM TO TREE   e.g. IMG_ PIC_ /dev/shm/tree
// Prints the number of renames; exit status 1 when any failed.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

/// The names in `folder`, without "." and "..".
std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: vantrel_rename_floor FROM-PREFIX TO-PREFIX TREE\n");
        return 2;
    }
    const std::string_view from = argv[1];
    const std::string_view to = argv[2];
    const std::string tree = argv[3];
    std::size_t renamed = 0;
    std::size_t failed = 0;
    std::string oldPath;
    std::string newPath;
    for (const std::string& folder : listFolder(tree)) {
        const std::string path = tree + "/" + folder;
        for (const std::string& name : listFolder(path)) {
            if (!std::string_view(name).starts_with(from))
                continue;
            oldPath = path + "/" + name;
            newPath = path + "/";
            newPath += to;
            newPath += std::string_view(name).substr(from.size());
            if (::renameat2(AT_FDCWD, oldPath.c_str(), AT_FDCWD, newPath.c_str(),
                            RENAME_NOREPLACE) == 0) {
                ++renamed;
            } else {
                ++failed;
                std::fprintf(stderr, "rename '%s': %s\n", oldPath.c_str(), std::strerror(errno));
            }
        }
    }
    std::printf("%zu renamed\n", renamed);
    return failed == 0 ? 0 : 1;
}
