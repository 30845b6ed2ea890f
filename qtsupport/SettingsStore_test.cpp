#include "SettingsStore.h"

#include "platform/TempDir_test.h"

#include <QString>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace vantrel::qtsupport {
namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsStore open() const {
        return SettingsStore(
            std::make_unique<QSettings>(QString::fromStdString(file_), QSettings::IniFormat));
    }
    void put(const std::string& text) const { std::ofstream(file_) << text; }
    std::string get() const {
        std::ostringstream out;
        out << std::ifstream(file_).rdbuf();
        return out.str();
    }
    test::TempDir temp_{"vantrel-settings"};
    std::string file_ = temp_.file("vantrel.conf");
};

TEST_F(SettingsStoreTest, FirstRunGivesTheDefaults) {
    Preferences loaded;
    loaded.displayIcons = 5; // the record's value stands for a missing key
    open().loadPreferences(loaded);
    Preferences expected;
    expected.displayIcons = 5;
    EXPECT_EQ(loaded, expected);
}

TEST_F(SettingsStoreTest, PreferencesRoundTripUnderTheirOwnKeys) {
    Preferences saved;
    saved.favouritePath = "/home/u/My Favourites/a,b.vtl";
    saved.autoSaveFavouriteOnExit = 1;
    saved.displayIcons = 0;
    saved.overwriteTargetFiles = 7; // any value but 0 is on, and kept as it is
    saved.colourNewNameOk = 0x00FFEEDD;
    saved.sortColumn = 12;
    saved.sortDirection = 0;
    {
        SettingsStore store = open();
        store.savePreferences(saved);
        store.sync();
    }
    Preferences loaded;
    open().loadPreferences(loaded);
    EXPECT_EQ(loaded, saved);
    const std::string text = get();
    EXPECT_NE(text.find("[Preferences]"), std::string::npos) << text;
    EXPECT_EQ(open().readInt("Preferences", "Overwrite Target Files", 0), 7);
    EXPECT_EQ(open().readInt("Preferences", "Colour New Name OK", 0), 0x00FFEEDD);
}

TEST_F(SettingsStoreTest, TextsSurviveAsTheyAre) {
    const std::string texts[] = {"10,20,300,400,1,0", "  blanks  ",
                                 "quote \" and ;=", "bad \xFF\xFE bytes", ""};
    {
        SettingsStore store = open();
        int n = 0;
        for (const std::string& t : texts)
            store.writeText("Main Window", "K" + std::to_string(n++), t);
        store.sync();
    }
    SettingsStore store = open();
    int n = 0;
    for (const std::string& t : texts)
        EXPECT_EQ(store.readText("Main Window", "K" + std::to_string(n++)), t);
    EXPECT_EQ(store.readText("Main Window", "missing"), std::nullopt);
}

TEST_F(SettingsStoreTest, HandEditedValues) {
    put("[Main%20Window]\nWindowPlacement=1,2,3,4,5,6\nSplitter%20Left=abc\n"
        "Col%20Name= 42 \n");
    SettingsStore store = open();
    EXPECT_EQ(store.readText("Main Window", "WindowPlacement"), "1,2,3,4,5,6");
    EXPECT_EQ(store.readInt("Main Window", "Splitter Left", -1), -1);
    EXPECT_EQ(store.readInt("Main Window", "Col Name", 160), 42);
}

} // namespace
} // namespace vantrel::qtsupport
