#include "Cli.h"
#include "filelist/JpegBuilder_test.h"
#include "platform/PosixFileSystem.h"
#include "platform/TempDir_test.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace vantrel::cli {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun runWith(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    PosixFileSystem fs;
    CliServices services{fs, {}, false};
    const int status = runCli(args, in, out, err, services);
    return {status, out.str(), err.str()};
}

using vantrel::test::TempDir;

TEST(CliNames, PrintsNameNewNameAndState) {
    const CliRun r = runWith({"names", "--set", "Replacements/Replace=-", "--set",
                              "Replacements/With=\":\"", "--set", "Case/Change=2"},
                             "a-b.txt\nsame\n\xFF.txt\n");
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "a-b.txt\tA:B.txt\tinvalid\nsame\tSAME\tnew\n\xFF.txt\t\xFF.txt\tsame\n");
    EXPECT_NE(r.err.find("3 Objects (3 Selected)"), std::string::npos);
}

TEST(CliNames, SetValueReadsAsInFile) {
    const CliRun r = runWith({"names", "--set", "Folder Name/Mode=2", "--set",
                              "folder name/SEPARATOR=  \" - \"  ", "--folder-name", "Holiday"},
                             "img1.jpg\n");
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "img1.jpg\timg1 - Holiday.jpg\tnew\n");
}

TEST(CliNames, DateFoldersAndNumbering) {
    const CliRun r = runWith({"names", "--set", "Auto Date/Mode=1", "--set", "Auto Date/Format=6",
                              "--set", "Auto Date/Century=1", "--set", "Auto Date/Separator=\"_\"",
                              "--set", "Auto-Number/Mode=2", "--folders",
                              "--ignore-folder-extensions", "--date", "2004-03-07 15:04:05"},
                             "My.Pictures\nb\n");
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "My.Pictures\t20040307_My.Pictures1\tnew\nb\t20040307_b2\tnew\n");
}

TEST(CliNames, InvalidPatternIsReportedNotFatal) {
    const CliRun r = runWith(
        {"names", "--set", "Regular Expressions/Match=(", "--set", "Regular Expressions/Replace=x"},
        "a\n");
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "a\ta\tsame\n");
    EXPECT_NE(r.err.find("Regular Expression is invalid"), std::string::npos);
}

TEST(CliNames, BadInputIsAUsageError) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"names", "--bogus"},
        {"names", "--set", "Case/Change"},
        {"names", "--set", "Case/Nope=1"},
        {"names", "--set", "Nope/Change=1"},
        {"names", "--set", "NoSlash=1"},
        {"names", "--favourite", "/nonexistent/x.vtl"},
        {"names", "--date", "2004-02-30 00:00:00"},
        {"names", "--date", "2004-03-07T15:04:05"},
        {"names", "--date", "2004-03-07 24:00:00"},
        {"names", "--folder-name"},
        {"save-favourite"},
        {"save-favourite", "a.vtl", "b.vtl"},
        {"save-favourite", "a.vtl", "--set", "Case/Bogus=1"},
    };
    for (const auto& args : bad) {
        const CliRun r = runWith(args);
        EXPECT_EQ(r.status, kExitUsage) << (args.empty() ? "(none)" : args.back());
        EXPECT_FALSE(r.err.empty());
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(CliSaveFavourite, RoundTripsThroughNames) {
    TempDir dir;
    const std::string file = dir.file("fav.vtl");
    const CliRun saved = runWith({"save-favourite", file, "--set", "Additions/Prefix=\" p \"",
                                  "--set", "Extension/Mode=2", "--folder", "/photos"});
    ASSERT_EQ(saved.status, kExitOk) << saved.err;
    std::ifstream in(file);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_NE(content.str().find("Path=\"/photos\""), std::string::npos);
    EXPECT_NE(content.str().find("Prefix=\" p \""), std::string::npos);

    const CliRun r = runWith({"names", "--favourite", file}, "a.jpg\n");
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "a.jpg\t p a.JPG\tnew\n");
}

