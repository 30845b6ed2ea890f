#include "engine/RenameCriteria.h"

#include "engine/CriteriaFields.h"

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

void resetPanel(RenameCriteria& criteria, Panel panel) {
    for (const CriteriaField& field : criteriaFields())
        if (field.panel == panel && !field.keptByReset)
            setFieldDefault(criteria, field);
}

void resetAllPanels(RenameCriteria& criteria) {
    for (int p = 1; p <= kPanelCount; ++p)
        resetPanel(criteria, static_cast<Panel>(p));
}

bool isPanelActive(const RenameCriteria& criteria, Panel panel) {
    for (const CriteriaField& field : criteriaFields()) {
        if (field.panel != panel)
            continue;
        switch (field.active) {
        case ActiveWhen::Never:
            break;
        case ActiveWhen::NotEmpty:
            if (!(criteria.*field.text).empty())
                return true;
            break;
        case ActiveWhen::ReadsNonZero:
            if (text::atoiRule(criteria.*field.text) != 0)
                return true;
            break;
        case ActiveWhen::NotFirstLine:
            if (criteria.*field.choice != 0)
                return true;
            break;
        case ActiveWhen::Set:
            if (criteria.*field.flag)
                return true;
            break;
        }
    }
    return false;
}

} // namespace vantrel
