#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vantrel {

/// The twelve criteria panels, numbered as the user sees them.
enum class Panel : int {
    RegExpr = 1,
    Filename = 2,
    Replace = 3,
    Case = 4,
    Removals = 5,
    Additions = 6,
    AutoDate = 7,
    FolderName = 8,
    Numbering = 9,
    Extension = 10,
    Selections = 11,
    NewLocation = 12,
};

inline constexpr int kPanelCount = 12;

/// Every setting of the twelve criteria panels.
///
/// Texts are kept as typed; integer settings are kept as text and read with the
/// `atoi` rule where they are used; drop-down choices are 0-based line indices
/// (-1 when nothing is chosen); check boxes are flags. Defaults are the start-up values.
struct RenameCriteria {
    // 1 Reg. Expr.
    std::string regexMatch;
    std::string regexReplace;
    bool regexMatchCase = false;
    // 2 Filename
    int filenameMode = 0;
    std::string fixedName;
    // 3 Replace
    std::string replaceText;
    std::string replaceWith;
    bool replaceMatchCase = false;
    // 4 Case
    int caseMode = 0;
    // 5 Removals
    std::string removeFirstN = "0";
    std::string removeLastN = "0";
    std::string removeFrom = "0";
    std::string removeTo = "0";
    std::string removeChars;
    std::string removeWords;
    bool removeDigits = false;
    bool removeLetters = false;
    bool removeSymbols = false;
    bool removeHigh = false;
    // 6 Additions
    std::string prefix;
    std::string insertText;
    std::string insertPos;
    std::string suffix;
    // 7 Auto Date
    int dateMode = 0;
    int dateType = 0;
    int dateFormat = 0;
    std::string dateSeparator;
    std::string dateSegmentSeparator;
    std::string dateCustom;
    bool dateCentury = false;
    std::string dateOffsetHours;
    // 8 Append Folder Name
    int folderNameMode = 0;
    std::string folderNameSeparator;
    // 9 Numbering
    int numberMode = 0;
    std::string numberInsertPos = "0";
    std::string numberStart = "1";
    std::string numberIncrement = "1";
    std::string numberPad;
    std::string numberSeparator;
    int numberBase = 8;
    // 10 Extension
    int extensionMode = 0;
    std::string fixedExtension;
    // 11 Selections
    std::string filter = "*";
    bool includeFolders = true;
    bool includeFiles = true;
    bool includeHidden = false;
    bool recursive = false;
    std::string minLength = "0";
    // 12 New Location
    std::string newLocation;

    bool operator==(const RenameCriteria&) const = default;
};

// Drop-down line indices that the engine branches on.
enum FilenameMode : int { kFilenameKeep = 0, kFilenameRemove = 1, kFilenameFixed = 2 };
enum CaseMode : int { kCaseSame = 0, kCaseLower = 1, kCaseUpper = 2, kCaseTitle = 3 };
enum PlacementMode : int { kPlaceNone = 0, kPlacePrefix = 1, kPlaceSuffix = 2 };
enum DateType : int {
    kDateCreation = 0,
    kDateModified = 1,
    kDateAccessed = 2,
    kDateTaken = 3,
    kDateCurrent = 4
};
enum DateFormat : int { kDateFormatCustom = 9 };
enum NumberMode : int {
    kNumberNone = 0,
    kNumberPrefix = 1,
    kNumberSuffix = 2,
    kNumberBoth = 3,
    kNumberInsert = 4
};
enum ExtensionMode : int {
    kExtSame = 0,
    kExtLower = 1,
    kExtUpper = 2,
    kExtTitle = 3,
    kExtFixed = 4,
    kExtExtra = 5,
    kExtRemove = 6,
    kExtConvert = 7
};

/// The fixed lines of the drop-down lists, in index order. The indices are what
/// favourites files store, so the order is part of the file format.
std::span<const std::string_view> filenameModeLines();
std::span<const std::string_view> caseModeLines();
std::span<const std::string_view> dateModeLines();
std::span<const std::string_view> dateTypeLines();
std::span<const std::string_view> dateFormatLines();
std::span<const std::string_view> folderNameModeLines();
std::span<const std::string_view> numberModeLines();
std::span<const std::string_view> numberBaseLines();
std::span<const std::string_view> extensionModeLines();

/// The group-box caption of a panel, e.g. "Reg. Expr. (1)".
std::string_view panelCaption(Panel panel);

/// Writes the reset values of one panel into the record (the "R" button).
/// Append Folder Name keeps its separator; Numbering puts "0" into "at".
void resetPanel(RenameCriteria& criteria, Panel panel);

/// Resets panels 1 to 12 in order (the Reset button).
void resetAllPanels(RenameCriteria& criteria);

/// Whether the panel counts as active for highlighting. A drop-down with no
/// choice (-1) counts as active; Selections never does.
[[nodiscard]] bool isPanelActive(const RenameCriteria& criteria, Panel panel);

} // namespace vantrel
