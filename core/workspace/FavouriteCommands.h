#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

/// The recently used favourites files, newest first, at most `capacity`.
class RecentFiles {
public:
    explicit RecentFiles(std::size_t capacity = 8) : capacity_(capacity) {}
    /// Puts `path` at the top (moving it there when it is listed already).
    void add(const std::string& path);
    /// Takes `path` off the list; false when it was not on it.
    bool remove(const std::string& path);
    /// Replaces the whole list (what the settings hold), dropping empty and
    /// repeated entries and anything past the capacity.
    void assign(const std::vector<std::string>& paths);
    [[nodiscard]] const std::vector<std::string>& paths() const { return paths_; }

private:
    std::size_t capacity_;
    std::vector<std::string> paths_;
};

/// A favourites file's name as the favourite pane shows it: without its
/// folder and without its last four characters (".vtl").
[[nodiscard]] std::string favouriteBaseName(std::string_view path);

/// "Favourite <text without its last four characters> opened".
[[nodiscard]] std::string favouriteOpenedText(std::string_view nameOrPath);
/// "Favourite <path> saved".
[[nodiscard]] std::string favouriteSavedText(std::string_view path);
/// "New Favourite <path> saved".
[[nodiscard]] std::string favouriteSavedAsText(std::string_view path);

inline constexpr std::string_view kOpenFavouriteCancelled = "Open Favourite was cancelled";
inline constexpr std::string_view kSaveFavouriteAsCancelled = "New Favourite was cancelled";
inline constexpr std::string_view kRecentFavouriteMissing =
    "Favourites file could not be found, and will be removed from the Most Recent Files list.";
inline constexpr std::string_view kJumpCancelled = "Jump to Path was cancelled";
inline constexpr std::string_view kColourNeedsRestart =
    "Colour Updated. This change will not take effect until you restart the application.";

} // namespace vantrel
