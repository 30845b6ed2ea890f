#include "engine/PreviewRefresh.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

// year, month, day of week, day, hour, minute, second, milliseconds
const FixedClock kClock(DateTime{2010, 1, 3, 20, 10, 20, 30, 0},
                        DateTime{2009, 12, 3, 23, 4, 0, 0, 0});

std::vector<FileEntry> entries(std::initializer_list<const char*> names) {
    auto folder = std::make_shared<EntryFolder>(EntryFolder{"/data/Holiday", "Holiday", ""});
    std::vector<FileEntry> list;
    for (const char* name : names)
        list.emplace_back(folder, name, false);
    return list;
}

std::vector<std::string> newNames(const std::vector<FileEntry>& list) {
    std::vector<std::string> names;
    for (const auto& e : list)
        names.push_back(e.newName());
    return names;
}

TEST(PreviewRefresh, NumbersOnlySelectedRowsInListOrder) {
    auto list = entries({"a", "b", "c", "d", "e"});
    RenameCriteria c;
    c.numberMode = kNumberSuffix;
    c.numberSeparator = "_";
    EntryVectorTarget target(list, {0, 2, 4});
    StatusPanes status;
    refreshPreview(c, {}, target, status, kClock);
    EXPECT_EQ(newNames(list), (std::vector<std::string>{"a_1", "b", "c_2", "d", "e_3"}));
    EXPECT_EQ(status.statistics, "5 Objects (3 Selected)");
    EXPECT_TRUE(status.renameEnabled);
    EXPECT_EQ(status.message, "");
}

/// The same entries, but the refresh may not share the work out.
class OneThreadTarget final : public PreviewTarget {
public:
    explicit OneThreadTarget(std::vector<FileEntry>& entries) : inner_(entries) {}
    std::size_t objectCount() const override { return inner_.objectCount(); }
    std::size_t selectedCount() const override { return inner_.selectedCount(); }
    const FileEntry& selectedEntry(std::size_t i) const override { return inner_.selectedEntry(i); }
    void setNewName(std::size_t i, std::string_view n) override { inner_.setNewName(i, n); }
    void setConflict(std::size_t i, ConflictKind kind, std::size_t other) override {
        inner_.setConflict(i, kind, other);
    }

private:
    EntryVectorTarget inner_;
};

TEST(PreviewRefresh, ABigListSharedOutGivesTheNamesOfOnePass) {
    auto folder = std::make_shared<EntryFolder>(EntryFolder{"/data/Holiday", "Holiday", ""});
    std::vector<FileEntry> shared, single;
    for (int i = 0; i < 120'000; ++i) {
        shared.emplace_back(folder, "IMG_" + std::to_string(i) + ".jpg", i % 7 == 0);
        single.push_back(shared.back());
    }
    RenameCriteria c;
    c.numberMode = kNumberBoth;
    c.numberStart = "2147483000"; // the counter wraps part way
    c.numberIncrement = "-7";
    c.numberBase = 14;
    c.regexMatch = "^IMG_(\\d)";
    c.regexReplace = "\\1-";
    c.dateMode = kPlacePrefix;
    c.dateType = kDateCurrent;
    StatusPanes a, b;
    EntryVectorTarget many(shared);
    OneThreadTarget one(single);
    refreshPreview(c, {}, many, a, kClock);
    refreshPreview(c, {}, one, b, kClock);
    ASSERT_EQ(newNames(shared), newNames(single));
    EXPECT_NE(shared[119'999].newName(), shared[119'999].name());
    EXPECT_EQ(a.statistics, b.statistics);
}

TEST(PreviewRefresh, CounterStartIncrementPadAndBase) {
    struct Case {
        const char* start;
        const char* incr;
        const char* pad;
        int baseIndex;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"10", "10", "3", 8, {"010x", "020x", "030x"}},
        {"0", "1", "", 0, {"0x", "1x", "10x"}},
        {"1", "-1", "", 8, {"1x", "0x", "-1x"}},
        {"1", "0", "", 8, {"1x", "1x", "1x"}},
        {"10", "25", "", 34, {"Ax", "Zx", "1Ox"}},
        {"2147483647", "1", "", 8, {"2147483647x", "-2147483648x", "-2147483647x"}},
        {"-1", "1", "", 14, {"FFFFFFFFFFFFFFFFx", "0x", "1x"}},
        {"5", "1", "", 99, {"5x", "6x", "7x"}}, // a damaged base index counts as base 10
    };
    for (const Case& k : cases) {
        auto list = entries({"x", "x", "x"});
        RenameCriteria c;
        c.numberMode = kNumberPrefix;
        c.numberStart = k.start;
        c.numberIncrement = k.incr;
        c.numberPad = k.pad;
        c.numberBase = k.baseIndex;
        EntryVectorTarget target(list);
        StatusPanes status;
        refreshPreview(c, {}, target, status, kClock);
        EXPECT_EQ(newNames(list), k.expected) << k.start << " " << k.incr << " " << k.baseIndex;
    }
}

