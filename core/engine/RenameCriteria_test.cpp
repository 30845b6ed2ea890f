#include "engine/CriteriaFields.h"
#include "engine/Numbering.h"
#include "engine/RenameCriteria.h"

#include <gtest/gtest.h>

#include <set>

namespace vantrel {
namespace {

RenameCriteria everythingSet() {
    RenameCriteria c;
    c.regexMatch = c.regexReplace = c.fixedName = c.replaceText = c.replaceWith = "t";
    c.regexMatchCase = c.replaceMatchCase = true;
    c.filenameMode = c.caseMode = c.dateMode = c.dateType = c.dateFormat = 2;
    c.folderNameMode = c.numberMode = c.extensionMode = c.numberBase = 2;
    c.removeFirstN = c.removeLastN = c.removeFrom = c.removeTo = "5";
    c.removeChars = c.removeWords = c.prefix = c.insertText = c.insertPos = c.suffix = "t";
    c.removeDigits = c.removeLetters = c.removeSymbols = c.removeHigh = true;
    c.dateSeparator = c.dateSegmentSeparator = c.dateCustom = c.dateOffsetHours = "t";
    c.dateCentury = true;
    c.folderNameSeparator = " - ";
    c.numberInsertPos = c.numberStart = c.numberIncrement = c.numberPad = "9";
    c.numberSeparator = c.fixedExtension = c.filter = c.minLength = c.newLocation = "t";
    c.includeFolders = c.includeFiles = false;
    c.includeHidden = c.recursive = true;
    return c;
}

TEST(RenameCriteria, ResetAllGivesStartUpValuesButKeepsFolderSeparator) {
    RenameCriteria c = everythingSet();
    resetAllPanels(c);
    RenameCriteria expected;
    expected.folderNameSeparator = " - ";
    expected.insertPos = "";        // Additions resets "at pos." to empty
    expected.numberInsertPos = "0"; // while Numbering puts "0" into "at"
    EXPECT_EQ(c, expected);
}

TEST(RenameCriteria, EachResetTouchesOnlyItsPanel) {
    for (int p = 1; p <= kPanelCount; ++p) {
        RenameCriteria c = everythingSet();
        resetPanel(c, static_cast<Panel>(p));
        EXPECT_FALSE(isPanelActive(c, static_cast<Panel>(p))) << p;
        for (int q = 1; q <= kPanelCount; ++q) {
            if (q != p && q != static_cast<int>(Panel::Selections)) {
                EXPECT_TRUE(isPanelActive(c, static_cast<Panel>(q))) << p << " reset " << q;
            }
        }
    }
}

TEST(RenameCriteria, ActiveRule) {
    RenameCriteria c;
    for (int p = 1; p <= kPanelCount; ++p)
        EXPECT_FALSE(isPanelActive(c, static_cast<Panel>(p))) << p;
    c.removeFirstN = "0";
    c.regexMatchCase = c.replaceMatchCase = true;
    EXPECT_FALSE(isPanelActive(c, Panel::Removals));
    EXPECT_FALSE(isPanelActive(c, Panel::RegExpr));
    EXPECT_FALSE(isPanelActive(c, Panel::Replace));
    c.removeFirstN = " -5x";
    EXPECT_TRUE(isPanelActive(c, Panel::Removals));
    c.insertPos = "x";
    EXPECT_FALSE(isPanelActive(c, Panel::Additions));
    c.caseMode = -1; // no choice counts as active
    EXPECT_TRUE(isPanelActive(c, Panel::Case));
    c.includeHidden = true;
    EXPECT_FALSE(isPanelActive(c, Panel::Selections));
}

TEST(CriteriaFields, TableCoversEveryMemberOnce) {
    // A member missing from the table would keep its changed value here.
    RenameCriteria c = everythingSet();
    for (const CriteriaField& f : criteriaFields())
        setFieldDefault(c, f);
    EXPECT_EQ(c, RenameCriteria{});

    std::set<int> ids;
    std::set<std::string_view> names;
    for (const CriteriaField& f : criteriaFields()) {
        EXPECT_TRUE(ids.insert(f.controlId).second) << f.name;
        EXPECT_TRUE(names.insert(f.name).second) << f.name;
        EXPECT_EQ(findCriteriaField(f.name), &f);
        EXPECT_EQ(f.kind == FieldKind::Integer, f.spinMin < f.spinMax) << f.name;
        if (f.kind == FieldKind::Choice) {
            ASSERT_NE(f.lines, nullptr) << f.name;
            EXPECT_LT(static_cast<std::size_t>(f.defaultNumber), f.lines().size()) << f.name;
        }
    }
    EXPECT_EQ(findCriteriaField("nothing"), nullptr);
}

TEST(CriteriaFields, FieldTextIsTheFileForm) {
    RenameCriteria c;
    c.numberBase = 14;
    c.includeFiles = false;
    c.prefix = " x ";
    EXPECT_EQ(fieldText(c, *findCriteriaField("numberBase")), "14");
    EXPECT_EQ(fieldText(c, *findCriteriaField("includeFiles")), "0");
    EXPECT_EQ(fieldText(c, *findCriteriaField("includeFolders")), "1");
    EXPECT_EQ(fieldText(c, *findCriteriaField("prefix")), " x ");
}

TEST(RenameCriteria, ListLinesInIndexOrder) {
    EXPECT_EQ(numberBaseLines().size(), 35u);
    EXPECT_EQ(numberBaseLines()[8], "Base 10 (Decimal)");
    EXPECT_EQ(numberBaseLines()[14], "Base 16 (Hex)");
    EXPECT_EQ(numberBaseLines()[34], "Base 36");
    EXPECT_EQ(dateFormatLines()[9], "Custom");
    EXPECT_EQ(extensionModeLines()[7], "Convert");
    EXPECT_EQ(numberModeLines()[3], "Pre.+Suff.");
    EXPECT_EQ(panelCaption(Panel::FolderName), "Append Folder Name (8)");
}

TEST(Numbering, FormatNumber) {
    struct Case {
        std::int32_t value;
        int base;
        std::int32_t pad;
        const char* expected;
    };
    const Case cases[] = {
        {255, 16, 4, "00FF"},
        {5, 2, 0, "101"},
        {35, 36, 0, "Z"},
        {36, 36, 3, "010"},
        {-5, 10, 4, "00-5"},
        {-1, 16, 0, "FFFFFFFFFFFFFFFF"},
        {-1, 8, 0, "1777777777777777777777"},
        {-1, 2, 0, "1111111111111111111111111111111111111111111111111111111111111111"},
        {-5, 16, 0, "FFFFFFFFFFFFFFFB"},
        {0, 16, 3, "000"},
        {INT32_MIN, 10, 0, "-2147483648"},
        {7, 1, -3, "7"},
    };
    for (const Case& k : cases)
        EXPECT_EQ(formatNumber(k.value, k.base, k.pad), k.expected) << k.value << " b" << k.base;
    EXPECT_EQ(formatNumber(1, 10, INT32_MAX).size(), 4096u); // a damaged pad stays bounded
    EXPECT_EQ(numberBaseFromIndex(-1), 10);
    EXPECT_EQ(numberBaseFromIndex(35), 10);
    EXPECT_EQ(numberBaseFromIndex(0), 2);
}

} // namespace
} // namespace vantrel
