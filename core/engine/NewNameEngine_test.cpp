#include "engine/NewNameEngine.h"

#include <cctype>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

namespace vantrel {
namespace {

struct PipelineCase {
    const char* label;
    std::function<void(RenameCriteria&)> set;
    std::string name;
    std::string expected;
    bool isFolder = false;
    bool ignoreFolderExtensions = false;
    std::string number = "7";
    std::string folder = "Holiday";
};

DateTime march7() {
    DateTime d;
    d.year = 2004;
    d.month = 3;
    d.day = 7;
    d.hour = 15;
    d.minute = 4;
    d.second = 5;
    return d;
}

std::string run(const PipelineCase& pc) {
    RenameCriteria c;
    pc.set(c);
    NewNameEngine engine(c, pc.ignoreFolderExtensions);
    NameInputs in;
    in.name = pc.name;
    in.date = march7();
    in.numberText = pc.number;
    in.parentFolderName = pc.folder;
    in.isFolder = pc.isFolder;
    return engine.computeNewName(in);
}

void PrintTo(const PipelineCase& pc, std::ostream* os) {
    *os << pc.label;
}

class Pipeline : public ::testing::TestWithParam<PipelineCase> {};

/// The case's label as a test name: letters and digits, words joined by "_".
std::string caseName(const ::testing::TestParamInfo<PipelineCase>& info) {
    std::string name;
    for (const char c : std::string_view(info.param.label))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name + "_" + std::to_string(info.index);
}

TEST_P(Pipeline, ProducesExpectedName) {
    const PipelineCase& pc = GetParam();
    EXPECT_EQ(run(pc), pc.expected) << pc.label;
}

const auto kRegex =
    ::testing::Values(PipelineCase{"groups swap",
                                   [](auto& c) {
                                       c.regexMatch = R"((.*)-(.*)\.jpg)";
                                       c.regexReplace = R"(\2 \1)";
                                   },
                                   "2004-holiday.jpg", "holiday 2004.jpg"},
                      PipelineCase{"whole base replaced",
                                   [](auto& c) {
                                       c.regexMatch = R"((\d+))";
                                       c.regexReplace = R"(No \1)";
                                   },
                                   "track 07 final.mp3", "No 07.mp3"},
                      PipelineCase{"match in extension",
                                   [](auto& c) {
                                       c.regexMatch = "mp3";
                                       c.regexReplace = "x";
                                   },
                                   "song.mp3", "x.mp3"},
                      PipelineCase{"unset group stays",
                                   [](auto& c) {
                                       c.regexMatch = "(a)(b)?";
                                       c.regexReplace = R"(\1\2)";
                                   },
                                   "a.txt", R"(a\2.txt)"},
                      PipelineCase{"no match leaves base",
                                   [](auto& c) {
                                       c.regexMatch = "zzz";
                                       c.regexReplace = "x";
                                   },
                                   "song.mp3", "song.mp3"},
                      PipelineCase{"empty pattern matches all",
                                   [](auto& c) { c.regexReplace = "x"; }, "song.mp3", "x.mp3"},
                      PipelineCase{"invalid pattern inactive",
                                   [](auto& c) {
                                       c.regexMatch = "(";
                                       c.regexReplace = "x";
                                   },
                                   "song.mp3", "song.mp3"},
                      PipelineCase{"backslash zero kept",
                                   [](auto& c) {
                                       c.regexMatch = "(s)";
                                       c.regexReplace = R"(\0\12)";
                                   },
                                   "song.mp3", R"(\0s2.mp3)"},
                      PipelineCase{"caseless when box clear",
                                   [](auto& c) {
                                       c.regexMatch = "SONG";
                                       c.regexReplace = "x";
                                   },
                                   "song.mp3", "x.mp3"},
                      PipelineCase{"exact case when box set",
                                   [](auto& c) {
                                       c.regexMatch = "SONG";
                                       c.regexReplace = "x";
                                       c.regexMatchCase = true;
                                   },
                                   "song.mp3", "song.mp3"},
                      PipelineCase{"more than nine groups gives 0: no references",
                                   [](auto& c) {
                                       c.regexMatch = "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)";
                                       c.regexReplace = R"(\1-)";
                                   },
                                   "abcdefghij.txt", R"(\1-.txt)"},
                      PipelineCase{"multi-byte group",
                                   [](auto& c) {
                                       c.regexMatch = "(é+)";
                                       c.regexReplace = R"([\1])";
                                   },
                                   "caféé.txt", "[éé].txt"},
                      PipelineCase{"invalid UTF-8 name matched bytewise",
                                   [](auto& c) {
                                       c.regexMatch = "^(.)x";
                                       c.regexReplace = R"(\1\1)";
                                   },
                                   "\xFFx.txt", "\xFF\xFF.txt"},
                      PipelineCase{"caseless non-ASCII",
                                   [](auto& c) {
                                       c.regexMatch = "ÉTÉ";
                                       c.regexReplace = "summer";
                                   },
                                   "été.jpg", "summer.jpg"});
INSTANTIATE_TEST_SUITE_P(RegExpr, Pipeline, kRegex, caseName);

const auto kFilenameReplaceCase = ::testing::Values(
    PipelineCase{"remove", [](auto& c) { c.filenameMode = 1; }, "report.txt", ".txt"},
    PipelineCase{"remove without extension", [](auto& c) { c.filenameMode = 1; }, "README", ""},
    PipelineCase{"fixed overrules regex",
                 [](auto& c) {
                     c.regexReplace = "r";
                     c.filenameMode = 2;
                     c.fixedName = "12";
                 },
                 "a.txt", "12.txt"},
    PipelineCase{"replace grows",
                 [](auto& c) {
                     c.replaceText = "a";
                     c.replaceWith = "aa";
                 },
                 "aaa", "aaaaaa"},
    PipelineCase{"replace ignoring case",
                 [](auto& c) {
                     c.replaceText = "photo";
                     c.replaceWith = "pic";
                 },
                 "Photo PHOTO photo.jpg", "pic pic pic.jpg"},
    PipelineCase{"replace exact case",
                 [](auto& c) {
                     c.replaceText = "photo";
                     c.replaceWith = "pic";
                     c.replaceMatchCase = true;
                 },
                 "Photo PHOTO photo.jpg", "Photo PHOTO pic.jpg"},
    PipelineCase{"replace on empty base",
                 [](auto& c) {
                     c.filenameMode = 1;
                     c.replaceText = "a";
                     c.replaceWith = "b";
                 },
                 "a.txt", ".txt"},
    PipelineCase{"replace multi-byte ignoring case",
                 [](auto& c) {
                     c.replaceText = "É";
                     c.replaceWith = "e";
                 },
                 "café.txt", "cafe.txt"},
    PipelineCase{"replace spares invalid byte",
                 [](auto& c) {
                     c.replaceText = "\xC3";
                     c.replaceWith = "?";
                 },
                 "caf\xC3\xA9\xC3.txt", "caf\xC3\xA9?.txt"},
    PipelineCase{"upper", [](auto& c) { c.caseMode = 2; }, "report.txt", "REPORT.txt"},
    PipelineCase{"lower multi-byte", [](auto& c) { c.caseMode = 1; }, "ÉTÉ.JPG", "été.JPG"},
    PipelineCase{"title", [](auto& c) { c.caseMode = 3; }, "o'neil mcdonald-smith",
                 "O'neil Mcdonald-smith"},
    PipelineCase{"title brackets", [](auto& c) { c.caseMode = 3; }, "rock[live]band",
                 "Rock[Live]band"},
    PipelineCase{"title dots are in base", [](auto& c) { c.caseMode = 3; }, "a.b.c", "A.B.c"},
    PipelineCase{"title single char", [](auto& c) { c.caseMode = 3; }, "x", "X"},
    PipelineCase{"title accents", [](auto& c) { c.caseMode = 3; }, "élan vital", "Élan Vital"},
    PipelineCase{"case keeps invalid bytes", [](auto& c) { c.caseMode = 2; },
                 "a\xFF"
                 "b",
                 "A\xFF"
                 "B"},
    PipelineCase{"folder upper, preference on", [](auto& c) { c.caseMode = 2; }, "Photos.2004",
                 "PHOTOS.2004", true, true},
    PipelineCase{"folder suffix, preference on", [](auto& c) { c.suffix = "_x"; }, "Photos.2004",
                 "Photos.2004_x", true, true},
    PipelineCase{"folder suffix, preference off", [](auto& c) { c.suffix = "_x"; }, "Photos.2004",
                 "Photos_x.2004", true, false},
    PipelineCase{"file ignores the folder preference", [](auto& c) { c.suffix = "_x"; }, "a.b",
                 "a_x.b", false, true});
INSTANTIATE_TEST_SUITE_P(FilenameReplaceCase, Pipeline, kFilenameReplaceCase, caseName);

const auto kRemovalsAdditions = ::testing::Values(
    PipelineCase{"first n empties", [](auto& c) { c.removeFirstN = "3"; }, "abc.txt", ".txt"},
    PipelineCase{"last n at length empties", [](auto& c) { c.removeLastN = "3"; }, "abc.txt", ".txt"},
    PipelineCase{"last n", [](auto& c) { c.removeLastN = "2"; }, "abcd.txt", "ab.txt"},
    PipelineCase{"from-to", [](auto& c) { c.removeFrom = "2"; c.removeTo = "4"; }, "abcdef", "aef"},
    PipelineCase{"from-to past end", [](auto& c) { c.removeFrom = "2"; c.removeTo = "99"; }, "abcdef", "a"},
    PipelineCase{"from past end", [](auto& c) { c.removeFrom = "7"; c.removeTo = "9"; }, "abcdef", "abcdef"},
    PipelineCase{"to zero disables", [](auto& c) { c.removeFrom = "2"; c.removeTo = "0"; }, "abcdef", "abcdef"},
    PipelineCase{"negative from counts from start", [](auto& c) { c.removeFrom = "-3"; c.removeTo = "2"; },
                 "abcdef", "cdef"},
    PipelineCase{"negative to removes nothing", [](auto& c) { c.removeFrom = "-3"; c.removeTo = "-1"; },
                 "abcdef", "abcdef"},
    PipelineCase{"first n then from-to", [](auto& c) { c.removeFirstN = "2"; c.removeFrom = "1"; c.removeTo = "1"; },
                 "abcdef", "def"},
    PipelineCase{"positions count characters", [](auto& c) { c.removeFirstN = "1"; c.removeLastN = "1"; },
                 "éaü.txt", "a.txt"},
    PipelineCase{"chars list", [](auto& c) { c.removeChars = "aeiou"; }, "education", "dctn"},
    PipelineCase{"chars list multi-byte", [](auto& c) { c.removeChars = "é"; }, "cafée.txt", "cafe.txt"},
    PipelineCase{"words everywhere", [](auto& c) { c.removeWords = "the big"; }, "thebigshow the big", "show  "},
    PipelineCase{"words one pass", [](auto& c) { c.removeWords = "ab"; }, "aabb", "ab"},
    PipelineCase{"digits and symbols", [](auto& c) { c.removeDigits = c.removeSymbols = true; },
                 "IMG_0042 (copy)", "IMG copy"},
    PipelineCase{"letters keep high", [](auto& c) { c.removeLetters = true; }, "Café 2004", "é 2004"},
    PipelineCase{"letters and high", [](auto& c) { c.removeLetters = c.removeHigh = true; }, "Café 2004", " 2004"},
    PipelineCase{"high removes invalid bytes", [](auto& c) { c.removeHigh = true; }, "a\xFF" "b£", "ab"},
    PipelineCase{"symbols include pound, not sign, broken bar", [](auto& c) { c.removeSymbols = true; },
                 "a£¬¦\"b", "a\"b"},
    PipelineCase{"removals spare the extension dot", [](auto& c) { c.removeSymbols = true; }, "a.b.c", "ab.c"},
    PipelineCase{"prefix insert suffix",
                 [](auto& c) { c.prefix = "A"; c.insertText = "-"; c.insertPos = "2"; c.suffix = "Z"; },
                 "bc.txt", "A-bcZ.txt"},
    PipelineCase{"insert past end appends", [](auto& c) { c.insertText = "-"; c.insertPos = "50"; }, "abc", "abc-"},
    PipelineCase{"insert at 0 is off", [](auto& c) { c.insertText = "-"; c.insertPos = ""; }, "abc", "abc"},
    PipelineCase{"insert counts characters", [](auto& c) { c.insertText = "-"; c.insertPos = "3"; }, "éèê", "éè-ê"},
    PipelineCase{"folder suffix", [](auto& c) { c.folderNameMode = 2; c.folderNameSeparator = " - "; },
                 "img1.jpg", "img1 - Holiday.jpg"},
    PipelineCase{"folder prefix in root", [](auto& c) { c.folderNameMode = 1; c.folderNameSeparator = "_"; },
                 "photo.jpg", "_photo.jpg", false, false, "7", ""});
INSTANTIATE_TEST_SUITE_P(RemovalsAdditions, Pipeline, kRemovalsAdditions, caseName);

const auto
    kDateNumberExtension = ::testing::Values(PipelineCase{"date DMY suffix",
                                                          [](auto& c) {
                                                              c.dateMode = 2;
                                                              c.dateSegmentSeparator = "-";
                                                              c.dateSeparator = "_";
                                                          },
                                                          "img.jpg", "img_07-03-04.jpg"},
                                             PipelineCase{"date YMD HMS prefix century",
                                                          [](auto& c) {
                                                              c.dateMode = 1;
                                                              c.dateFormat = 8;
                                                              c.dateCentury = true;
                                                              c.dateSeparator = "_";
                                                          },
                                                          "img", "20040307150405_img"},
                                             PipelineCase{"date DMY HM dot segments",
                                                          [](auto& c) {
                                                              c.dateMode = 2;
                                                              c.dateFormat = 1;
                                                              c.dateSegmentSeparator = ".";
                                                          },
                                                          "img", "img07.03.04.15.04"},
                                             PipelineCase{"date custom ignores separator",
                                                          [](auto& c) {
                                                              c.dateMode = 2;
                                                              c.dateFormat = 9;
                                                              c.dateCustom = "%Y%m%d";
                                                              c.dateSeparator = "_";
                                                          },
                                                          "img", "img20040307"},
                                             PipelineCase{"date percent in segment",
                                                          [](auto& c) {
                                                              c.dateMode = 2;
                                                              c.dateFormat = 6;
                                                              c.dateSegmentSeparator = "%%";
                                                          },
                                                          "img", "img04%03%07"},
                                             PipelineCase{"date offset crosses days",
                                                          [](auto& c) {
                                                              c.dateMode = 2;
                                                              c.dateFormat = 8;
                                                              c.dateCentury = true;
                                                              c.dateOffsetHours = "-16";
                                                          },
                                                          "img", "img20040306230405"},
                                             PipelineCase{"date before number and folder",
                                                          [](auto& c) {
                                                              c.dateMode = 1;
                                                              c.dateFormat = 6;
                                                              c.dateCentury = true;
                                                              c.prefix = "p";
                                                              c.folderNameMode = 1;
                                                              c.numberMode = 2;
                                                          },
                                                          "x.jpg", "Holiday20040307px7.jpg"},
                                             PipelineCase{"number both",
                                                          [](auto& c) {
                                                              c.numberMode = 3;
                                                              c.numberSeparator = "-";
                                                          },
                                                          "x", "7-x-7"},
                                             PipelineCase{"number insert",
                                                          [](auto& c) {
                                                              c.numberMode = 4;
                                                              c.numberInsertPos = "2";
                                                              c.numberSeparator = "_";
                                                          },
                                                          "abcd", "ab_7_cd"},
                                             PipelineCase{"number insert at 0",
                                                          [](auto& c) {
                                                              c.numberMode = 4;
                                                              c.numberSeparator = "_";
                                                          },
                                                          "abcd", "_7_abcd"},
                                             PipelineCase{"number insert beyond",
                                                          [](auto& c) {
                                                              c.numberMode = 4;
                                                              c.numberInsertPos = "9";
                                                          },
                                                          "abcd", "abcd7"},
                                             PipelineCase{"number insert negative",
                                                          [](auto& c) {
                                                              c.numberMode = 4;
                                                              c.numberInsertPos = "-4";
                                                          },
                                                          "abcd", "7abcd"},
                                             PipelineCase{"ext lower",
                                                          [](auto& c) { c.extensionMode = 1; },
                                                          "a.JPG", "a.jpg"},
                                             PipelineCase{"ext title",
                                                          [](auto& c) { c.extensionMode = 3; },
                                                          "a.jpeg", "a.Jpeg"},
                                             PipelineCase{"ext fixed without old",
                                                          [](auto& c) {
                                                              c.extensionMode = 4;
                                                              c.fixedExtension = "txt";
                                                          },
                                                          "README", "README.txt"},
                                             PipelineCase{"ext fixed empty",
                                                          [](auto& c) { c.extensionMode = 4; },
                                                          "a.b", "a."},
                                             PipelineCase{"ext fixed keeps typed dot",
                                                          [](auto& c) {
                                                              c.extensionMode = 4;
                                                              c.fixedExtension = ".txt";
                                                          },
                                                          "name.doc", "name..txt"},
                                             PipelineCase{"ext extra",
                                                          [](auto& c) {
                                                              c.extensionMode = 5;
                                                              c.fixedExtension = "bak";
                                                          },
                                                          "data.csv", "data.csv.bak"},
                                             PipelineCase{"ext remove last only",
                                                          [](auto& c) { c.extensionMode = 6; },
                                                          "archive.tar.gz", "archive.tar"},
                                             PipelineCase{"ext convert",
                                                          [](auto& c) { c.extensionMode = 7; },
                                                          "photo.JPG", "photoJPG"},
                                             PipelineCase{"ext on folder with preference",
                                                          [](auto& c) {
                                                              c.extensionMode = 4;
                                                              c.fixedExtension = "old";
                                                          },
                                                          "Photos", "Photos.old", true, true},
                                             PipelineCase{"ext no choice unchanged",
                                                          [](auto& c) { c.extensionMode = -1; },
                                                          "a.JPG", "a.JPG"},
                                             PipelineCase{"dot file",
                                                          [](auto& c) { c.suffix = "x"; },
                                                          ".profile", "x.profile"},
                                             PipelineCase{"trailing dot",
                                                          [](auto& c) { c.suffix = "x"; }, "notes.",
                                                          "notesx."});
INSTANTIATE_TEST_SUITE_P(DateNumberExtension, Pipeline, kDateNumberExtension, caseName);

TEST(NewNameEngine, DefaultCriteriaKeepEveryByte) {
    RenameCriteria c;
    NewNameEngine engine(c, false);
    for (const std::string name : {"plain.txt", "\xFF\xFE.bin", "caf\xC3", "\xED\xA0\x80x", ""}) {
        NameInputs in;
        in.name = name;
        EXPECT_EQ(engine.computeNewName(in), name);
    }
}

TEST(NewNameEngine, InvalidBytesSurviveEveryCharacterStep) {
    RenameCriteria c;
    c.caseMode = kCaseTitle;
    c.prefix = "p ";
    c.extensionMode = kExtUpper;
    NewNameEngine engine(c, false);
    NameInputs in;
    in.name = "x\xC3(\xFF).j\xE9g";
    EXPECT_EQ(engine.computeNewName(in), "p X\xC3(\xFF).J\xE9G");
}

TEST(NewNameEngine, TakenDateMissingAddsNothing) {
    RenameCriteria c;
    c.dateMode = kPlaceSuffix;
    c.dateSeparator = "_";
    NewNameEngine engine(c, false);
    NameInputs in;
    in.name = "img.jpg";
    EXPECT_EQ(engine.computeNewName(in), "img.jpg");
}

TEST(NewNameEngine, DatesOutside32BitRangeWork) {
    RenameCriteria c;
    c.dateMode = kPlaceSuffix;
    c.dateFormat = 6;
    c.dateCentury = true;
    c.dateSegmentSeparator = "-";
    NewNameEngine engine(c, false);
    NameInputs in;
    in.name = "a";
    for (const auto& [year, expected] :
         {std::pair{1901, "a1901-06-15"}, std::pair{2100, "a2100-06-15"},
          std::pair{3000, "a3000-06-15"}}) {
        in.date = DateTime{static_cast<std::uint16_t>(year), 6, 0, 15, 12, 0, 0, 0};
        EXPECT_EQ(engine.computeNewName(in), expected);
    }
}

TEST(NewNameEngine, ReportsInvalidPatternOnlyWhenNotEmpty) {
    RenameCriteria c;
    EXPECT_FALSE(NewNameEngine(c, false).patternInvalid());
    c.regexMatch = "(";
    EXPECT_TRUE(NewNameEngine(c, false).patternInvalid());
    c.regexMatch = "a\xFF"; // not UTF-8, yet a valid byte pattern
    EXPECT_FALSE(NewNameEngine(c, false).patternInvalid());
}

} // namespace
} // namespace vantrel
