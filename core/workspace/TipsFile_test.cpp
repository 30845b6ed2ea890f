#include "workspace/TipsFile.h"

#include "platform/TimeZone_test.h"
#include "testsupport/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

namespace vantrel {
namespace {

/// The next `count` tips of `file`.
std::vector<std::string> walk(TipsFile& file, int count) {
    std::vector<std::string> tips;
    for (int i = 0; i < count; ++i)
        tips.push_back(file.next());
    return tips;
}

TEST(TipsFile, SkipsCommentsBlankAndIndentedLinesAndWrapsAround) {
    TipsFile file("; a comment\n\nA tip\n an indented line\n\tand a tabbed one\nB tip\n", "t");
    EXPECT_EQ(walk(file, 3), (std::vector<std::string>{"A tip\n", "B tip\n", "A tip\n"}));
    // The position is the byte after the last piece read.
    EXPECT_EQ(file.position(), 19);
}

TEST(TipsFile, ReadsCrLfFilesAndALastLineWithoutLineFeed) {
    TipsFile file("A\r\n\r\n;c\r\nB", "t");
    EXPECT_EQ(walk(file, 3), (std::vector<std::string>{"A\r\n", "B", "A\r\n"}));
}

TEST(TipsFile, LongLinesComeInPiecesEachJudgedByItsFirstByte) {
    const std::string x(kTipPieceBytes, 'x');
    // A 2,500-byte line gives pieces of 999, 999 and 502 bytes (the line
    // feed included); a piece that begins with ";" is passed over.
    TipsFile file(std::string(2500, 'y') + "\n" + x + ";rest of a long line\nB\n", "t");
    const std::vector<std::string> tips = walk(file, 5);
    EXPECT_EQ(tips[0], std::string(999, 'y'));
    EXPECT_EQ(tips[1], std::string(999, 'y'));
    EXPECT_EQ(tips[2], std::string(502, 'y') + "\n");
    EXPECT_EQ(tips[3], x);
    EXPECT_EQ(tips[4], "B\n");
}

TEST(TipsFile, AFileWithoutTipsGivesAnEmptyTipAfterOnePass) {
    for (const char* text : {"", "; only a comment\n\n  \n", "\n"}) {
        TipsFile file(text, "t");
        EXPECT_EQ(file.next(), "") << text;
        EXPECT_EQ(file.position(), 0) << text;
        // Also when reading begins part way through.
        EXPECT_EQ(file.start(1, "t"), TipStart::Resumed);
        EXPECT_EQ(file.next(), "") << text;
    }
}

TEST(TipsFile, StartTakesUpTheStoredPositionOnlyForTheSameFile) {
    const std::string text = "A\nB\nC\n";
    struct Case {
        std::int64_t position;
        const char* stamp;
        TipStart start;
        const char* tip;
    };
    for (const Case& c :
         {Case{2, "t", TipStart::Resumed, "B\n"},
          Case{6, "t", TipStart::Resumed, "A\n"},   // at the end: wraps
          Case{900, "t", TipStart::Resumed, "A\n"}, // beyond it (a longer file)
          Case{1, "t", TipStart::Resumed, "B\n"},   // mid-line: "\n" skipped
          Case{4, "another", TipStart::Restarted, "A\n"}, Case{4, "", TipStart::Restarted, "A\n"},
          Case{-5, "t", TipStart::Unreachable, "A\n"}}) {
        TipsFile file(text, "t");
        EXPECT_EQ(file.start(c.position, c.stamp), c.start) << c.position << c.stamp;
        EXPECT_EQ(file.position(), c.start == TipStart::Resumed ? c.position : 0);
        EXPECT_EQ(file.next(), c.tip) << c.position << c.stamp;
    }
}

TEST(TipsFile, TimeStampIsTheLaterFileTimeInCtimeLayout) {
    test::TimeZone zone("UTC");
    for (const std::int64_t seconds : {std::int64_t{1078671845}, std::int64_t{0},
                                       std::int64_t{951782400}, std::int64_t{4102444799}}) {
        const auto time = static_cast<std::time_t>(seconds);
        char expected[32];
        ASSERT_NE(::ctime_r(&time, expected), nullptr);
        FileAttributes attributes;
        attributes.modified.seconds = seconds;
        EXPECT_EQ(tipsTimeStamp(attributes) + "\n", expected);
        // A creation time after the modification time counts, as does the
        // other way round.
        attributes.created.seconds = seconds;
        attributes.modified.seconds = seconds - 3600;
        EXPECT_EQ(tipsTimeStamp(attributes) + "\n", expected);
    }
    FileAttributes march;
    march.modified.seconds = 1078671845;
    EXPECT_EQ(tipsTimeStamp(march), "Sun Mar  7 15:04:05 2004");
}

TEST(TipsFile, OpensThroughTheFileSystemAndRestartsWhenTheFileIsReplaced) {
    test::TimeZone zone("UTC");
    MemoryFileSystem fs;
    std::optional<TipsFile> file;
    EXPECT_FALSE(TipsFile::open(fs, "/app/Tips.txt", file).ok());
    EXPECT_FALSE(file.has_value());

    fs.addFile("/app/Tips.txt", "A\nB\nC\n", FileTime{1078671845, 0});
    ASSERT_TRUE(TipsFile::open(fs, "/app/Tips.txt", file).ok());
    EXPECT_EQ(file->timeStamp(), "Sun Mar  7 15:04:05 2004");
    EXPECT_EQ(file->start(0, ""), TipStart::Restarted);
    EXPECT_EQ(walk(*file, 2), (std::vector<std::string>{"A\n", "B\n"}));
    const std::int64_t stored = file->position();
    const std::string stamp = file->timeStamp();

    // The next showing goes on after the last tip shown.
    ASSERT_TRUE(TipsFile::open(fs, "/app/Tips.txt", file).ok());
    EXPECT_EQ(file->start(stored, stamp), TipStart::Resumed);
    EXPECT_EQ(file->next(), "C\n");

    // A replaced file has another time stamp: its first tip comes first.
    fs.addFile("/app/Tips.txt", "X\nY\nZ\n", FileTime{1078671846, 0});
    ASSERT_TRUE(TipsFile::open(fs, "/app/Tips.txt", file).ok());
    EXPECT_EQ(file->start(stored, stamp), TipStart::Restarted);
    EXPECT_EQ(file->next(), "X\n");
}

} // namespace
} // namespace vantrel
