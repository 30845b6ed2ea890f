#include "Cli.h"
#include "filelist/JpegBuilder_test.h"
#include "platform/PosixFileSystem.h"
#include "platform/TempDir_test.h"
#include "rename/Journal.h"
#include "rename/RenameBatch.h"
#include "testsupport/MemoryFileSystem.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantrel::cli {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun runOn(FileSystem& fs, std::vector<std::string> args) {
    std::istringstream in;
    std::ostringstream out, err;
    CliServices services{fs, {}, false, false, {}};
    const int status = runCli(args, in, out, err, services);
    return {status, out.str(), err.str()};
}

CliRun runWith(std::vector<std::string> args, const std::string& input = "",
               bool inIsTerminal = false) {
    std::istringstream in(input);
    std::ostringstream out, err;
    PosixFileSystem fs;
    CliServices services{fs, {}, false, inIsTerminal, {}};
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

TEST(CliPreview, DatesAreReadWhenUsed) {
    const TempDir dir;
    writeFile(dir.file("a.jpg"), test::JpegFile()
                                     .section(0xE1, test::exifWithDate(true, "2005:07:14 10:22:33"))
                                     .scan()
                                     .bytes());
    writeFile(dir.file("z.jpg"), test::JpegFile().scan().bytes());
    const std::vector<std::string> byDate = {"--set", "Auto Date/Mode=1", "--set",
                                             "Auto Date/Type=3", dir.path()};
    std::vector<std::string> args{"preview"};
    args.insert(args.end(), byDate.begin(), byDate.end());
    EXPECT_EQ(runWith(args).out, "a.jpg\t140705a.jpg\tnew\nz.jpg\tz.jpg\tsame\n");
    // The modification date needs the attributes, which listing alone skips.
    const CliRun modified =
        runWith({"preview", "--set", "Auto Date/Mode=1", "--set", "Auto Date/Type=1", dir.path()});
    EXPECT_NE(modified.out.find("z.jpg\t"), std::string::npos);
    EXPECT_EQ(modified.out.find("same"), std::string::npos) << modified.out;
    // The file without a date comes first, against the order of the names.
    const CliRun sorted = runWith({"preview", "--sort", "taken", dir.path()});
    EXPECT_EQ(sorted.out, "z.jpg\tz.jpg\tsame\na.jpg\ta.jpg\tsame\n");
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
    EXPECT_EQ(r.status, kExitFailed); // "!": a file could not be read
    EXPECT_EQ(r.out, dir.file("dated.jpg") + "\t2005:07:14 10:22:33\n" + dir.file("undated.jpg") +
                         "\t-\n" + dir.file("text.jpg") + "\t!\n" + dir.file("missing.jpg") +
                         "\t!\n");
    EXPECT_NE(r.err.find(dir.file("missing.jpg") + "': No such file or directory"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(runWith({"taken", dir.file("dated.jpg"), dir.file("undated.jpg")}).status, kExitOk);
    EXPECT_EQ(runWith({"taken", dir.file("missing.jpg")}).status, kExitFailed);
    EXPECT_EQ(runWith({"taken"}).status, kExitUsage);
}

/// Every entry below `root` by relative path ("/" after a folder), with an
/// FNV-1a hash of each file's content.
std::map<std::string, std::uint64_t> treeChecksums(const std::string& root) {
    std::map<std::string, std::uint64_t> out;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        std::string name = item.path().string().substr(root.size() + 1);
        if (item.is_directory()) {
            out[name + "/"] = 0;
            continue;
        }
        std::ifstream in(item.path(), std::ios::binary);
        std::uint64_t hash = 14695981039346656037ull;
        for (char c; in.get(c);)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        out[name] = hash;
    }
    return out;
}

/// The arguments of a rename of `folder` that keeps its batch in `journal`.
std::vector<std::string> renameArgs(const std::string& folder, const std::string& journal,
                                    std::vector<std::string> options) {
    std::vector<std::string> args{"rename", "--journal", journal};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(folder);
    return args;
}

TEST(CliRename, RenameThenUndoRestoresEveryNameAndContent) {
    const TempDir dir;
    const std::string root = dir.file("tree");
    std::filesystem::create_directories(root + "/sub/deeper");
    const std::string odd[] = {"plain.txt", "line\nbreak",     "bad\xFF\xFEutf8", "tab\there",
                               "sub/inner", "sub/deeper/x%41", "sub/\xC3("};
    for (const std::string& name : odd)
        writeFile(root + "/" + name, "content of " + name);
    const auto before = treeChecksums(root);
    const std::string journal = dir.file("state/j");

    const CliRun renamed = runWith(renameArgs(
        root, journal,
        {"--yes", "--set", "Selections/Recursive=1", "--set", "Additions/Prefix=\"x-\""}));
    ASSERT_EQ(renamed.status, kExitOk) << renamed.err;
    EXPECT_NE(renamed.out.find("plain.txt\tx-plain.txt\tnew\n"), std::string::npos);
    EXPECT_TRUE(renamed.out.ends_with("\n9 Entries successfully renamed.\n")) << renamed.out;
    const auto after = treeChecksums(root);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(after.at("x-sub/x-deeper/x-x%41"), before.at("sub/deeper/x%41"));
    EXPECT_EQ(after.at("x-bad\xFF\xFEutf8"), before.at("bad\xFF\xFEutf8"));
    EXPECT_EQ(after.at("x-line\nbreak"), before.at("line\nbreak"));

    const CliRun undone = runWith({"undo", "--journal", journal});
    EXPECT_EQ(undone.status, kExitOk) << undone.err;
    EXPECT_EQ(undone.out, "Previous changes successfully reversed.\n");
    EXPECT_EQ(treeChecksums(root), before);

    const CliRun again = runWith({"undo", "--journal", journal});
    EXPECT_EQ(again.status, kExitFailed);
    EXPECT_NE(again.err.find("nothing to undo"), std::string::npos);
    EXPECT_TRUE(again.out.empty());
}

TEST(CliRename, DuplicateNewNamesLoseNothing) {
    // 1.dat and 2.dat both become same.dat, which exists and is not listed.
    struct Case {
        bool overwrite;
        int failures;
        std::string sameContent; ///< what same.dat holds afterwards
    };
    const Case cases[] = {{false, 2, "old"}, {true, 1, "one"}};
    for (const Case& c : cases) {
        const TempDir dir;
        writeFile(dir.file("1.dat"), "one");
        writeFile(dir.file("2.dat"), "two");
        writeFile(dir.file("same.dat"), "old");
        std::vector<std::string> options{"--yes",
                                         "--on-error",
                                         "skip",
                                         "--set",
                                         "Selections/Filter=?.dat",
                                         "--set",
                                         "Regular Expressions/Match=^\\d",
                                         "--set",
                                         "Regular Expressions/Replace=same"};
        if (c.overwrite)
            options.push_back("--overwrite");
        const CliRun r = runWith(renameArgs(dir.path(), dir.file("j"), options));
        EXPECT_EQ(r.status, kExitFailed) << r.err;
        const std::string exists = "Target item '" + dir.file("same.dat") + "' already exists.";
        std::size_t count = 0;
        for (std::size_t at = r.err.find(exists); at != std::string::npos;
             at = r.err.find(exists, at + 1))
            ++count;
        EXPECT_EQ(count, static_cast<std::size_t>(c.failures)) << r.err;
        EXPECT_NE(r.err.find("Ignore this error and continue processing? yes\n"),
                  std::string::npos);
        const auto tree = treeChecksums(dir.path());
        EXPECT_EQ(tree.count("2.dat"), 1u) << c.overwrite; // the second never replaces the first
        std::ifstream same(dir.file("same.dat"));
        std::string content;
        std::getline(same, content);
        EXPECT_EQ(content, c.sameContent);
    }
}

TEST(CliRename, FailureAnswersFromOptions) {
    // x-b appears after the preview (someone else makes it just before the
    // first rename), so b's rename fails at the batch's second item.
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> namesAfter;
        std::string out;           ///< the last line of standard output
        std::string reverseAnswer; ///< "" when not asked
        bool journalHoldsA;
    };
    const Case cases[] = {
        {{}, {"b", "c", "x-a", "x-b"}, "c\tx-c\tnew\n", " no", true},
        {{"--on-error", "stop", "--undo-on-stop"},
         {"a", "b", "c", "x-b"},
         "Previous changes successfully reversed.\n",
         " yes",
         false},
        {{"--on-error", "skip", "--undo-on-stop"},
         {"b", "x-a", "x-b", "x-c"},
         "2 Entries successfully renamed.\n",
         "",
         true},
    };
    for (const Case& c : cases) {
        MemoryFileSystem fs;
        for (const char* name : {"a", "b", "c"})
            fs.addFile(std::string("/t/") + name, name);
        fs.beforeNthCall(MemoryFileSystem::Operation::Rename, 1,
                         [&fs] { fs.addFile("/t/x-b", "x-b"); });
        std::vector<std::string> options{"--yes", "--set", "Selections/Filter=?", "--set",
                                         "Additions/Prefix=\"x-\""};
        options.insert(options.end(), c.options.begin(), c.options.end());
        const CliRun r = runOn(fs, renameArgs("/t", "/j", options));
        EXPECT_EQ(r.status, kExitFailed);
        const auto names = [&fs] {
            std::vector<std::string> out;
            for (const auto& [path, content] : fs.snapshot()) {
                if (path.starts_with("/t/") && path.size() > 3)
                    out.push_back(path.substr(3));
            }
            return out;
        };
        EXPECT_EQ(names(), c.namesAfter) << r.err;
        EXPECT_TRUE(r.out.ends_with(c.out)) << r.out;
        EXPECT_NE(r.err.find("Item '/t/b' could not be renamed.\nTarget item '/t/x-b' already "
                             "exists.\nIgnore this error and continue processing?"),
                  std::string::npos)
            << r.err;
        const std::string question = std::string(kReverseQuestion) + c.reverseAnswer + "\n";
        EXPECT_EQ(r.err.find(std::string(kReverseQuestion)) != std::string::npos,
                  !c.reverseAnswer.empty());
        if (!c.reverseAnswer.empty()) {
            EXPECT_NE(r.err.find(question), std::string::npos) << r.err;
        }

        const CliRun undone = runOn(fs, {"undo", "--journal", "/j"});
        EXPECT_EQ(undone.status, c.journalHoldsA ? kExitOk : kExitFailed) << undone.err;
        EXPECT_TRUE(fs.exists("/t/a"));
    }
}

TEST(CliRename, SystemErrorsAreReportedPerItem) {
    const TempDir dir;
    writeFile(dir.file("short.txt"), "s");
    const std::string longPrefix(250, 'p'); // past the longest name a folder can hold
    const CliRun r = runWith(renameArgs(
        dir.path(), dir.file("j"),
        {"--yes", "--set", "Selections/Filter=*.txt", "--set", "Additions/Prefix=" + longPrefix}));
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("Item '" + dir.file("short.txt") +
                         "' could not be renamed.\nError Code: File name too long\n"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("short.txt")));
}

