// The command line's conflicts and refusal, its output for any name, and
// the help it gives: drop-downs by text, keys, the version.

#include "Cli.h"
#include "platform/PosixFileSystem.h"
#include "platform/TempDir_test.h"
#include "testsupport/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace vantrel::cli {
namespace {

struct CliResult {
    int status;
    std::string out;
    std::string err;
};

CliResult runOn(FileSystem& fs, const std::vector<std::string>& args,
                const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    CliServices services{fs, {}, false, false, {}};
    const int status = runCli(args, in, out, err, services);
    return {status, out.str(), err.str()};
}

CliResult names(const std::vector<std::string>& options, const std::string& input) {
    MemoryFileSystem fs;
    std::vector<std::string> args{"names"};
    args.insert(args.end(), options.begin(), options.end());
    return runOn(fs, args, input);
}

/// A folder holding 1, 2, 3 and x-2, and the options that give the listed
/// ones (one character long) the prefix "x-".
struct PrefixFolder {
    MemoryFileSystem fs;
    PrefixFolder() {
        for (const char* name : {"1", "2", "3", "x-2", ".x-3"})
            fs.addFile(std::string("/t/") + name, name);
    }
    CliResult rename(std::vector<std::string> more) {
        std::vector<std::string> args{"rename",    "--yes",
                                      "--journal", "/j",
                                      "--set",     "Selections/Filter=?",
                                      "--set",     "Additions/Prefix=x-"};
        args.insert(args.end(), more.begin(), more.end());
        args.push_back("/t");
        return runOn(fs, args);
    }
};

TEST(CliConflicts, StatesAndTheCountThroughNames) {
    // 1 and 2 both become "same"; 3 becomes 4, which keeps its name.
    const CliResult r = names({"--set", "Regular Expressions/Match=^[12]$", "--set",
                               "Regular Expressions/Replace=same", "--set",
                               "Replacements/Replace=3", "--set", "Replacements/With=4"},
                              "1\n2\n3\n4\nbad\n");
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "1\tsame\tconflict\n2\tsame\tconflict\n3\t4\tconflict\n4\t4\tsame\n"
                     "bad\tbad\tsame\n");
    EXPECT_TRUE(r.err.ends_with("5 Objects (5 Selected)\n3 new names collide\n")) << r.err;

    const CliResult swap =
        names({"--set", "Regular Expressions/Match=^(a|b)$", "--set",
               "Regular Expressions/Replace=\\1\\1", "--set", "Replacements/Replace=aa", "--set",
               "Replacements/With=b", "--set", "Filename/Mode=Keep"},
              "a\nb\nbb\n");
    // b cannot move (bb keeps its name), so neither can a, which waits for it.
    EXPECT_EQ(swap.out, "a\tb\tconflict\nb\tbb\tconflict\nbb\tbb\tsame\n");
    EXPECT_TRUE(swap.err.ends_with("2 new names collide\n")) << swap.err;
}

