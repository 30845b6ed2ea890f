#include "filelist/JpegHeaderReader.h"

#include "filelist/JpegBuilder_test.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace vantrel {
namespace {

using test::asciiAt;
using test::ExifEntry;
using test::exifWithDate;
using test::JpegFile;
using test::TiffBlock;

const std::string kJfif("JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00", 14);
const std::string kTable(65, '\x10');
constexpr const char* kDate = "2005:07:14 10:22:33";
constexpr DateTime kTaken{2005, 7, 0, 14, 10, 22, 33, 0};

std::string show(const DateTime& d) {
    char text[64];
    std::snprintf(text, sizeof text, "%u-%u-%u %u:%u:%u dow %u ms %u", d.year, d.month, d.day,
                  d.hour, d.minute, d.second, d.dayOfWeek, d.milliseconds);
    return text;
}

struct Outcome {
    bool ok;
    DateTime date;
    std::string error;
};

Outcome readBytes(const std::string& bytes) {
    MemoryByteStream in(bytes);
    JpegHeaderReader reader;
    const bool ok = reader.read(in);
    return {ok, reader.date(), reader.errorText()};
}

std::string withExif(const std::string& app1Body) {
    return JpegFile()
        .section(0xE0, kJfif)
        .section(0xE1, app1Body)
        .section(0xDB, kTable)
        .scan()
        .bytes();
}

// EXIF blocks in a well-formed file: the walk always succeeds, the block gives
// a date or not and may leave a diagnosis.
struct ExifCase {
    const char* name;
    std::string body;
    DateTime date;
    std::string error;
};

std::string withHeaderByte(std::size_t pos, char byte) {
    std::string body = exifWithDate(false, kDate);
    body[pos] = byte;
    return body;
}

std::vector<ExifCase> exifCases() {
    constexpr std::uint32_t sub = 8 + TiffBlock::directorySize(1);
    const std::string other = "1999:12:31 23:59:58";
    const ExifEntry toSub{0x8769, 4, 1, sub};
    std::vector<ExifCase> cases = {
        {"LittleEndian", exifWithDate(false, kDate), kTaken, ""},
        {"BigEndian", exifWithDate(true, kDate), kTaken, ""},
        {"OnlyMainDateTime",
         TiffBlock(true).directory(8, {asciiAt(0x0132, kDate, sub)}).text(sub, kDate).exifBody(),
         {},
         ""},
        {"OneDigitMonthReadByPosition",
         exifWithDate(false, "2005:7:14 10:22:33"),
         {2005, 7, 0, 4, 0, 2, 3, 0},
         ""},
        {"ShortText", exifWithDate(true, "2005:07:14"), {2005, 7, 0, 14, 0, 0, 0, 0}, ""},
        {"ZeroByteEndsText",
         TiffBlock(false)
             .directory(8, {{0x9003, 2, 19, sub}})
             .bytes(sub, std::string("2005:07:14\0"
                                     "10:22:33",
                                     19))
             .exifBody(),
         {2005, 7, 0, 14, 0, 0, 0, 0},
         ""},
        {"CountLimitsText",
         TiffBlock(false).directory(8, {{0x9003, 2, 7, sub}}).text(sub, kDate).exifBody(),
         {2005, 7, 0, 0, 0, 0, 0, 0},
         ""},
        {"FirstOffset16ReadAt8", exifWithDate(false, kDate).replace(10, 1, 1, '\x10'), kTaken, ""},
        {"FirstOffset20",
         exifWithDate(false, kDate).replace(10, 1, 1, '\x14'),
         {},
         "Suspicious offset of first IFD value"},
        {"TooShortHeader", std::string("Exif\0\0II*\0\x08\0\0", 13), {}, "Incorrect Exif header"},
        {"NotExifZeroZero", withHeaderByte(5, 'x'), {}, "Incorrect Exif header"},
        {"BadByteOrder", withHeaderByte(7, 'M'), {}, "Invalid Exif alignment marker."},
        {"Not42", withHeaderByte(8, 43), {}, "Invalid Exif start (1)"},
        {"HeaderOnly", std::string("Exif\0\0II*\0\x08\0\0\0", 14), {}, "Illegally sized directory"},
        {"DirectoryBeyondData",
         exifWithDate(false, kDate).replace(6 + 8, 2, "\xFF\x7F"),
         {},
         "Illegally sized directory"},
        {"IllegalFormatStopsDirectory",
         TiffBlock(false)
             .directory(8, {{0x0100, 13, 1, 0}, asciiAt(0x9003, kDate, 100)})
             .text(100, kDate)
             .exifBody(),
         {},
         "Illegal format code in EXIF dir"},
        // 0xFFFFFFF0 + 0x20 and 0x20000001 * 8 both wrap to small numbers in 32 bits.
        {"ValueOffsetPlusCountOverflows",
         TiffBlock(false).directory(8, {{0x9003, 2, 0x20, 0xFFFFFFF0}}).exifBody(),
         {},
         "Illegal pointer offset value in EXIF."},
        {"ByteCountOverflows",
         TiffBlock(true)
             .directory(8, {{0x829A, 5, 0x20000001, 8}, asciiAt(0x9003, kDate, 100)})
             .text(100, kDate)
             .exifBody(),
         {},
         "Illegal pointer offset value in EXIF."},
        {"SubLinkOutsideKeepsEarlierEntries",
         TiffBlock(false)
             .directory(8, {toSub})
             .directory(
                 sub,
                 {asciiAt(0x9003, kDate, 100), {0xA005, 4, 1, 60000}, asciiAt(0x9003, other, 120)})
             .text(100, kDate)
             .text(120, other)
             .exifBody(),
         kTaken, "Illegal subdirectory link"},
        {"LaterDateOverwrites",
         TiffBlock(true)
             .directory(8, {asciiAt(0x9003, other, 100), {0x8769, 4, 1, 8 + 30}})
             .directory(8 + 30, {asciiAt(0x9003, kDate, 120)})
             .text(100, other)
             .text(120, kDate)
             .exifBody(),
         kTaken, ""},
        {"RotationOutOfRangeIsOnlyNoted",
         TiffBlock(true)
             .directory(8, {{0x0112, 3, 1, 9}, {0x8769, 4, 1, 8 + 30}})
             .directory(8 + 30, {asciiAt(0x9003, kDate, 100)})
             .text(100, kDate)
             .exifBody(),
         kTaken, "Undefined rotation value"},
        {"ThumbnailDirectoryFollowed",
         TiffBlock(false)
             .directory(8, {}, 20)
             .directory(20, {asciiAt(0x9003, kDate, 60)})
             .text(60, kDate)
             .exifBody(),
         kTaken, ""},
        {"DateBeforeFailureKept",
         TiffBlock(false)
             .directory(8, {toSub})
             .directory(sub, {asciiAt(0x9003, kDate, 100), {0x0100, 99, 1, 0}})
             .text(100, kDate)
             .exifBody(),
         kTaken, "Illegal format code in EXIF dir"},
    };
    return cases;
}

void PrintTo(const ExifCase& c, std::ostream* os) {
    *os << c.name;
}

class JpegExif : public ::testing::TestWithParam<ExifCase> {};

TEST_P(JpegExif, GivesDateAndDiagnosis) {
    const ExifCase& c = GetParam();
    const Outcome out = readBytes(withExif(c.body));
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(show(out.date), show(c.date));
    EXPECT_EQ(out.error, c.error);
}

INSTANTIATE_TEST_SUITE_P(JpegBlocks, JpegExif, ::testing::ValuesIn(exifCases()),
                         [](const auto& param) { return std::string(param.param.name); });

// Links that lead back into directories already read must end, and the date
// found on the way must survive.
TEST(JpegExifLoops, EndWithTheDate) {
    constexpr std::uint32_t a = 40, b = 80, text = 120;
    const std::string loopText = "EXIF directory link leads back to a directory already read";
    const std::vector<std::string> bodies = {
        // main directory links to itself, then to the EXIF directory
        TiffBlock(false)
            .directory(8, {{0x8769, 4, 1, 8}, {0x8769, 4, 1, a}})
            .directory(a, {asciiAt(0x9003, kDate, text)})
            .text(text, kDate)
            .exifBody(),
        // two sub-directories linking to each other
        TiffBlock(true)
            .directory(8, {{0x8769, 4, 1, a}})
            .directory(a, {{0xA005, 4, 1, b}, asciiAt(0x9003, kDate, text)})
            .directory(b, {{0xA005, 4, 1, a}})
            .text(text, kDate)
            .exifBody(),
        // next-directory link to itself
        TiffBlock(false)
            .directory(8, {{0x8769, 4, 1, a}}, 8)
            .directory(a, {asciiAt(0x9003, kDate, text)}, a)
            .text(text, kDate)
            .exifBody(),
    };
    for (const std::string& body : bodies) {
        const Outcome out = readBytes(withExif(body));
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(show(out.date), show(kTaken));
        EXPECT_EQ(out.error, loopText);
    }
}

// A chain of thousands of distinct directories must not nest without limit.
TEST(JpegExifLoops, LongChainStopsNesting) {
    TiffBlock block(false);
    block.directory(8, {asciiAt(0x9003, kDate, 60000)}, 8 + 18).text(60000, kDate);
    for (std::uint32_t at = 8 + 18; at + 12 < 60000; at += 6)
        block.directory(at, {}, at + 6);
    const Outcome out = readBytes(withExif(block.exifBody()));
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(show(out.date), show(kTaken));
    EXPECT_EQ(out.error, "EXIF directories nested too deeply");
}

// The section walk: which files it accepts and what it says when it refuses.
struct WalkCase {
    const char* name;
    std::string bytes;
    bool ok;
    std::string error;
};

// `kept` table sections among `app0` APP0, `otherApp1` non-EXIF APP1 and
// `comments` comment sections, then the start of scan.
std::string sections(int kept, int app0, int otherApp1, int comments) {
    JpegFile file;
    for (int i = 0; i < app0; ++i)
        file.section(0xE0, kJfif);
    for (int i = 0; i < otherApp1; ++i)
        file.section(0xE1, "http://ns.adobe.com/xap/1.0/");
    for (int i = 0; i < comments; ++i)
        file.section(0xFE, "a comment");
    for (int i = 0; i < kept; ++i)
        file.section(0xDB, kTable);
    return file.scan().bytes();
}

std::vector<WalkCase> walkCases() {
    const std::string plain = JpegFile().section(0xE0, kJfif).section(0xDB, kTable).scan().bytes();
    const std::string tooMany = "Too many sections in jpg file";
    return {
        {"NoExif", plain, true, ""},
        {"NotJpeg", "GIF89a\x01\x00", false, ""},
        {"Empty", "", false, ""},
        {"EndsAfterStartOfImage", "\xFF\xD8", false, "invalid marker"},
        {"EndsInsideLength", std::string("\xFF\xD8\xFF\xDB\x00", 5), false, "invalid marker"},
        {"LengthBelowTwo", std::string("\xFF\xD8\xFF\xDB\x00\x01", 6), false, "invalid marker"},
        {"CutInsideTable", plain.substr(0, 2 + 18 + 40), false, "Premature end of file?"},
        {"SixPaddingBytes",
         JpegFile().raw("\xFF\xFF\xFF\xFF\xFF").section(0xDB, kTable).scan().bytes(), true, ""},
        {"SevenPaddingBytes",
         JpegFile().raw("\xFF\xFF\xFF\xFF\xFF\xFF").section(0xDB, kTable).scan().bytes(), false,
         "too many padding unsigned chars"},
        {"MarkerWithoutPadding", JpegFile().raw(std::string("\xDB\x00\x03x", 4)).scan().bytes(),
         true, ""},
        {"EndOfImageWithLength", std::string("\xFF\xD8\xFF\xD9\x00\x02", 6), false,
         "No image in jpeg!"},
        {"EndOfImageAtEnd", "\xFF\xD8\xFF\xD9", false, "invalid marker"},
        {"NineteenKeptSections", sections(19, 0, 0, 0), true, ""},
        {"TwentyKeptSections", sections(20, 0, 0, 0), false, tooMany},
        {"TwentyOneKeptSections", sections(21, 0, 0, 0), false, tooMany},
        {"DroppedSectionsDoNotCount", sections(18, 40, 10, 5), true, ""},
        {"FirstCommentCounts", sections(19, 0, 0, 2), false, tooMany},
        {"ExifSectionCounts",
         JpegFile()
             .section(0xE1, exifWithDate(false, kDate))
             .raw(sections(19, 0, 0, 0).substr(2))
             .bytes(),
         false, tooMany},
    };
}

void PrintTo(const WalkCase& c, std::ostream* os) {
    *os << c.name;
}

class JpegWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(JpegWalk, AcceptsOrRefuses) {
    const WalkCase& c = GetParam();
    testing::internal::CaptureStdout();
    const Outcome out = readBytes(c.bytes);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ""); // diagnosis stays inside the reader
    EXPECT_EQ(out.ok, c.ok);
    EXPECT_EQ(out.error, c.error);
}

INSTANTIATE_TEST_SUITE_P(JpegFiles, JpegWalk, ::testing::ValuesIn(walkCases()),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(JpegHeader, StopsAtStartOfScan) {
    const std::string image("\x11\x22\x33\xFF\x00\x44", 6);
    const std::string bytes =
        JpegFile().section(0xE1, exifWithDate(true, kDate)).scan(image).bytes();
    MemoryByteStream in(bytes);
    DateTime date{1, 1, 1, 1, 1, 1, 1, 1};
    ASSERT_TRUE(readJpegHeader(in, date));
    EXPECT_EQ(show(date), show(kTaken));
    std::string rest(64, '\0');
    rest.resize(in.read(rest.data(), rest.size()));
    EXPECT_EQ(rest, image + "\xFF\xD9");
}

TEST(JpegHeader, FalseGivesNoDate) {
    const std::string bytes = withExif(exifWithDate(false, kDate));
    MemoryByteStream in(
        std::string_view(bytes).substr(0, bytes.size() - 8)); // cut in the scan header
    DateTime date = kTaken;
    EXPECT_FALSE(readJpegHeader(in, date));
    EXPECT_TRUE(date.isZero());
}

} // namespace
} // namespace vantrel
