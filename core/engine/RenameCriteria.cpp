#include "engine/RenameCriteria.h"

#include "text/Utf8Text.h"

namespace vantrel {
namespace {

constexpr std::string_view kFilenameModes[] = {"Keep", "Remove", "Fixed"};
constexpr std::string_view kCaseModes[] = {"Same", "Lower", "Upper", "Title"};
constexpr std::string_view kPlacementModes[] = {"None", "Prefix", "Suffix"};
constexpr std::string_view kDateTypes[] = {"Creation", "Modified", "Accessed", "Taken", "Current"};
constexpr std::string_view kDateFormats[] = {"DMY",     "DMY HM", "DMY HMS", "MDY",     "MDY HM",
                                             "MDY HMS", "YMD",    "YMD HM",  "YMD HMS", "Custom"};
constexpr std::string_view kNumberModes[] = {"None", "Prefix", "Suffix", "Pre.+Suff.", "Insert"};
constexpr std::string_view kExtensionModes[] = {"Same",  "Lower", "Upper",  "Title",
                                                "Fixed", "Extra", "Remove", "Convert"};
constexpr std::string_view kNumberBases[] = {"Base 2 (Binary)", "Base 3",  "Base 4",
                                             "Base 5",          "Base 6",  "Base 7",
                                             "Base 8 (Octal)",  "Base 9",  "Base 10 (Decimal)",
                                             "Base 11",         "Base 12", "Base 13",
                                             "Base 14",         "Base 15", "Base 16 (Hex)",
                                             "Base 17",         "Base 18", "Base 19",
                                             "Base 20",         "Base 21", "Base 22",
                                             "Base 23",         "Base 24", "Base 25",
                                             "Base 26",         "Base 27", "Base 28",
                                             "Base 29",         "Base 30", "Base 31",
                                             "Base 32",         "Base 33", "Base 34",
                                             "Base 35",         "Base 36"};
static_assert(std::size(kNumberBases) == 35);

constexpr std::string_view kCaptions[kPanelCount] = {
    "Reg. Expr. (1)", "Filename (2)",   "Replace (3)",     "Case (4)",
    "Removals (5)",   "Additions (6)",  "Auto Date (7)",   "Append Folder Name (8)",
    "Numbering (9)",  "Extension (10)", "Selections (11)", "New Location (12)"};

bool readsNonZero(const std::string& text) {
    return text::atoiRule(text) != 0;
}

} // namespace

std::span<const std::string_view> filenameModeLines() {
    return kFilenameModes;
}
std::span<const std::string_view> caseModeLines() {
    return kCaseModes;
}
std::span<const std::string_view> dateModeLines() {
    return kPlacementModes;
}
std::span<const std::string_view> dateTypeLines() {
    return kDateTypes;
}
std::span<const std::string_view> dateFormatLines() {
    return kDateFormats;
}
std::span<const std::string_view> folderNameModeLines() {
    return kPlacementModes;
}
std::span<const std::string_view> numberModeLines() {
    return kNumberModes;
}
std::span<const std::string_view> numberBaseLines() {
    return kNumberBases;
}
std::span<const std::string_view> extensionModeLines() {
    return kExtensionModes;
}

std::string_view panelCaption(Panel panel) {
    const int index = static_cast<int>(panel) - 1;
    if (index < 0 || index >= kPanelCount)
        return {};
    return kCaptions[index];
}

void resetPanel(RenameCriteria& c, Panel panel) {
    const RenameCriteria d;
    switch (panel) {
    case Panel::RegExpr:
        c.regexMatch = d.regexMatch;
        c.regexReplace = d.regexReplace;
        c.regexMatchCase = d.regexMatchCase;
        break;
    case Panel::Filename:
        c.filenameMode = d.filenameMode;
        c.fixedName = d.fixedName;
        break;
    case Panel::Replace:
        c.replaceText = d.replaceText;
        c.replaceWith = d.replaceWith;
        c.replaceMatchCase = d.replaceMatchCase;
        break;
    case Panel::Case:
        c.caseMode = d.caseMode;
        break;
    case Panel::Removals:
        c.removeFirstN = c.removeLastN = c.removeFrom = c.removeTo = "0";
        c.removeChars.clear();
        c.removeWords.clear();
        c.removeDigits = c.removeLetters = c.removeSymbols = c.removeHigh = false;
        break;
    case Panel::Additions:
        c.prefix.clear();
        c.insertText.clear();
        c.insertPos.clear();
        c.suffix.clear();
        break;
    case Panel::AutoDate:
        c.dateMode = d.dateMode;
        c.dateType = d.dateType;
        c.dateFormat = d.dateFormat;
        c.dateSeparator.clear();
        c.dateSegmentSeparator.clear();
        c.dateCustom.clear();
        c.dateOffsetHours.clear();
        c.dateCentury = false;
        break;
    case Panel::FolderName:
        // The separator is deliberately kept: users set it once and toggle the mode.
        c.folderNameMode = d.folderNameMode;
        break;
    case Panel::Numbering:
        c.numberMode = d.numberMode;
        c.numberStart = "1";
        c.numberInsertPos = "0";
        c.numberIncrement = "1";
        c.numberPad.clear();
        c.numberSeparator.clear();
        c.numberBase = d.numberBase;
        break;
    case Panel::Extension:
        c.extensionMode = d.extensionMode;
        c.fixedExtension.clear();
        break;
    case Panel::Selections:
        c.filter = d.filter;
        c.includeFiles = c.includeFolders = true;
        c.recursive = c.includeHidden = false;
        c.minLength = d.minLength;
        break;
    case Panel::NewLocation:
        c.newLocation.clear();
        break;
    }
}

void resetAllPanels(RenameCriteria& criteria) {
    for (int p = 1; p <= kPanelCount; ++p)
        resetPanel(criteria, static_cast<Panel>(p));
}

bool isPanelActive(const RenameCriteria& c, Panel panel) {
    switch (panel) {
    case Panel::RegExpr:
        return !c.regexMatch.empty() || !c.regexReplace.empty();
    case Panel::Filename:
        return c.filenameMode != kFilenameKeep || !c.fixedName.empty();
    case Panel::Replace:
        return !c.replaceText.empty() || !c.replaceWith.empty();
    case Panel::Case:
        return c.caseMode != kCaseSame;
    case Panel::Removals:
        return readsNonZero(c.removeFirstN) || readsNonZero(c.removeLastN) ||
               readsNonZero(c.removeFrom) || readsNonZero(c.removeTo) || !c.removeChars.empty() ||
               !c.removeWords.empty() || c.removeDigits || c.removeLetters || c.removeSymbols ||
               c.removeHigh;
    case Panel::Additions:
        return !c.prefix.empty() || !c.insertText.empty() || readsNonZero(c.insertPos) ||
               !c.suffix.empty();
    case Panel::AutoDate:
        return c.dateMode != kPlaceNone;
    case Panel::FolderName:
        return c.folderNameMode != kPlaceNone;
    case Panel::Numbering:
        return c.numberMode != kNumberNone;
    case Panel::Extension:
        return c.extensionMode != kExtSame || !c.fixedExtension.empty();
    case Panel::Selections:
        return false;
    case Panel::NewLocation:
        return !c.newLocation.empty();
    }
    return false;
}

} // namespace vantrel
