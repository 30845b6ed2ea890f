// The floor that whole-process rename figures are measured against: list
// each folder of a tree, then rename every file whose name starts with one
// prefix to the same name with another, with renameat2(RENAME_NOREPLACE) on
// full paths, as the rename batch does. Nothing else: no regular
// expression, no journal, no checks.
//
//   vantrel_rename_floor [--by-name] FROM TO TREE   e.g. IMG_ PIC_ /dev/shm/tree
// Prints the number of renames; exit status 1 when any failed. Without
// --by-name the files are renamed folder by folder; with it in the order of
// a list sorted by name over all folders, which moves from folder to folder
// at every rename and costs the kernel markedly more.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <utility>
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
    const bool byName = argc == 5 && std::string_view(argv[1]) == "--by-name";
    if (argc != 4 + (byName ? 1 : 0)) {
        std::fprintf(stderr,
                     "usage: vantrel_rename_floor [--by-name] FROM-PREFIX TO-PREFIX TREE\n");
        return 2;
    }
    char** args = argv + (byName ? 1 : 0);
    const std::string_view from = args[1];
    const std::string_view to = args[2];
    const std::string tree = args[3];

    // (folder, name) of every file to rename, folder by folder as listed.
    std::vector<std::pair<std::string, std::string>> work;
    for (const std::string& folder : listFolder(tree)) {
        const std::string path = tree + "/" + folder;
        for (std::string& name : listFolder(path)) {
            if (std::string_view(name).starts_with(from))
                work.emplace_back(path, std::move(name));
        }
    }
    if (byName)
        std::stable_sort(work.begin(), work.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });

    std::size_t renamed = 0;
    std::size_t failed = 0;
    std::string oldPath;
    std::string newPath;
    for (const auto& [path, name] : work) {
        oldPath = path + "/" + name;
        newPath = path + "/";
        newPath += to;
        newPath += std::string_view(name).substr(from.size());
        if (::renameat2(AT_FDCWD, oldPath.c_str(), AT_FDCWD, newPath.c_str(), RENAME_NOREPLACE) ==
            0) {
            ++renamed;
        } else {
            ++failed;
            std::fprintf(stderr, "rename '%s': %s\n", oldPath.c_str(), std::strerror(errno));
        }
    }
    std::printf("%zu renamed\n", renamed);
    return failed == 0 ? 0 : 1;
}