TEST(CliRename, ReadOnlyFolderIsReported) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "a read-only folder does not stop root";
    const TempDir dir;
    std::filesystem::create_directory(dir.file("ro"));
    writeFile(dir.file("ro/a"), "a");
    std::filesystem::permissions(dir.file("ro"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const CliRun ro =
        runWith(renameArgs(dir.file("ro"), dir.file("j"), {"--yes", "--set", "Case/Change=2"}));
    EXPECT_EQ(ro.status, kExitFailed);
    EXPECT_NE(ro.err.find("Error Code: Permission denied"), std::string::npos) << ro.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("ro/a")));
}

TEST(CliRename, ConfirmationOnlyOnATerminal) {
    struct Case {
        bool terminal;
        std::string input;
        bool yes;
        int status;
        bool renamed;
    };
    const Case cases[] = {
        {false, "y\n", false, kExitUsage, false}, // never reads a pipe as an answer
        {true, "n\n", false, kExitFailed, false}, {true, "", false, kExitFailed, false},
        {true, " Yes \n", false, kExitOk, true},  {true, "y\n", false, kExitOk, true},
        {false, "", true, kExitOk, true},
    };
    for (const Case& c : cases) {
        const TempDir dir;
        writeFile(dir.file("a"), "a");
        std::vector<std::string> options{"--set", "Case/Change=2"};
        if (c.yes)
            options.push_back("--yes");
        const CliRun r =
            runWith(renameArgs(dir.path(), dir.file("j"), options), c.input, c.terminal);
        EXPECT_EQ(r.status, c.status) << c.input;
        EXPECT_EQ(std::filesystem::exists(dir.file("A")), c.renamed) << c.input;
        if (c.terminal && !c.yes) {
            EXPECT_NE(r.err.find("You are about to rename 1 files and/or folders!"),
                      std::string::npos);
        }
        if (c.status == kExitFailed) {
            EXPECT_NE(r.err.find("Rename Operation Cancelled"), std::string::npos);
        }
    }
}

