#include "foldertree/ChildFolders.h"

#include "filelist/Sorting.h"

#include <algorithm>

namespace vantrel::gui {

Result readChildFolders(FileSystem& fs, const std::string& folder,
                        std::vector<std::string>& names) {
    names.clear();
    std::unique_ptr<FolderListing> listing;
    if (Result opened = fs.openFolder(folder, listing); !opened)
        return opened;
    std::string_view name;
    FileKind kind = FileKind::Unknown;
    while (listing->next(name, kind)) {
        if (kind == FileKind::Unknown) {
            FileAttributes attributes;
            if (!listing->attributes(name, attributes))
                continue; // gone since it was listed, or not ours to read
            kind = attributes.kind;
        }
        if (kind == FileKind::Folder)
            names.emplace_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int order = naturalCompare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    return {};
}

} // namespace vantrel::gui
