#pragma once

#include "engine/RenameCriteria.h"
#include "platform/FileSystem.h"
#include "platform/Result.h"

#include <span>
#include <string>
#include <string_view>

namespace vantrel {

/// How a favourites key stores its value.
enum class FavouriteEncoding : unsigned char {
    Text,     // quoted text, read back with double quotes removed
    CheckBox, // 1 or 0; any value but 0 reads as ticked
    DropDown, // the line index; an index outside the list reads as -1 (no choice)
};

/// One key of a favourites file and the criteria field it holds. Exactly one
/// member pointer is set, except for "General"/"Path" (the folder selected at
/// save time), which has none.
struct CriteriaField;

struct FavouriteKey {
    std::string_view section;
    std::string_view key;
    FavouriteEncoding encoding = FavouriteEncoding::Text;
    std::string RenameCriteria::*text = nullptr;
    bool RenameCriteria::*flag = nullptr;
    int RenameCriteria::*choice = nullptr;
    std::string_view defaultText;         // text keys
    int defaultNumber = 0;                // check boxes (0 or 1) and drop-downs (an index)
    int lines = 0;                        // drop-downs: the number of lines of the list
    const CriteriaField* field = nullptr; // the criteria field; null for "General"/"Path"
};

/// The 49 keys in the order a save writes them, "General"/"Path" first.
[[nodiscard]] std::span<const FavouriteKey> favouriteKeys();

/// Saves the criteria and the selected folder into the favourites file at
/// `path`, keeping every other line the file holds. Fails when the file exists
/// but cannot be read, or cannot be written; the file is then unchanged.
[[nodiscard]] Result saveFavourite(FileSystem& fs, const std::string& path,
                                   const RenameCriteria& criteria, std::string_view generalPath);

/// Loads the favourites file at `path` into the criteria (every key absent
/// from the file takes its default; "Match Case" of Replace is not stored and
/// stays as it is) and, when `generalPath` is given, the stored folder. Fails
/// when the file is missing or unreadable; the defaults are applied all the same.
[[nodiscard]] Result loadFavourite(FileSystem& fs, const std::string& path,
                                   RenameCriteria& criteria, std::string* generalPath);

/// The outcome of applyFavouriteSetting.
enum class FavouriteSetting : unsigned char { Applied, UnknownSection, UnknownKey, UnknownLine };

/// Sets one favourites key as if `rawValue` were the text after "=" on its
/// line in a favourites file (blanks around it trimmed, enclosing quotes
/// removed). Section and key match without regard to case; an unknown one
/// changes nothing. "General"/"Path" goes to `generalPath` when given. A
/// drop-down also takes the text of a line (choiceLineNamed): a value that
/// is not a number and names no line changes nothing (UnknownLine).
[[nodiscard]] FavouriteSetting applyFavouriteSetting(RenameCriteria& criteria,
                                                     std::string_view section, std::string_view key,
                                                     std::string_view rawValue,
                                                     std::string* generalPath);

} // namespace vantrel