TEST(CliRename, CopiesIntoTheNewLocationAreNotUndone) {
    const TempDir dir;
    std::filesystem::create_directory(dir.file("src"));
    std::filesystem::create_directory(dir.file("out"));
    writeFile(dir.file("src/a.txt"), "a");
    const CliRun r = runWith(
        renameArgs(dir.file("src"), dir.file("j"), {"--yes", "--new-location", dir.file("out")}));
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("src/a.txt")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/a.txt")));
    EXPECT_EQ(runWith({"undo", "--journal", dir.file("j")}).status, kExitFailed);

    const CliRun missing = runWith(renameArgs(
        dir.file("src"), dir.file("j"), {"--yes", "--set", "New Location/Path=" + dir.file("no")}));
    EXPECT_EQ(missing.status, kExitUsage);
    EXPECT_NE(missing.err.find(" is not a valid Folder - please correct or clear."),
              std::string::npos);
}

TEST(CliRename, BadInputIsAUsageError) {
    const TempDir dir;
    writeFile(dir.file("notes"), "keep");
    const std::vector<std::string> bad[] = {
        {"rename", "--yes"},
        {"rename", "--yes", "--on-error", "maybe", dir.path()},
        {"rename", "--yes", dir.path(), "--journal"},
        {"rename", "--yes", dir.path(), "--frobnicate"},
        {"rename", "--yes", dir.file("missing")},
        {"undo", "--bogus"},
        {"undo", "--journal"},
    };
    for (const auto& args : bad) {
        const CliRun r = runWith(args);
        EXPECT_EQ(r.status, kExitUsage) << args.back();
        EXPECT_FALSE(r.err.empty());
    }
    // Not a journal: refused, and left as it was.
    const CliRun r = runWith({"undo", "--journal", dir.file("notes")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("not a rename journal"), std::string::npos) << r.err;
    const CliRun renamed =
        runWith(renameArgs(dir.path(), dir.file("notes"), {"--yes", "--set", "Case/Change=2"}));
    EXPECT_NE(renamed.err.find("not a rename journal"), std::string::npos) << renamed.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("notes")));
    std::ifstream in(dir.file("notes"));
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep");
}

