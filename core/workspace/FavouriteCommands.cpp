#include "workspace/FavouriteCommands.h"

#include <algorithm>

namespace vantrel {
namespace {

std::string_view withoutExtension(std::string_view text) {
    // The extension and its dot: a favourite's name always ends in ".vtl".
    return text.size() >= 4 ? text.substr(0, text.size() - 4) : std::string_view{};
}

} // namespace

void RecentFiles::add(const std::string& path) {
    if (path.empty())
        return;
    remove(path);
    // Appended and rotated to the front: GCC 12 at -O3 reports a false null
    // dereference inside vector::insert at the front.
    paths_.push_back(path);
    std::rotate(paths_.rbegin(), paths_.rbegin() + 1, paths_.rend());
    if (paths_.size() > capacity_)
        paths_.resize(capacity_);
}

bool RecentFiles::remove(const std::string& path) {
    const auto it = std::find(paths_.begin(), paths_.end(), path);
    if (it == paths_.end())
        return false;
    paths_.erase(it);
    return true;
}

void RecentFiles::assign(const std::vector<std::string>& paths) {
    paths_.clear();
    for (const std::string& p : paths)
        if (!p.empty() && paths_.size() < capacity_ &&
            std::find(paths_.begin(), paths_.end(), p) == paths_.end())
            paths_.push_back(p);
}

std::string favouriteBaseName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(
        withoutExtension(slash == std::string_view::npos ? path : path.substr(slash + 1)));
}

std::string favouriteOpenedText(std::string_view nameOrPath) {
    return "Favourite " + std::string(withoutExtension(nameOrPath)) + " opened";
}

std::string favouriteSavedText(std::string_view path) {
    return "Favourite " + std::string(path) + " saved";
}

std::string favouriteSavedAsText(std::string_view path) {
    return "New Favourite " + std::string(path) + " saved";
}

} // namespace vantrel