TEST(PreviewRefresh, InvalidPatternReportedOtherStepsStillApply) {
    auto list = entries({"song.mp3"});
    RenameCriteria c;
    c.regexMatch = "(";
    c.regexReplace = "x";
    c.suffix = "_s";
    EntryVectorTarget target(list);
    StatusPanes status;
    refreshPreview(c, {}, target, status, kClock);
    EXPECT_EQ(status.message, "Regular Expression is invalid");
    EXPECT_EQ(list[0].newName(), "song_s.mp3");

    c.regexMatch = "song";
    refreshPreview(c, {}, target, status, kClock);
    EXPECT_EQ(status.message, "");
    EXPECT_EQ(list[0].newName(), "x_s.mp3");
}

TEST(PreviewRefresh, NothingSelectedTouchesNothingButStillReports) {
    auto list = entries({"a", "b"});
    RenameCriteria c;
    c.regexMatch = "(";
    c.prefix = "p";
    EntryVectorTarget target(list, {});
    StatusPanes status;
    refreshPreview(c, {}, target, status, kClock);
    EXPECT_EQ(newNames(list), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(status.message, "Regular Expression is invalid");
    EXPECT_EQ(status.statistics, "2 Objects (0 Selected)");
    EXPECT_FALSE(status.renameEnabled);
}

TEST(PreviewRefresh, RunningTwiceGivesTheSameNames) {
    auto list = entries({"IMG_1.jpg", "IMG_2.jpg"});
    RenameCriteria c;
    c.replaceText = "IMG";
    c.replaceWith = "IMG_IMG";
    c.numberMode = kNumberSuffix;
    EntryVectorTarget target(list);
    StatusPanes status;
    refreshPreview(c, {}, target, status, kClock);
    const auto first = newNames(list);
    refreshPreview(c, {}, target, status, kClock);
    EXPECT_EQ(newNames(list), first);
    EXPECT_EQ(first[0], "IMG_IMG_11.jpg");
}

TEST(PreviewRefresh, DateChosenByType) {
    auto list = entries({"a"});
    list[0].created = DateTime{2001, 1, 0, 1, 0, 0, 0, 0};
    list[0].modified = DateTime{2002, 2, 0, 2, 0, 0, 0, 0};
    list[0].accessed = DateTime{2003, 3, 0, 3, 0, 0, 0, 0};
    list[0].hasDateTaken = true;
    list[0].dateTaken = DateTime{2004, 4, 0, 4, 0, 0, 0, 0};
    const std::pair<int, const char*> cases[] = {
        {kDateCreation, "2001-01-01a"}, {kDateModified, "2002-02-02a"},
        {kDateAccessed, "2003-03-03a"}, {kDateTaken, "2004-04-04a"},
        {kDateCurrent, "2010-01-20a"},  {-1, "2009-12-23a"},
    };
    for (const auto& [type, expected] : cases) {
        RenameCriteria c;
        c.dateMode = kPlacePrefix;
        c.dateType = type;
        c.dateFormat = 6;
        c.dateCentury = true;
        c.dateSegmentSeparator = "-";
        EntryVectorTarget target(list);
        StatusPanes status;
        refreshPreview(c, {}, target, status, kClock);
        EXPECT_EQ(list[0].newName(), expected) << type;
    }
}

TEST(PreviewRefresh, IgnoreFolderExtensionsPreference) {
    auto folder = std::make_shared<EntryFolder>();
    std::vector<FileEntry> list;
    list.emplace_back(folder, "My.Pictures", true);
    RenameCriteria c;
    c.caseMode = kCaseUpper;
    EntryVectorTarget target(list);
    StatusPanes status;
    Preferences prefs;
    refreshPreview(c, prefs, target, status, kClock);
    EXPECT_EQ(list[0].newName(), "MY.Pictures");
    prefs.ignoreFolderExtensions = 1;
    refreshPreview(c, prefs, target, status, kClock);
    EXPECT_EQ(list[0].newName(), "MY.PICTURES");
}

TEST(FileEntry, NewNameKeepsLengthAndValidityInStep) {
    auto folder = std::make_shared<EntryFolder>(EntryFolder{"/a", "a", ""});
    FileEntry e(folder, "na:me", false);
    EXPECT_TRUE(e.newNameInvalid()); // the flag reflects the name from creation on
    e.setNewName("ça?");
    EXPECT_EQ(e.newNameLength(), 3);
    EXPECT_TRUE(e.newNameInvalid());
    e.setNewName("ok\xFF");
    EXPECT_EQ(e.newNameLength(), 3);
    EXPECT_FALSE(e.newNameInvalid());
    EXPECT_TRUE(e.isChanged());
    e.resetNewName();
    EXPECT_EQ(e.newName(), "na:me");
    EXPECT_EQ(e.itemPath(), "/a/na:me");
    for (char bad : std::string("\\/:*?\"<>|")) {
        e.setNewName(std::string("x") + bad);
        EXPECT_TRUE(e.newNameInvalid()) << bad;
    }
}

} // namespace
} // namespace vantrel