/// The content of a small file.
std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Copies numbered into their own folder, however it is spelt: nothing of the
// batch's own is ever replaced, and the failures are reported.
TEST(CliRename, NoSpellingOfTheNewLocationLosesData) {
    const TempDir journals;
    char here[4096];
    ASSERT_NE(::getcwd(here, sizeof here), nullptr);
    for (const std::string spelling : {".", "plain", "/.", "/../"}) {
        const TempDir dir;
        for (const auto& [name, content] : {std::pair{"1", "ONE"}, {"2", "TWO"}, {"3", "THREE"}})
            writeFile(dir.file(name), content);
        std::string location = spelling;
        if (spelling == "plain")
            location = dir.path();
        else if (spelling == "/.")
            location = dir.path() + "/.";
        else if (spelling == "/../")
            location = dir.path() + "/../" + std::string(lastComponent(dir.path()));
        ASSERT_EQ(::chdir(dir.path().c_str()), 0);
        const CliRun r = runWith(
            renameArgs(dir.path(), journals.file("j"),
                       {"--yes", "--overwrite", "--new-location", location, "--desc", "--set",
                        "Filename/Mode=1", "--set", "Auto-Number/Mode=1", "--on-error", "skip"}));
        ASSERT_EQ(::chdir(here), 0);
        EXPECT_EQ(r.status, kExitFailed) << location << "\n" << r.out << r.err;
        EXPECT_EQ(r.out.find("successfully"), std::string::npos) << location;
        EXPECT_EQ(contentOf(dir.file("1")), "ONE") << location;
        EXPECT_EQ(contentOf(dir.file("2")), "TWO") << location;
        EXPECT_EQ(contentOf(dir.file("3")), "THREE") << location;
        EXPECT_EQ(treeChecksums(dir.path()).size(), 3U) << location;
    }
}

