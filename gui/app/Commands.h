#pragma once

#include "engine/Preferences.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace vantrel::gui {

class MainWindow;

/// What the commands' enable and check rules look at.
struct CommandState {
    const Preferences& preferences;
    bool undoAvailable = false;   ///< the undo log holds renames
    bool focusInZoomable = false; ///< the focus is in one of the twelve zoomable text fields
    bool alwaysOnTop = false;
};

/// What a line of the menu bar is.
enum class MenuLine : unsigned char { Command, Separator, RecentFiles };

/// One command of the menu bar, declared once: its number, where it is,
/// its text and shortcut, when it is enabled and checked, and what it does.
/// A toggle names the preference it flips; `run` then applies the change
/// (it may be null when nothing is to be applied at once).
struct CommandDef {
    int id = 0;
    std::string_view menu;    ///< the top-level menu, e.g. "&File"
    std::string_view submenu; ///< a menu inside it, or empty
    std::string_view text;
    std::string_view shortcut;                      ///< e.g. "Ctrl+O"; empty for none
    bool (*enabled)(const CommandState&) = nullptr; ///< null: always enabled
    bool (*checked)(const CommandState&) = nullptr; ///< null: no check mark
    std::int32_t Preferences::*toggles = nullptr;   ///< the flag a toggle flips
    void (MainWindow::*run)() = nullptr;
    MenuLine line = MenuLine::Command;
};

/// The menu bar, in order (separators and the recent-files place included).
[[nodiscard]] std::span<const CommandDef> commandTable();
/// The command with the given number; null when there is none.
[[nodiscard]] const CommandDef* findCommand(int id);
/// Whether the command may run, and whether it shows a check mark, in `state`.
[[nodiscard]] bool commandEnabled(const CommandDef& command, const CommandState& state);
[[nodiscard]] bool commandChecked(const CommandDef& command, const CommandState& state);

} // namespace vantrel::gui