TEST(CliSaveFavourite, FailedWriteIsReported) {
    TempDir dir;
    const CliRun r = runWith({"save-favourite", dir.file("missing/folder/fav.vtl")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("could not be saved"), std::string::npos);
}

TEST(CliSaveFavourite, KeepsForeignLines) {
    TempDir dir;
    const std::string file = dir.file("fav.vtl");
    {
        std::ofstream out(file);
        out << "; my notes\n[Case]\nChange=1\nMine=yes\n";
    }
    ASSERT_EQ(runWith({"save-favourite", file, "--favourite", file}).status, kExitOk);
    std::ifstream in(file);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str().rfind("; my notes\n[Case]\nChange=1\nMine=yes\n", 0), 0u);
    const CliRun r = runWith({"names", "--favourite", file}, "AbC\n");
    EXPECT_EQ(r.out, "AbC\tabc\tnew\n");
}

/// Writes `content` to `path`, making no folders.
void writeFile(const std::string& path, const std::string& content = "") {
    std::ofstream(path, std::ios::binary) << content;
}

/// A small folder: two levels, names whose order depends on the comparison.
void fillPreviewFolder(const TempDir& dir) {
    std::filesystem::create_directory(dir.file("Sub"));
    writeFile(dir.file("file10.txt"), "1234567890");
    writeFile(dir.file("file2.txt"), "12");
    writeFile(dir.file("Sub/inner.TXT"));
    writeFile(dir.file(".hidden"));
}

TEST(CliPreview, ListsSortsAndPreviews) {
    const TempDir dir;
    fillPreviewFolder(dir);
    struct Case {
        std::vector<std::string> options;
        std::string out;
    };
    const Case cases[] = {
        {{}, "Sub\tSub\tsame\nfile10.txt\tfile10.txt\tsame\nfile2.txt\tfile2.txt\tsame\n"},
        {{"--natural"},
         "Sub\tSub\tsame\nfile2.txt\tfile2.txt\tsame\nfile10.txt\tfile10.txt\tsame\n"},
        {{"--desc"}, "file2.txt\tfile2.txt\tsame\nfile10.txt\tfile10.txt\tsame\nSub\tSub\tsame\n"},
        {{"--sort", "size", "--desc"},
         "file10.txt\tfile10.txt\tsame\nfile2.txt\tfile2.txt\tsame\nSub\tSub\tsame\n"},
        {{"--set", "Selections/Recursive=1", "--set", "Case/Change=2", "--set",
          "Selections/Folders=0"},
         "file10.txt\tFILE10.txt\tnew\nfile2.txt\tFILE2.txt\tnew\nSub/inner.TXT\tINNER.TXT\tnew\n"},
        {{"--set", "Selections/Filter=*.txt", "--set", "Replacements/Replace=file", "--set",
          "Replacements/With=a?"},
         "file10.txt\ta?10.txt\tinvalid\nfile2.txt\ta?2.txt\tinvalid\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"preview"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(dir.path() + "/");
        const CliRun r = runWith(args);
        EXPECT_EQ(r.status, kExitOk) << r.err;
        EXPECT_EQ(r.out, c.out) << c.options.size();
        EXPECT_NE(r.err.find("Folder: " + dir.path() + "\n"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Selected)"), std::string::npos) << r.err;
    }
}

TEST(CliPreview, BadInputIsAUsageError) {
    const TempDir dir;
    fillPreviewFolder(dir);
    const std::vector<std::string> bad[] = {
        {"preview", dir.file("missing")},
        {"preview", dir.file("file2.txt")},
        {"preview", "--sort", "colour", dir.path()},
        {"preview"},
        {"preview", dir.path(), "--frobnicate"},
    };
    for (const auto& args : bad) {
        const CliRun r = runWith(args);
        EXPECT_EQ(r.status, kExitUsage) << args.back();
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(CliTaken, OneLinePerFile) {
    TempDir dir;
    writeFile(dir.file("dated.jpg"),
              test::JpegFile()
                  .section(0xE1, test::exifWithDate(true, "2005:07:14 10:22:33"))
                  .scan()
                  .bytes());
    writeFile(dir.file("undated.jpg"), test::JpegFile().scan().bytes());
    writeFile(dir.file("text.jpg"), "hello");
    const CliRun r = runWith({"taken", dir.file("dated.jpg"), dir.file("undated.jpg"),
                              dir.file("text.jpg"), dir.file("missing.jpg")});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, dir.file("dated.jpg") + "\t2005:07:14 10:22:33\n" + dir.file("undated.jpg") +
                         "\t-\n" + dir.file("text.jpg") + "\t!\n" + dir.file("missing.jpg") +
                         "\t!\n");
    EXPECT_EQ(runWith({"taken"}).status, kExitUsage);
}

} // namespace
} // namespace vantrel::cli