TEST(CliRename, AJournalInUseIsReportedNotMisuse) {
    const TempDir dir;
    writeFile(dir.file("a"), "a");
    const std::string journalPath = dir.file("state/j");
    PosixFileSystem fs;
    FileJournal running(fs, journalPath);
    ASSERT_TRUE(running.beginBatch().ok());
    const std::string busy = "another rename batch is using " + journalPath;
    const CliRun renamed =
        runWith(renameArgs(dir.path(), journalPath, {"--yes", "--set", "Case/Change=2"}));
    EXPECT_EQ(renamed.status, kExitFailed);
    EXPECT_NE(renamed.err.find(busy), std::string::npos) << renamed.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("a")));
    const CliRun undone = runWith({"undo", "--journal", journalPath});
    EXPECT_EQ(undone.status, kExitFailed);
    EXPECT_NE(undone.err.find("vantrel-cli: " + busy + "\n"), std::string::npos) << undone.err;
}

// An undo cut short leaves renames reversed and the journal whole: the next
// undo counts those as done, not as failures.
TEST(CliRename, UndoAgainAfterAnUndoCutShort) {
    const TempDir dir;
    std::filesystem::create_directory(dir.file("d"));
    for (const char* name : {"a", "b", "c"})
        writeFile(dir.file(std::string("d/") + name), name);
    const std::string journal = dir.file("j");
    const CliRun renamed =
        runWith(renameArgs(dir.file("d"), journal, {"--yes", "--set", "Additions/Prefix=x-"}));
    ASSERT_EQ(renamed.status, kExitOk) << renamed.err;
    std::filesystem::rename(dir.file("d/x-c"), dir.file("d/c")); // as the undo would first
    const CliRun undone = runWith({"undo", "--journal", journal});
    EXPECT_EQ(undone.status, kExitOk) << undone.err;
    EXPECT_EQ(undone.out, "Previous changes successfully reversed.\n");
    EXPECT_EQ(treeChecksums(dir.file("d")).size(), 3U);
    EXPECT_TRUE(std::filesystem::exists(dir.file("d/a")));
}

// A name onto another name of the same file fails as any existing target
// does: no detour through a temporary name that a kill could strand.
TEST(CliRename, AHardLinkIsAnExistingTarget) {
    const TempDir dir;
    std::filesystem::create_directory(dir.file("d"));
    writeFile(dir.file("d/a"), "data");
    ASSERT_EQ(::link(dir.file("d/a").c_str(), dir.file("d/b").c_str()), 0);
    const CliRun r = runWith(renameArgs(dir.file("d"), dir.file("j"),
                                        {"--yes", "--set", "Selections/Filter=a", "--set",
                                         "Filename/Mode=2", "--set", "Filename/Fixed=b"}));
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("'a': the new name 'b' is taken by the existing file '" + dir.file("d/b") +
                         "'\n"),
              std::string::npos)
        << r.err;
    // Let through, the batch finds it exactly as the check did.
    const CliRun skipped =
        runWith(renameArgs(dir.file("d"), dir.file("j"),
                           {"--yes", "--on-error", "skip", "--set", "Selections/Filter=a", "--set",
                            "Filename/Mode=2", "--set", "Filename/Fixed=b"}));
    EXPECT_EQ(skipped.status, kExitFailed);
    EXPECT_NE(skipped.err.find("Target item '" + dir.file("d/b") + "' already exists."),
              std::string::npos)
        << skipped.err;
    EXPECT_EQ(treeChecksums(dir.file("d")).size(), 2U) << "no temporary name left";
    EXPECT_EQ(runWith({"undo", "--journal", dir.file("j")}).status, kExitFailed)
        << "nothing to undo";
}

