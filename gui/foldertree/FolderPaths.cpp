#include "foldertree/FolderPaths.h"

#include <vector>

namespace vantrel::gui {

std::string normalisePath(std::string_view path) {
    const bool absolute = !path.empty() && path.front() == '/';
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
                continue;
            }
            if (absolute)
                continue;
        }
        parts.push_back(part);
    }
    std::string out = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += '/';
        out += parts[i];
    }
    return out;
}

bool isPathPrefix(std::string_view prefix, std::string_view path) {
    if (prefix == "/")
        return !path.empty() && path.front() == '/';
    return path.starts_with(prefix) && (path.size() == prefix.size() || path[prefix.size()] == '/');
}

std::string parentPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

std::string nextOnTheWay(std::string_view ancestor, std::string_view path) {
    const std::size_t start = ancestor == "/" ? 1 : ancestor.size() + 1;
    return std::string(path.substr(0, path.find('/', start)));
}

} // namespace vantrel::gui
