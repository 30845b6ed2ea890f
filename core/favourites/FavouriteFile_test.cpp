#include "favourites/FavouriteFile.h"

#include "testsupport/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <set>

namespace vantrel {
namespace {

class FavouriteFileTest : public ::testing::Test {
protected:
    void SetUp() override { fs_.addFolder("/home/u"); }
    void put(const std::string& content) { fs_.addFile(file_, content); }
    [[nodiscard]] std::string get() const { return fs_.content(file_); }
    Result saveFavourite(const std::string& path, const RenameCriteria& c, std::string_view dir) {
        return vantrel::saveFavourite(fs_, path, c, dir);
    }
    Result loadFavourite(const std::string& path, RenameCriteria& c, std::string* dir) {
        return vantrel::loadFavourite(fs_, path, c, dir);
    }
    MemoryFileSystem fs_;
    std::string file_ = "/home/u/job.vtl";
};

// Every stored field away from its default, texts with edge blanks and non-ASCII.
RenameCriteria unusual() {
    RenameCriteria c;
    int n = 0;
    for (const FavouriteKey& k : favouriteKeys()) {
        ++n;
        if (k.text != nullptr)
            c.*k.text = "  v" + std::to_string(n) + " \xC3\xA9 ";
        else if (k.flag != nullptr)
            c.*k.flag = !(c.*k.flag);
        else if (k.choice != nullptr)
            c.*k.choice = k.lines - 1 == c.*k.choice ? 0 : k.lines - 1;
    }
    return c;
}

TEST_F(FavouriteFileTest, KeyTableMatchesTheCriteriaRecord) {
    const auto keys = favouriteKeys();
    ASSERT_EQ(keys.size(), 49u);
    EXPECT_EQ(keys[0].section, "General");
    EXPECT_EQ(keys[0].key, "Path");
    std::set<std::string_view> sections;
    const RenameCriteria defaults;
    for (const FavouriteKey& k : keys) {
        sections.insert(k.section);
        const std::string where = std::string(k.section) + "/" + std::string(k.key);
        if (k.text != nullptr) {
            EXPECT_EQ(defaults.*k.text, k.defaultText) << where;
        } else if (k.flag != nullptr) {
            EXPECT_EQ(defaults.*k.flag, k.defaultNumber != 0) << where;
        } else if (k.choice != nullptr) {
            EXPECT_EQ(defaults.*k.choice, k.defaultNumber) << where;
        }
    }
    EXPECT_EQ(sections.size(), 13u);
    // Two keys bound to one field would leave another field unstored.
    for (std::size_t i = 1; i < keys.size(); ++i) {
        for (std::size_t j = i + 1; j < keys.size(); ++j) {
            EXPECT_FALSE(keys[i].text == keys[j].text && keys[i].flag == keys[j].flag &&
                         keys[i].choice == keys[j].choice)
                << keys[i].section << "/" << keys[i].key << " and " << keys[j].key;
        }
    }
    const std::pair<int RenameCriteria::*, std::size_t> lists[] = {
        {&RenameCriteria::filenameMode, filenameModeLines().size()},
        {&RenameCriteria::caseMode, caseModeLines().size()},
        {&RenameCriteria::dateMode, dateModeLines().size()},
        {&RenameCriteria::dateType, dateTypeLines().size()},
        {&RenameCriteria::dateFormat, dateFormatLines().size()},
        {&RenameCriteria::folderNameMode, folderNameModeLines().size()},
        {&RenameCriteria::numberMode, numberModeLines().size()},
        {&RenameCriteria::numberBase, numberBaseLines().size()},
        {&RenameCriteria::extensionMode, extensionModeLines().size()},
    };
    for (const auto& [field, lines] : lists) {
        const auto k = std::find_if(keys.begin(), keys.end(),
                                    [f = field](const FavouriteKey& x) { return x.choice == f; });
        ASSERT_NE(k, keys.end());
        EXPECT_EQ(static_cast<std::size_t>(k->lines), lines) << k->section;
    }
}

TEST_F(FavouriteFileTest, RoundTripKeepsEveryStoredField) {
    const RenameCriteria saved = unusual();
    ASSERT_TRUE(saveFavourite(file_, saved, "/home/u/pics ").ok());
    RenameCriteria loaded;
    loaded.replaceMatchCase = true; // not stored: must survive the load
    std::string folder;
    ASSERT_TRUE(loadFavourite(file_, loaded, &folder).ok());
    RenameCriteria expected = saved;
    expected.replaceMatchCase = true;
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(folder, "/home/u/pics ");
}

TEST_F(FavouriteFileTest, NewFileLayout) {
    RenameCriteria c;
    c.numberBase = 14; // Base 16
    ASSERT_TRUE(saveFavourite(file_, c, "/p").ok());
    const std::string text = get();
    EXPECT_EQ(text.rfind("[General]\nPath=\"/p\"\n[Regular Expressions]\nMatch=\"\"\n", 0), 0u);
    EXPECT_NE(text.find("\nBase=14\n"), std::string::npos);
    EXPECT_NE(text.find("[Selections]\nFilter=\"*\"\nFiles=1\nFolders=1\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("Min Length=\"0\"\n[New Location]\nPath=\"\"\n"));
}

TEST_F(FavouriteFileTest, MissingFileOrSectionGivesDefaults) {
    RenameCriteria c = unusual();
    std::string folder = "x";
    EXPECT_FALSE(loadFavourite(file_, c, &folder).ok());
    RenameCriteria defaults;
    defaults.replaceMatchCase = c.replaceMatchCase;
    EXPECT_EQ(c, defaults);
    EXPECT_EQ(folder, "");

    put("[Regular Expressions]\nMatch=\"m\"\n");
    c = unusual();
    ASSERT_TRUE(loadFavourite(file_, c, nullptr).ok());
    EXPECT_EQ(c.regexMatch, "m");
    EXPECT_EQ(c.filter, "*");
    EXPECT_TRUE(c.includeFiles && c.includeFolders);
    EXPECT_FALSE(c.recursive || c.includeHidden);
    EXPECT_EQ(c.minLength, "0");
}

TEST_F(FavouriteFileTest, ValuesReadFromHandWrittenFiles) {
    put("[auto-number]\nbase=35\nmode=-2\n[Case]\nChange=3\n[Selections]\nFiles=2\n"
        "Folders=zero\nRecursive=-1\n[Regular Expressions]\nMatch=\"a\"b\"c\"\n"
        "Replace=" +
        std::string(300, 'r') + "\n");
    RenameCriteria c;
    ASSERT_TRUE(loadFavourite(file_, c, nullptr).ok());
    EXPECT_EQ(c.numberBase, -1); // outside the 35 lines: no choice
    EXPECT_EQ(c.numberMode, -1);
    EXPECT_EQ(c.caseMode, 3);
    EXPECT_TRUE(c.includeFiles);
    EXPECT_FALSE(c.includeFolders);
    EXPECT_TRUE(c.recursive);
    EXPECT_EQ(c.regexMatch, "abc");
    EXPECT_EQ(c.regexReplace, std::string(259, 'r'));
}

TEST_F(FavouriteFileTest, SaveKeepsForeignLinesAndDropsLineBreaks) {
    put("; mine\r\n[Selections]\r\nNote=hello\r\n\r\n[Extra]\r\nx=1\r\n");
    RenameCriteria c;
    c.regexMatch = "a\"q\"b";
    c.prefix = "p\n[Selections]\nRecursive=1";
    ASSERT_TRUE(saveFavourite(file_, c, "").ok());
    const std::string text = get();
    EXPECT_EQ(text.rfind("; mine\r\n[Selections]\r\nNote=hello\r\nFilter=\"*\"\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\n\r\n[Extra]\r\nx=1\r\n"), std::string::npos);
    RenameCriteria loaded;
    ASSERT_TRUE(loadFavourite(file_, loaded, nullptr).ok());
    EXPECT_EQ(loaded.regexMatch, "aqb"); // double quotes do not survive the format
    EXPECT_EQ(loaded.prefix, "p [Selections] Recursive=1");
    EXPECT_FALSE(loaded.recursive);
}

// Whichever step of a save fails, the file holds its old text or the new one
// in full, and a failure names the file and the system's text.
TEST_F(FavouriteFileTest, EveryFailureOfASaveLeavesTheOldFile) {
    using Op = MemoryFileSystem::Operation;
    const std::string old = "; mine\n[Case]\nChange=1\n";
    RenameCriteria c;
    c.caseMode = 2;
    for (int op = 0; op < static_cast<int>(Op::Count); ++op) {
        for (const int error : {EACCES, EIO, ENOSPC}) {
            MemoryFileSystem fs;
            fs.addFile(file_, old);
            fs.failNthCall(static_cast<Op>(op), 1, error);
            const Result r = vantrel::saveFavourite(fs, file_, c, "/p");
            if (r.ok()) {
                EXPECT_NE(fs.content(file_).find("Change=2\n"), std::string::npos) << op;
                EXPECT_TRUE(fs.content(file_).starts_with("; mine\n")) << op;
                continue;
            }
            EXPECT_EQ(fs.content(file_), old) << op;
            EXPECT_EQ(r.error().code, error) << op;
            EXPECT_NE(r.error().text().find(file_), std::string::npos) << r.error().text();
            EXPECT_EQ(fs.snapshot().size(), 3u) << "no file left behind";
        }
    }
    // A file that cannot be read is never replaced by what little was seen of it.
    put(old);
    fs_.failPath(Op::ReadFile, file_, EACCES);
    EXPECT_FALSE(saveFavourite(file_, c, "/p").ok());
    EXPECT_EQ(get(), old);
    RenameCriteria loaded = c;
    EXPECT_EQ(loadFavourite(file_, loaded, nullptr).error().code, EACCES);
    EXPECT_EQ(loaded.caseMode, 0) << "defaults, as for a missing file";
    // A missing folder: nothing is made.
    EXPECT_EQ(saveFavourite("/home/none/job.vtl", c, "").error().code, ENOENT);
    EXPECT_FALSE(fs_.exists("/home/none"));
}

TEST(FavouriteSetting, ReadsLikeAFileLine) {
    RenameCriteria c;
    std::string folder;
    using S = FavouriteSetting;
    EXPECT_EQ(applyFavouriteSetting(c, "Folder Name", "Separator", "\" - \"", &folder), S::Applied);
    EXPECT_EQ(c.folderNameSeparator, " - ");
    EXPECT_EQ(applyFavouriteSetting(c, "folder name", " SEPARATOR ", "  x y  ", &folder),
              S::Applied);
    EXPECT_EQ(c.folderNameSeparator, "x y");
    EXPECT_EQ(applyFavouriteSetting(c, "Auto-Number", "Base", "99", &folder), S::Applied);
    EXPECT_EQ(c.numberBase, -1);
    EXPECT_EQ(applyFavouriteSetting(c, "Selections", "Folders", "0", &folder), S::Applied);
    EXPECT_FALSE(c.includeFolders);
    EXPECT_EQ(applyFavouriteSetting(c, "General", "Path", "'/srv'", &folder), S::Applied);
    EXPECT_EQ(folder, "/srv");
    EXPECT_EQ(applyFavouriteSetting(c, "Nowhere", "Path", "1", &folder), S::UnknownSection);
    // The Replace panel's Match Case is not a favourites key.
    EXPECT_EQ(applyFavouriteSetting(c, "Replacements", "Match Case", "1", &folder), S::UnknownKey);
    EXPECT_FALSE(c.replaceMatchCase);
}

} // namespace
} // namespace vantrel