TEST(CliPreview, WhatCannotBeReadIsReported) {
    MemoryFileSystem fs;
    fs.addFile("/r/a/hidden-by-error");
    fs.addFile("/r/b/c");
    fs.failPath(MemoryFileSystem::Operation::OpenFolder, "/r/a", EACCES);
    const CliRun r = runOn(fs, {"preview", "--set", "Selections/Recursive=1", "/r"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.out, "a\ta\tsame\nb\tb\tsame\nb/c\tc\tsame\n");
    EXPECT_NE(r.err.find("vantrel-cli: left out, cannot be read: open the folder '/r/a': "
                         "Permission denied\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(runOn(fs, {"preview", "/r"}).status, kExitOk) << "not recursive: all was read";
}

/// Starts `program` with `args`, its standard streams on /dev/null.
pid_t spawnQuietly(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

/// Runs vantrel-cli rename on `root` with `options`, kills it once about a
/// third of the `expected` journal records are in, and checks that undo
/// restores every name and content.
void killMidBatchAndUndo(const std::string& root, const std::string& journal,
                         const std::vector<std::string>& options, std::size_t expected) {
    const auto before = treeChecksums(root);
    const pid_t pid = spawnQuietly(VANTREL_CLI_PROGRAM, renameArgs(root, journal, options));
    ASSERT_GT(pid, 0);
    // Kill once about a third of the records are in; a loaded machine may
    // let the batch finish first, and undo must restore everything then too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    bool killed = false;
    // The journal's records end at its first zero byte (space is reserved
    // ahead), so its lines are counted, not its size.
    const auto records = [&journal] {
        std::ifstream in(journal, std::ios::binary);
        std::size_t lines = 0;
        for (char c = 0; in.get(c) && c != '\0';)
            lines += c == '\n' ? 1U : 0U;
        return lines;
    };
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline || records() > expected / 3) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            killed = true;
            break;
        }
        ::usleep(100);
    }
    std::cout << (killed ? "killed" : "finished") << " after " << records() << " of about "
              << expected << " journal records\n";

    const CliRun undone = runWith({"undo", "--journal", journal});
    EXPECT_EQ(undone.status, kExitOk) << undone.err;
    EXPECT_EQ(undone.out, "Previous changes successfully reversed.\n");
    EXPECT_EQ(treeChecksums(root), before);
}

TEST(CliRenameProcess, KilledMidBatchIsUndoneCompletely) {
    const TempDir dir;
    const std::string root = dir.file("many");
    std::filesystem::create_directory(root);
    constexpr int kFiles = 1200;
    for (int i = 0; i < kFiles; ++i)
        writeFile(root + "/f" + std::to_string(i) + ".dat", std::to_string(i * 7919));
    killMidBatchAndUndo(root, dir.file("j"), {"--yes", "--set", "Additions/Prefix=x-"}, kFiles);
}

// Every rename a swap: the names 1 to 600 numbered backwards, so i and
// 601 - i trade names, each pair through a temporary name.
TEST(CliRenameProcess, KilledMidBatchOfSwapsIsUndoneCompletely) {
    const TempDir dir;
    const std::string root = dir.file("swaps");
    std::filesystem::create_directory(root);
    constexpr int kFiles = 600;
    for (int i = 1; i <= kFiles; ++i)
        writeFile(root + "/" + std::to_string(i), std::to_string(i * 7919));
    killMidBatchAndUndo(root, dir.file("j"),
                        {"--yes", "--sort", "name", "--natural", "--desc", "--set",
                         "Filename/Mode=Remove", "--set", "Auto-Number/Mode=Prefix"},
                        kFiles * 3 / 2 * 2);
}

} // namespace
} // namespace vantrel::cli