TEST(CliConflicts, PreviewShowsThemAndRenameRefusesThem) {
    PrefixFolder folder;
    const CliResult preview = runOn(folder.fs, {"preview", "--set", "Selections/Filter=?", "--set",
                                                "Additions/Prefix=x-", "/t"});
    EXPECT_EQ(preview.status, kExitOk);
    EXPECT_EQ(preview.out, "1\tx-1\tnew\n2\tx-2\tconflict\n3\tx-3\tnew\n")
        << "a hidden .x-3 is another name";
    EXPECT_TRUE(preview.err.ends_with("3 Objects (3 Selected)\n1 new name collides\n"))
        << preview.err;

    const auto before = folder.fs.snapshot();
    const CliResult refused = folder.rename({});
    EXPECT_EQ(refused.status, kExitFailed);
    EXPECT_NE(refused.err.find("'2': the new name 'x-2' is taken by the existing file '/t/x-2'\n"
                               "vantrel-cli: nothing was renamed: 1 new name collides"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(folder.fs.snapshot(), before);
    EXPECT_FALSE(folder.fs.exists("/j")) << "refused before the journal is begun";

    const CliResult skipped = folder.rename({"--on-error", "skip"});
    EXPECT_EQ(skipped.status, kExitFailed);
    EXPECT_NE(skipped.err.find("Item '/t/2' could not be renamed.\nTarget item '/t/x-2' "
                               "already exists."),
              std::string::npos)
        << skipped.err;
    EXPECT_TRUE(folder.fs.exists("/t/x-1"));
    EXPECT_TRUE(folder.fs.exists("/t/x-3"));
    EXPECT_EQ(folder.fs.content("/t/x-2"), "x-2");
}

TEST(CliConflicts, ASwapAndAChainAreNoConflictsAndAreCarriedOut) {
    struct Case {
        const char* what;
        std::vector<std::string> order;
        const char* start;
        std::vector<std::string> preview;
        std::map<std::string, std::string> after; ///< name -> content
    };
    const Case cases[] = {
        {"a chain: each name freed by the next",
         {},
         "2",
         {"1\t2\tnew", "2\t3\tnew", "3\t4\tnew"},
         {{"2", "1"}, {"3", "2"}, {"4", "3"}}},
        {"a ring: the numbers run backwards",
         {"--desc"},
         "1",
         {"3\t1\tnew", "2\t2\tsame", "1\t3\tnew"},
         {{"1", "3"}, {"2", "2"}, {"3", "1"}}},
    };
    for (const Case& c : cases) {
        MemoryFileSystem fs;
        for (const char* name : {"1", "2", "3"})
            fs.addFile(std::string("/t/") + name, name);
        std::vector<std::string> args{"rename",    "--yes",
                                      "--journal", "/j",
                                      "--set",     "Filename/Mode=Remove",
                                      "--set",     "Auto-Number/Mode=Prefix",
                                      "--set",     std::string("Auto-Number/Start=") + c.start};
        args.insert(args.end(), c.order.begin(), c.order.end());
        args.push_back("/t");
        const CliResult r = runOn(fs, args);
        EXPECT_EQ(r.status, kExitOk) << c.what << ": " << r.err;
        std::string preview;
        for (const std::string& line : c.preview)
            preview += line + "\n";
        EXPECT_TRUE(r.out.starts_with(preview)) << c.what << ": " << r.out;
        EXPECT_EQ(r.err.find("collide"), std::string::npos) << c.what;
        for (const auto& [name, content] : c.after)
            EXPECT_EQ(fs.content("/t/" + name), content) << c.what << ": " << name;
        const CliResult undone = runOn(fs, {"undo", "--journal", "/j"});
        EXPECT_EQ(undone.out, "Previous changes successfully reversed.\n") << c.what;
        for (const char* name : {"1", "2", "3"})
            EXPECT_EQ(fs.content(std::string("/t/") + name), name) << c.what;
    }
}

TEST(CliNull, NamesWithNewlinesAndTabsRoundTrip) {
    const std::string odd[] = {"line\nbreak", "tab\there", "both\t\n", "plain"};
    std::string input;
    for (const std::string& name : odd)
        input += name + '\0';
    const CliResult r = names({"-0", "--set", "Additions/Prefix=x-"}, input);
    EXPECT_EQ(r.status, kExitOk) << r.err;
    std::string expected;
    for (const std::string& name : odd)
        expected += name + '\0' + "x-" + name + '\0' + "new" + '\0';
    EXPECT_EQ(r.out, expected);

    // The last name may lack its NUL, as a last line may lack its line feed.
    const CliResult last = names({"--null"}, std::string("a\0b", 3));
    EXPECT_EQ(last.out, std::string("a\0a\0same\0b\0b\0same\0", 18));
}

TEST(CliNull, PreviewRecordsSurviveAnyName) {
    const test::TempDir dir;
    PosixFileSystem fs;
    const std::string odd[] = {"line\nbreak", "tab\there", "\xFF\xFE"};
    for (const std::string& name : odd)
        ASSERT_TRUE(fs.writeFileAtomically(dir.file(name), name).ok());
    const CliResult r = runOn(fs, {"preview", "--null", "--set", "Case/Change=Upper", dir.path()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    // Split the records back: three fields each.
    std::vector<std::string> fields;
    std::string field;
    for (const char c : r.out) {
        if (c == '\0') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.empty()) << "every field ends in NUL";
    ASSERT_EQ(fields.size(), 9U);
    EXPECT_EQ(fields[0], "line\nbreak");
    EXPECT_EQ(fields[1], "LINE\nBREAK");
    EXPECT_EQ(fields[2], "new");
    EXPECT_EQ(fields[3], "tab\there");
    EXPECT_EQ(fields[6], "\xFF\xFE");
    EXPECT_EQ(fields[8], "same");
}

TEST(CliHelp, DropDownsByTheirText) {
    struct Case {
        std::vector<std::string> set;
        std::string newName; ///< of "abc"
    };
    const Case cases[] = {
        {{"Case/Change=Title"}, "Abc"},
        {{"Case/Change=upper"}, "ABC"},
        {{"Case/Change=3"}, "Abc"},
        {{"Case/Change=\"UPPER\""}, "ABC"},
        {{"Auto-Number/Mode=Suffix", "Auto-Number/Base=Base 16", "Auto-Number/Start=255"}, "abcFF"},
        {{"Auto-Number/Mode=suffix", "Auto-Number/Base=base 16 (HEX)", "Auto-Number/Start=10"},
         "abcA"},
        {{"Auto-Number/Mode=Pre.+Suff.", "Auto-Number/Start=2"}, "2abc2"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> options;
        for (const std::string& s : c.set) {
            options.push_back("--set");
            options.push_back(s);
        }
        const CliResult r = names(options, "abc\n");
        EXPECT_EQ(r.status, kExitOk) << c.set[0] << ": " << r.err;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "abc\t" + c.newName + "\tnew") << c.set[0];
    }
    const CliResult wrong = names({"--set", "Case/Change=Tittle"}, "abc\n");
    EXPECT_EQ(wrong.status, kExitUsage);
    EXPECT_NE(wrong.err.find("no line 'Tittle' in the drop-down Case/Change (--set; its lines "
                             "are 0 Same, 1 Lower, 2 Upper, 3 Title;"),
              std::string::npos)
        << wrong.err;
}

TEST(CliHelp, KeysVersionAndHelp) {
    MemoryFileSystem fs;
    const CliResult keys = runOn(fs, {"keys"});
    EXPECT_EQ(keys.status, kExitOk);
    // Every key once, in the file's order, with the drop-downs' lines.
    std::vector<std::string> names;
    std::istringstream lines(keys.out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t slash = line.find('/');
        if (slash != std::string::npos && slash > 0 && line[0] != ' ' &&
            line.find("  ") != std::string::npos)
            names.push_back(line.substr(0, line.find("  ")));
    }
    ASSERT_EQ(names.size(), 49U) << keys.out;
    EXPECT_EQ(names.front(), "General/Path");
    EXPECT_EQ(names[1], "Regular Expressions/Match");
    EXPECT_EQ(names.back(), "New Location/Path");
    EXPECT_NE(keys.out.find("Case/Change                       drop-down, default 0 (Same)\n"
                            "     0  Same\n     1  Lower\n     2  Upper\n     3  Title\n"),
              std::string::npos);
    EXPECT_NE(keys.out.find("Auto-Number/Base                  drop-down, default 8 (Base 10 "
                            "(Decimal))\n"),
              std::string::npos);
    EXPECT_NE(keys.out.find("    34  Base 36\n"), std::string::npos);
    EXPECT_NE(keys.out.find("Selections/Filter                 text, default \"*\"\n"),
              std::string::npos);
    EXPECT_EQ(runOn(fs, {"keys", "extra"}).status, kExitUsage);

    const CliResult version = runOn(fs, {"--version"});
    EXPECT_EQ(version.status, kExitOk);
    EXPECT_EQ(version.out, "vantrel-cli 2, 1, 0, 12\n");
    const CliResult help = runOn(fs, {"--help"});
    for (const char* mentioned : {"--null", "-0,", "keys", "--version", "conflict"})
        EXPECT_NE(help.out.find(mentioned), std::string::npos) << mentioned;
}

} // namespace
} // namespace vantrel::cli
