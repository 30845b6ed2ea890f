#include "app/Commands.h"

#include "app/MainWindow.h"

#include <array>

namespace vantrel::gui {
namespace {

using P = Preferences;
using W = MainWindow;

constexpr CommandDef command(int id, std::string_view menu, std::string_view text,
                             std::string_view shortcut, void (W::*run)(),
                             bool (*enabled)(const CommandState&) = nullptr) {
    CommandDef c;
    c.id = id;
    c.menu = menu;
    c.text = text;
    c.shortcut = shortcut;
    c.run = run;
    c.enabled = enabled;
    return c;
}

constexpr CommandDef separator(std::string_view menu, std::string_view submenu = {}) {
    CommandDef c;
    c.menu = menu;
    c.submenu = submenu;
    c.line = MenuLine::Separator;
    return c;
}

/// A check item that flips a preference; `apply` shows the change at once.
template <std::int32_t P::*Flag>
constexpr CommandDef toggle(int id, std::string_view menu, std::string_view submenu,
                            std::string_view text, void (W::*apply)() = nullptr) {
    CommandDef c;
    c.id = id;
    c.menu = menu;
    c.submenu = submenu;
    c.text = text;
    c.toggles = Flag;
    c.checked = [](const CommandState& s) { return s.preferences.*Flag != 0; };
    c.run = apply;
    return c;
}

constexpr std::string_view kFile = "&File", kActions = "&Actions", kOptions = "&Options",
                           kHelp = "&Help", kFavourites = "&Favourites", kDisplay = "D&isplay",
                           kColours = "&Colours";

const std::array kCommands{
    command(57601, kFile, "&Open", "Ctrl+O", &W::openFavourite),
    command(57603, kFile, "&Save", "Ctrl+S", &W::saveFavourite),
    command(57604, kFile, "Save &As...", "", &W::saveFavouriteAs),
    separator(kFile),
    [] {
        CommandDef c;
        c.id = 57616;
        c.menu = kFile;
        c.line = MenuLine::RecentFiles;
        return c;
    }(),
    separator(kFile),
    command(32771, kFile, "E&xit", "", &W::exit),

    command(32772, kActions, "&Select All", "Ctrl+A", &W::selectAll),
    command(32773, kActions, "&Deselect All", "Ctrl+D", &W::deselectAll),
    separator(kActions),
    command(32795, kActions, "&Jump to Path", "Ctrl+J", &W::jumpToPath),
    separator(kActions),
    command(32774, kActions, "&Refresh Files", "F5", &W::refreshFiles),
    command(32792, kActions, "Refresh &Tree", "Ctrl+F5", &W::refreshTree),
    separator(kActions),
    command(32775, kActions, "&Undo Rename", "Ctrl+Z", &W::undoRename,
            [](const CommandState& s) { return s.undoAvailable; }),
    command(32799, kActions, "&Zoom", "F8", &W::zoom,
            [](const CommandState& s) { return s.focusInZoomable; }),
    separator(kActions),
    command(32808, kActions, "Rand&om Sort", "", &W::randomSort),

    [] {
        CommandDef c = command(32776, kOptions, "Always On &Top", "", &W::toggleAlwaysOnTop);
        c.checked = [](const CommandState& s) { return s.alwaysOnTop; };
        return c;
    }(),
    separator(kOptions),
    toggle<&P::autoSaveFavouriteOnExit>(32779, kOptions, kFavourites, "Save on E&xit"),
    toggle<&P::storeFavouritePathnames>(32796, kOptions, kFavourites, "Store Pathname"),
    separator(kOptions),
    toggle<&P::displayGridlines>(32790, kOptions, kDisplay, "&Gridlines", &W::applyListLook),
    toggle<&P::displayIcons>(32789, kOptions, kDisplay, "&Icons"),
    toggle<&P::highlightActiveCriteria>(32807, kOptions, kDisplay, "&Highlight Active Criteria",
                                        &W::showHighlights),
    toggle<&P::displayWarningMessage>(32821, kOptions, kDisplay, "&Warning Message"),
    toggle<&P::displayConfirmationMessage>(32822, kOptions, kDisplay, "&Confirmation Message"),
    [] {
        CommandDef c = command(32811, kOptions, "New Name &OK...", "", &W::chooseOkColour);
        c.submenu = kColours;
        return c;
    }(),
    [] {
        CommandDef c =
            command(32812, kOptions, "New Name &Invalid...", "", &W::chooseInvalidColour);
        c.submenu = kColours;
        return c;
    }(),
    [] {
        CommandDef c =
            command(32813, kOptions, "&Active Criteria...", "", &W::chooseActiveCriteriaColour);
        c.submenu = kColours;
        return c;
    }(),
    toggle<&P::fullRowSelect>(32797, kOptions, {}, "Full &Row Select", &W::applyListLook),
    toggle<&P::xpSorting>(32804, kOptions, {}, "&XP-Style Sorting", &W::applyListLook),
    separator(kOptions),
    toggle<&P::overwriteTargetFiles>(32794, kOptions, {}, "Over&write Target Files"),
    toggle<&P::autoSelectEntries>(32809, kOptions, {}, "Auto-Se&lect Entries"),
    toggle<&P::ignoreFolderExtensions>(32814, kOptions, {}, "I&gnore Folder Extensions",
                                       &W::previewFolderExtensions),

    command(32801, kHelp, "&Contents", "F1", &W::helpContents),
    command(57666, kHelp, "&Index", "", &W::helpIndex),
    command(32787, kHelp, "&Search", "", &W::helpSearch),
    separator(kHelp),
    command(32793, kHelp, "&Tip of the Day", "", &W::tipOfTheDay),
    separator(kHelp),
    command(32823, kHelp, "Check for &Updates", "", &W::checkForUpdates),
    separator(kHelp),
    command(32788, kHelp, "&About", "", &W::about),
    separator(kHelp),
};

} // namespace

std::span<const CommandDef> commandTable() {
    return kCommands;
}

const CommandDef* findCommand(int id) {
    for (const CommandDef& c : kCommands)
        if (c.id == id && c.line == MenuLine::Command)
            return &c;
    return nullptr;
}

bool commandEnabled(const CommandDef& command, const CommandState& state) {
    return command.enabled == nullptr || command.enabled(state);
}

bool commandChecked(const CommandDef& command, const CommandState& state) {
    return command.checked != nullptr && command.checked(state);
}

} // namespace vantrel::gui
