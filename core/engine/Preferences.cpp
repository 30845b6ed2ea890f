#include "engine/Preferences.h"

#include <array>

namespace vantrel {
namespace {

using P = Preferences;

constexpr PreferenceKey flag(std::string_view key, std::int32_t P::*field) {
    PreferenceKey k;
    k.key = key;
    k.number = field;
    return k;
}

constexpr PreferenceKey colour(std::string_view key, std::uint32_t P::*field) {
    PreferenceKey k;
    k.key = key;
    k.colour = field;
    return k;
}

constexpr PreferenceKey text(std::string_view key, std::string P::*field) {
    PreferenceKey k;
    k.key = key;
    k.text = field;
    return k;
}

constexpr std::array kKeys{
    text("Favourite Path", &P::favouritePath),
    flag("Auto Save Favourite On Exit", &P::autoSaveFavouriteOnExit),
    flag("Store Favourite Pathnames", &P::storeFavouritePathnames),
    flag("Display Icons", &P::displayIcons),
    flag("Highlight Active Criteria", &P::highlightActiveCriteria),
    flag("Display Warning Message", &P::displayWarningMessage),
    flag("Display Confirmation Message", &P::displayConfirmationMessage),
    flag("Display Gridlines", &P::displayGridlines),
    flag("Full Row Select", &P::fullRowSelect),
    flag("Overwrite Target Files", &P::overwriteTargetFiles),
    flag("Auto Select Entries", &P::autoSelectEntries),
    flag("Ignore Folder Extensions", &P::ignoreFolderExtensions),
    colour("Colour New Name OK", &P::colourNewNameOk),
    colour("Colour New Name Invalid", &P::colourNewNameInvalid),
    colour("Colour Active Criteria Back", &P::colourActiveCriteriaBack),
    flag("XP Sorting", &P::xpSorting),
    flag("Sort Column", &P::sortColumn),
    flag("Sort Dir", &P::sortDirection),
};

} // namespace

std::span<const PreferenceKey> preferenceKeys() {
    return kKeys;
}

} // namespace vantrel
