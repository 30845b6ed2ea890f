#include "engine/CriteriaFields.h"

#include "text/Utf8Text.h"

#include <array>

namespace vantrel {
namespace {

using C = RenameCriteria;
using Lines = std::span<const std::string_view> (*)();
using A = ActiveWhen;

struct Stored {
    std::string_view section, key;
};

constexpr CriteriaField base(std::string_view name, Panel panel, int id, std::string_view label,
                             FieldKind kind) {
    CriteriaField f;
    f.name = name;
    f.panel = panel;
    f.controlId = id;
    f.label = label;
    f.kind = kind;
    return f;
}

constexpr CriteriaField text(std::string_view name, Panel panel, int id, std::string_view label,
                             std::string C::*field, A active, Stored stored) {
    CriteriaField f = base(name, panel, id, label, FieldKind::Text);
    f.text = field;
    f.active = active;
    f.section = stored.section;
    f.key = stored.key;
    return f;
}

constexpr CriteriaField integer(std::string_view name, Panel panel, int id, std::string_view label,
                                std::string C::*field, std::string_view defaultText, int spinMin,
                                int spinMax, A active, Stored stored) {
    CriteriaField f = text(name, panel, id, label, field, active, stored);
    f.kind = FieldKind::Integer;
    f.defaultText = defaultText;
    f.spinMin = spinMin;
    f.spinMax = spinMax;
    return f;
}

constexpr CriteriaField choice(std::string_view name, Panel panel, int id, std::string_view label,
                               int C::*field, Lines lines, int defaultIndex, A active,
                               Stored stored) {
    CriteriaField f = base(name, panel, id, label, FieldKind::Choice);
    f.choice = field;
    f.lines = lines;
    f.defaultNumber = defaultIndex;
    f.active = active;
    f.section = stored.section;
    f.key = stored.key;
    return f;
}

constexpr CriteriaField flag(std::string_view name, Panel panel, int id, std::string_view label,
                             bool C::*field, bool ticked, A active, Stored stored) {
    CriteriaField f = base(name, panel, id, label, FieldKind::Flag);
    f.flag = field;
    f.defaultNumber = ticked ? 1 : 0;
    f.active = active;
    f.section = stored.section;
    f.key = stored.key;
    return f;
}

constexpr CriteriaField withDefault(CriteriaField f, std::string_view defaultText) {
    f.defaultText = defaultText;
    return f;
}

constexpr CriteriaField keptByReset(CriteriaField f) {
    f.keptByReset = true;
    return f;
}

using P = Panel;
constexpr Stored kNotStored{};

// The order is a favourites file's: a new file is written in it.
constexpr std::array kFields{
    text("regexMatch", P::RegExpr, 1010, "Match", &C::regexMatch, A::NotEmpty,
         {"Regular Expressions", "Match"}),
    text("regexReplace", P::RegExpr, 1011, "Replace", &C::regexReplace, A::NotEmpty,
         {"Regular Expressions", "Replace"}),
    flag("regexMatchCase", P::RegExpr, 1061, "Match Case", &C::regexMatchCase, false, A::Never,
         {"Regular Expressions", "Match Case"}),
    choice("filenameMode", P::Filename, 1015, "Name", &C::filenameMode, filenameModeLines, 0,
           A::NotFirstLine, {"Filename", "Mode"}),
    text("fixedName", P::Filename, 1019, "", &C::fixedName, A::NotEmpty, {"Filename", "Fixed"}),
    text("replaceText", P::Replace, 1029, "Replace", &C::replaceText, A::NotEmpty,
         {"Replacements", "Replace"}),
    text("replaceWith", P::Replace, 1030, "With", &C::replaceWith, A::NotEmpty,
         {"Replacements", "With"}),
    choice("caseMode", P::Case, 1023, "", &C::caseMode, caseModeLines, 0, A::NotFirstLine,
           {"Case", "Change"}),
    integer("removeFirstN", P::Removals, 1035, "First n chars", &C::removeFirstN, "0", 0, 255,
            A::ReadsNonZero, {"Removals", "First N"}),
    integer("removeLastN", P::Removals, 1036, "Last n chars", &C::removeLastN, "0", 0, 255,
            A::ReadsNonZero, {"Removals", "Last N"}),
    integer("removeFrom", P::Removals, 1073, "From", &C::removeFrom, "0", 0, 255, A::ReadsNonZero,
            {"Removals", "From"}),
    integer("removeTo", P::Removals, 1072, "to", &C::removeTo, "0", 0, 255, A::ReadsNonZero,
            {"Removals", "To"}),
    text("removeChars", P::Removals, 1064, "Chars", &C::removeChars, A::NotEmpty,
         {"Removals", "Chars"}),
    text("removeWords", P::Removals, 1097, "Words", &C::removeWords, A::NotEmpty,
         {"Removals", "Words"}),
    flag("removeDigits", P::Removals, 1034, "Digits", &C::removeDigits, false, A::Set,
         {"Removals", "All Digits"}),
    flag("removeLetters", P::Removals, 1082, "Chars", &C::removeLetters, false, A::Set,
         {"Removals", "All Chars"}),
    flag("removeSymbols", P::Removals, 1083, "Symbols", &C::removeSymbols, false, A::Set,
         {"Removals", "All Symbols"}),
    flag("removeHigh", P::Removals, 1086, "High", &C::removeHigh, false, A::Set,
         {"Removals", "All High"}),
    text("prefix", P::Additions, 1039, "Prefix", &C::prefix, A::NotEmpty, {"Additions", "Prefix"}),
    text("insertText", P::Additions, 1077, "Insert", &C::insertText, A::NotEmpty,
         {"Additions", "Text"}),
    integer("insertPos", P::Additions, 1079, "at pos.", &C::insertPos, "", 0, 255, A::ReadsNonZero,
            {"Additions", "Text Pos"}),
    text("suffix", P::Additions, 1040, "Suffix", &C::suffix, A::NotEmpty, {"Additions", "Suffix"}),
    choice("dateMode", P::AutoDate, 1066, "Mode", &C::dateMode, dateModeLines, 0, A::NotFirstLine,
           {"Auto Date", "Mode"}),
    choice("dateType", P::AutoDate, 1093, "Type", &C::dateType, dateTypeLines, 0, A::Never,
           {"Auto Date", "Type"}),
    choice("dateFormat", P::AutoDate, 1068, "Fmt", &C::dateFormat, dateFormatLines, 0, A::Never,
           {"Auto Date", "Format"}),
    text("dateSeparator", P::AutoDate, 1071, "Sep.", &C::dateSeparator, A::Never,
         {"Auto Date", "Separator"}),
    text("dateSegmentSeparator", P::AutoDate, 1085, "Seg.", &C::dateSegmentSeparator, A::Never,
         {"Auto Date", "Segments"}),
    text("dateCustom", P::AutoDate, 1105, "Custom", &C::dateCustom, A::Never,
         {"Auto Date", "Custom"}),
    flag("dateCentury", P::AutoDate, 1098, "Cent.", &C::dateCentury, false, A::Never,
         {"Auto Date", "Century"}),
    integer("dateOffsetHours", P::AutoDate, 1057, "Off.", &C::dateOffsetHours, "", -72, 72,
            A::Never, {"Auto Date", "Offset"}),
    choice("folderNameMode", P::FolderName, 1087, "Name", &C::folderNameMode, folderNameModeLines,
           0, A::NotFirstLine, {"Folder Name", "Mode"}),
    keptByReset(text("folderNameSeparator", P::FolderName, 1091, "Separator",
                     &C::folderNameSeparator, A::Never, {"Folder Name", "Separator"})),
    choice("numberMode", P::Numbering, 1041, "Mode", &C::numberMode, numberModeLines, 0,
           A::NotFirstLine, {"Auto-Number", "Mode"}),
    integer("numberStart", P::Numbering, 1047, "Start", &C::numberStart, "1", 0, 1000, A::Never,
            {"Auto-Number", "Start"}),
    integer("numberInsertPos", P::Numbering, 1102, "at", &C::numberInsertPos, "0", 0, 100, A::Never,
            {"Auto-Number", "Insert"}),
    integer("numberIncrement", P::Numbering, 1048, "Incr.", &C::numberIncrement, "1", -999, 999,
            A::Never, {"Auto-Number", "Increment"}),
    integer("numberPad", P::Numbering, 1049, "Pad", &C::numberPad, "", 0, 50, A::Never,
            {"Auto-Number", "Pad"}),
    text("numberSeparator", P::Numbering, 1050, "Sep.", &C::numberSeparator, A::Never,
         {"Auto-Number", "Separator"}),
    choice("numberBase", P::Numbering, 1125, "Base", &C::numberBase, numberBaseLines, 8, A::Never,
           {"Auto-Number", "Base"}),
    choice("extensionMode", P::Extension, 1081, "", &C::extensionMode, extensionModeLines, 0,
           A::NotFirstLine, {"Extension", "Mode"}),
    text("fixedExtension", P::Extension, 1020, "", &C::fixedExtension, A::NotEmpty,
         {"Extension", "Fixed"}),
    withDefault(text("filter", P::Selections, 1052, "Filter", &C::filter, A::Never,
                     {"Selections", "Filter"}),
                "*"),
    flag("includeFiles", P::Selections, 1055, "Files", &C::includeFiles, true, A::Never,
         {"Selections", "Files"}),
    flag("includeFolders", P::Selections, 1054, "Folders", &C::includeFolders, true, A::Never,
         {"Selections", "Folders"}),
    flag("recursive", P::Selections, 1056, "Recursive", &C::recursive, false, A::Never,
         {"Selections", "Recursive"}),
    flag("includeHidden", P::Selections, 1062, "Hidden", &C::includeHidden, false, A::Never,
         {"Selections", "Hidden"}),
    integer("minLength", P::Selections, 1127, "Min. Len.", &C::minLength, "0", 0, 255, A::Never,
            {"Selections", "Min Length"}),
    text("newLocation", P::NewLocation, 1058, "Path", &C::newLocation, A::NotEmpty,
         {"New Location", "Path"}),
    // Kept by the window only: a favourites file does not store it.
    flag("replaceMatchCase", P::Replace, 1031, "Match Case", &C::replaceMatchCase, false, A::Never,
         kNotStored),
};

} // namespace

std::span<const CriteriaField> criteriaFields() {
    return kFields;
}

const CriteriaField* findCriteriaField(std::string_view name) {
    for (const CriteriaField& f : kFields)
        if (f.name == name)
            return &f;
    return nullptr;
}

std::string fieldText(const RenameCriteria& criteria, const CriteriaField& field) {
    switch (field.kind) {
    case FieldKind::Text:
    case FieldKind::Integer:
        return criteria.*field.text;
    case FieldKind::Choice:
        return std::to_string(criteria.*field.choice);
    case FieldKind::Flag:
        return criteria.*field.flag ? "1" : "0";
    }
    return {};
}

std::optional<int> choiceLineNamed(const CriteriaField& field, std::string_view text) {
    if (field.kind != FieldKind::Choice || field.lines == nullptr)
        return std::nullopt;
    const std::span<const std::string_view> lines = field.lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t remark = line.find(" (");
        if (text::equalsIgnoreCase(line, text) ||
            (remark != std::string_view::npos &&
             text::equalsIgnoreCase(line.substr(0, remark), text)))
            return static_cast<int>(i);
    }
    return std::nullopt;
}

void setFieldDefault(RenameCriteria& criteria, const CriteriaField& field) {
    switch (field.kind) {
    case FieldKind::Text:
    case FieldKind::Integer:
        criteria.*field.text = field.defaultText;
        break;
    case FieldKind::Choice:
        criteria.*field.choice = field.defaultNumber;
        break;
    case FieldKind::Flag:
        criteria.*field.flag = field.defaultNumber != 0;
        break;
    }
}

} // namespace vantrel
