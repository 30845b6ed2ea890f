#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vantrel {

/// The user's preferences, with their first-run defaults. Flags read from the
/// settings store count as on for any value other than 0, and keep that value
/// until toggled, so they are held as integers. Colours are 0x00BBGGRR.
struct Preferences {
    std::string favouritePath;
    std::int32_t autoSaveFavouriteOnExit = 0;
    std::int32_t storeFavouritePathnames = 0;
    std::int32_t displayIcons = 1;
    std::int32_t highlightActiveCriteria = 1;
    std::int32_t displayWarningMessage = 1;
    std::int32_t displayConfirmationMessage = 1;
    std::int32_t displayGridlines = 0;
    std::int32_t fullRowSelect = 0;
    std::int32_t overwriteTargetFiles = 0;
    std::int32_t autoSelectEntries = 0;
    std::int32_t ignoreFolderExtensions = 0;
    std::uint32_t colourNewNameOk = 32772;          // red 4, green 128, blue 0
    std::uint32_t colourNewNameInvalid = 255;       // red 255
    std::uint32_t colourActiveCriteriaBack = 62965; // red 245, green 245, blue 0
    std::int32_t xpSorting = 0;
    // The list's sort state, stored beside the preferences.
    std::int32_t sortColumn = 0;
    std::int32_t sortDirection = 1;

    bool operator==(const Preferences&) const = default;
};

/// One value of the "Preferences" settings section and the field that holds
/// it. Exactly one member pointer is set.
struct PreferenceKey {
    std::string_view key;
    std::string Preferences::*text = nullptr;
    std::int32_t Preferences::*number = nullptr; ///< flags and integers
    std::uint32_t Preferences::*colour = nullptr;
};

/// The "Preferences" keys in the order they are read and written: the
/// favourite's path, the flags and colours, "XP Sorting", then the list's
/// "Sort Column" and "Sort Dir". Defaults are those of a new `Preferences`.
[[nodiscard]] std::span<const PreferenceKey> preferenceKeys();

} // namespace vantrel
