#include "rename/Journal.h"
#include "rename/JournalFormat.h"

#include "platform/PosixFileSystem.h"
#include "platform/TempDir_test.h"
#include "testsupport/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <tuple>

namespace vantrel {
namespace {

using test::TempDir;
using Op = MemoryFileSystem::Operation;

const std::string kJournal = "/state/vantrel/j";

UndoPair pairOf(std::string from, std::string to, std::uint64_t inode = 7) {
    UndoPair p;
    p.oldPath = std::move(from);
    p.newPath = std::move(to);
    p.identity = {1, inode};
    return p;
}

/// What the reader gives for `text`, as "old>new" with "?" for unconfirmed
/// pairs and "~temp" for a temporary name.
std::vector<std::string> readText(std::string_view text, JournalContents* contents = nullptr) {
    JournalContents read;
    const Result r = parseJournal(text, read);
    EXPECT_TRUE(r.ok()) << r.error().text();
    std::vector<std::string> out;
    for (const UndoPair& p : read.log.pairs())
        out.push_back(p.oldPath + ">" + p.newPath + (p.confirmed ? "" : "?") +
                      (p.temporaryPath.empty() ? "" : "~" + p.temporaryPath));
    if (contents != nullptr)
        *contents = std::move(read);
    return out;
}

/// The journal's lines without their checksums.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line.substr(0, line.rfind('\t')));
    return out;
}

bool sameLog(const UndoLog& a, const UndoLog& b) {
    if (a.pairs().size() != b.pairs().size())
        return false;
    for (std::size_t i = 0; i < a.pairs().size(); ++i) {
        const UndoPair& x = a.pairs()[i];
        const UndoPair& y = b.pairs()[i];
        if (x.oldPath != y.oldPath || x.newPath != y.newPath || x.confirmed != y.confirmed ||
            x.temporaryPath != y.temporaryPath || x.identity != y.identity)
            return false;
    }
    return true;
}

// The checksum by carry-less multiplication agrees with the tables at every
// length (whole 16-byte blocks and the rest), start and starting value.
TEST(Journal, ChecksumsAgreeWhicheverWayTheyAreMade) {
    EXPECT_EQ(journal::crc32("123456789"), 0xCBF43926U);
    EXPECT_EQ(journal::crc32Tables("123456789"), 0xCBF43926U);
    std::mt19937 random(11);
    std::string bytes(700, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    const std::string_view all(bytes);
    for (std::size_t start = 0; start < 3; ++start) {
        for (std::size_t length = 0; length + start <= all.size(); ++length) {
            const std::string_view part = all.substr(start, length);
            const auto seed = static_cast<std::uint32_t>(random());
            ASSERT_EQ(journal::crc32(part, seed), journal::crc32Tables(part, seed))
                << "start " << start << ", length " << length;
        }
    }
}

TEST(Journal, EveryByteOfANameRoundTrips) {
    MemoryFileSystem fs;
    std::vector<UndoPair> written;
    for (int b = 1; b < 256; ++b) { // NUL cannot be part of a path
        const std::string name(1, static_cast<char>(b));
        written.push_back(pairOf("/d/a" + name + "b", "/d/" + name + name + "%0A",
                                 static_cast<std::uint64_t>(b) << 40));
    }
    written.push_back(pairOf("/d/line\nbreak\r\n", "/d/tab\there\x7F", 1));
    written.push_back(pairOf("/d/\xC3\x28 \xFF\xFE invalid", "/d/\xE2\x82 cut %%41", ~0ULL));

    FileJournal journal(fs, kJournal);
    ASSERT_TRUE(journal.beginBatch().ok());
    for (const UndoPair& pair : written) {
        ASSERT_TRUE(journal.beforeRename(pair).ok());
        journal.afterRename(RenameEffect::Renamed);
    }
    journal.endBatch();

    JournalContents contents;
    ASSERT_TRUE(inspectJournal(fs, kJournal, contents).ok());
    UndoLog expected;
    for (const UndoPair& pair : written)
        expected.add(pair);
    EXPECT_TRUE(sameLog(contents.log, expected));
    EXPECT_TRUE(contents.finished);
    EXPECT_EQ(contents.batch, journal.batch());

    // One line per record, and no byte in it that could split a line or a field.
    const std::string text = fs.content(kJournal);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 2 * std::ssize(written));
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE(byte >= 0x20 ? byte != 0x7F : byte == '\t' || byte == '\n') << int(byte);
    }
}

TEST(Journal, MarksRideWithTheNextRecordAndTheEndIsRecorded) {
    MemoryFileSystem fs;
    FileJournal journal(fs, kJournal);
    ASSERT_TRUE(journal.beginBatch().ok());
    const std::string header = std::string(kJournalStem) + "2\t" + journal.batch();
    EXPECT_EQ(lines(fs.content(kJournal)), std::vector<std::string>{header});

    ASSERT_TRUE(journal.beforeRename(pairOf("/a/x", "/a/y", 12)).ok());
    journal.afterRename(RenameEffect::Renamed);
    // Not written yet: the disk decides for the latest pair if the process dies now.
    EXPECT_EQ(lines(fs.content(kJournal)),
              (std::vector<std::string>{header, "R\t0\t1\t12\t/a/x\t/a/y"}));
    EXPECT_EQ(readText(fs.content(kJournal)), (std::vector<std::string>{"/a/x>/a/y?"}));

    ASSERT_TRUE(journal.beforeRename(pairOf("/a/p", "/a/q")).ok());
    journal.afterRename(RenameEffect::NotRenamed); // written at once
    ASSERT_TRUE(journal.beforeRename(pairOf("/a/Up", "/a/up")).ok());
    ASSERT_TRUE(journal.viaTemporary("/a/.t0").ok());
    ASSERT_TRUE(journal.viaTemporary("/a/.t1").ok()); // the latest attempt counts
    journal.afterRename(RenameEffect::Unknown);       // left there: the disk tells
    ASSERT_TRUE(journal.beforeRename(pairOf("/a/m", "/a/n")).ok());
    journal.afterRename(RenameEffect::Renamed);
    EXPECT_EQ(
        lines(fs.content(kJournal)),
        (std::vector<std::string>{header, "R\t0\t1\t12\t/a/x\t/a/y", "D\t0",
                                  "R\t1\t1\t7\t/a/p\t/a/q", "F\t1", "R\t2\t1\t7\t/a/Up\t/a/up",
                                  "T\t2\t/a/.t0", "T\t2\t/a/.t1", "R\t3\t1\t7\t/a/m\t/a/n"}));
    JournalContents contents;
    readText(fs.content(kJournal), &contents);
    EXPECT_FALSE(contents.finished);
    ASSERT_TRUE(journal.reversalVia(1, "/a/.t9").ok()); // the second pair of the undo log
    EXPECT_FALSE(journal.reversalVia(3, "/a/.t9").ok());
    journal.endBatch();
    EXPECT_EQ(readText(fs.content(kJournal), &contents),
              (std::vector<std::string>{"/a/x>/a/y", "/a/Up>/a/up?~/a/.t9", "/a/m>/a/n"}));
    EXPECT_TRUE(contents.finished);
    EXPECT_EQ(lines(fs.content(kJournal)).back(), "E\t4");

    // A new batch replaces the old one, under a new identity.
    const std::string first = journal.batch();
    ASSERT_TRUE(journal.beginBatch().ok());
    EXPECT_NE(journal.batch(), first);
    journal.batchReversed();
    EXPECT_EQ(fs.content(kJournal), "");
}

TEST(Journal, EveryCutOfTheFileReadsSafely) {
    MemoryFileSystem fs;
    FileJournal journal(fs, kJournal);
    ASSERT_TRUE(journal.beginBatch().ok());
    const bool succeeds[] = {true, false, true, true, false, true};
    for (std::size_t i = 0; i < std::size(succeeds); ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(journal.beforeRename(pairOf("/f/old" + n + "%\n", "/f/new" + n)).ok());
        if (i == 3) {
            ASSERT_TRUE(journal.viaTemporary("/f/tmp").ok());
        }
        journal.afterRename(succeeds[i] ? RenameEffect::Renamed : RenameEffect::NotRenamed);
    }
    journal.endBatch();
    const std::string full = fs.content(kJournal);
    EXPECT_EQ(readText(full),
              (std::vector<std::string>{"/f/old0%\n>/f/new0", "/f/old2%\n>/f/new2",
                                        "/f/old3%\n>/f/new3~/f/tmp", "/f/old5%\n>/f/new5"}));

    // A write cut short anywhere, and the rest of the reserved space zeros:
    // each pair read is one that was written, read exactly, and never more
    // certain than it was.
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        for (const std::size_t zeros : {std::size_t{0}, std::size_t{100}}) {
            JournalContents read;
            ASSERT_TRUE(parseJournal(full.substr(0, cut) + std::string(zeros, '\0'), read).ok())
                << cut;
            EXPECT_EQ(read.damage.lines, 0u);
            EXPECT_EQ(read.damage.tornTail, cut != 0 && full[cut - 1] != '\n') << cut;
            EXPECT_EQ(read.finished, cut == full.size());
            std::size_t i = 0;
            for (const UndoPair& p : read.log.pairs()) {
                while (i < std::size(succeeds) && p.oldPath != "/f/old" + std::to_string(i) + "%\n")
                    ++i;
                ASSERT_LT(i, std::size(succeeds)) << cut << ": " << p.oldPath;
                EXPECT_EQ(p.newPath, "/f/new" + std::to_string(i));
                EXPECT_TRUE(p.temporaryPath.empty() || (i == 3 && p.temporaryPath == "/f/tmp"));
                EXPECT_TRUE(succeeds[i] || !p.confirmed) << cut;
            }
        }
    }
}

TEST(Journal, DamagedLinesAreLeftOutNeverGuessed) {
    const std::string batch = "0123456789abcdef";
    const std::string h = sealJournalLine("", std::string(kJournalStem) + "2\t" + batch);
    const auto sealed = [&batch](std::initializer_list<std::string> records) {
        std::string out;
        for (const std::string& r : records)
            out += sealJournalLine(batch, r);
        return out;
    };
    const std::string good = sealJournalLine(batch, "R\t0\t1\t2\t/a\t/b");
    std::string flipped = good;
    flipped[9] = 'c'; // "/a" becomes "/c": the checksum no longer holds
    struct Case {
        std::string body;
        std::vector<std::string> pairs;
        std::size_t damaged;
    };
    const Case cases[] = {
        {sealed({"R\t0\t1\t2\t/a\t/b", "D\t0", "R\t1\t1\t3\t/c\t/d"}), {"/a>/b", "/c>/d?"}, 0},
        {flipped, {}, 1},
        {"R\t0\t1\t2\t/a\t/b\n", {}, 1},                                    // no checksum
        {sealJournalLine("fedcba9876543210", "R\t0\t1\t2\t/a\t/b"), {}, 1}, // another batch's
        {good.substr(0, good.size() - 2) + "X\n", {}, 1},
        {sealed({"X\t0", "R\t0\t1\t2\t/a\t/b", "Q", "", "D\t0"}), {"/a>/b"}, 3}, // unknown
        {sealed({"R\t0\t1\t2\t/a%4\t/b", "D\t0"}), {}, 2},                       // escape cut
        {sealed({"R\t0\t1\t2\t/a%G0\t/b"}), {}, 1},                              // not hex
        {sealed({"R\t0\t1\t2\t/a%00x\t/b"}), {}, 1},                   // NUL would cut the path
        {sealed({"R\t0\t1\t2\ta\t/b", "R\t1\t1\t2\t/a\t"}), {}, 2},    // not absolute, empty
        {sealed({std::string("R\t0\t1\t2\t/a\x01\t/b")}), {}, 1},      // raw control byte
        {sealed({"R\t0\t1\t2\t/a\t/b\t/c", "R\t1\t1\t2\t/a"}), {}, 2}, // field count
        {sealed({"R\t0\t0\t0\t/a\t/b", "R\t1\t01\t2\t/a\t/b", "R\t2\t1\t-2\t/a\t/b"}), {}, 3},
        {sealed({"R\t00\t1\t2\t/a\t/b", "R\t-1\t1\t2\t/a\t/b",
                 "R\t99999999999999999999\t1\t2\t/a\t/b"}),
         {},
         3},
        {sealed({"R\t5\t1\t2\t/a\t/b", "R\t5\t1\t2\t/c\t/d", "R\t2\t1\t2\t/e\t/f"}), {"/a>/b?"}, 2},
        {sealed({"R\t0\t1\t2\t/a\t/b", "D\t1", "F\t7", "T\t3\t/t"}), {"/a>/b?"}, 3}, // no such
        {sealed({"R\t0\t1\t2\t/a\t/b", "D\t0", "F\t0"}), {"/a>/b?"}, 1},             // conflict
        {sealed({"R\t0\t1\t2\t/a\t/b", "F\t0", "D\t0", "T\t0\t/t"}), {"/a>/b?"}, 2},
        {sealed({"R\t0\t1\t2\t/a\t/b", "F\t0", "F\t0", "R\t1\t1\t2\t/c\t/d", "D\t1", "D\t1"}),
         {"/c>/d"},
         0},
        {sealed({"R\t0\t1\t2\t/a\t/b", "T\t0\tt", "E\tx"}), {"/a>/b?"}, 2},
        {sealed({"R\t0\t1\t2\t/a\t/b", "E\t1\t1"}), {"/a>/b?"}, 1},      // not an end
        {sealed({"R\t0\t1\t2\t/a%2f%0a\t/b", "D\t0"}), {"/a/\n>/b"}, 0}, // lower-case hex
        {sealed({"R\t0\t1\t2\t/a\t/b"}) + std::string("D\t0\t\0\0\0\0\0\0\0\0\n", 13),
         {"/a>/b?"},
         1},
    };
    for (const Case& c : cases) {
        JournalContents contents;
        EXPECT_EQ(readText(h + c.body, &contents), c.pairs) << c.body;
        EXPECT_EQ(contents.damage.lines, c.damaged) << c.body;
        EXPECT_FALSE(contents.damage.tornTail);
        EXPECT_FALSE(contents.finished);
    }
}

TEST(Journal, HeaderDecidesWhetherTheTextIsRead) {
    const std::string header =
        sealJournalLine("", std::string(kJournalStem) + "2\t0123456789abcdef");
    std::string damagedHeader = header;
    damagedHeader[30] = '1';
    struct Case {
        std::string text;
        bool ok;
    };
    const Case cases[] = {
        {"", true},
        {std::string(100, '\0'), true}, // space reserved, nothing written yet
        {header.substr(0, 9), true},    // torn while it began
        {header.substr(0, 30) + std::string(5, '\0'), true},
        {header, true},
        {"vantrel rename journal 1\nR\t0\t/a\t/b\n", false}, // an earlier version
        {damagedHeader, false},
        {sealJournalLine("", std::string(kJournalStem) + "2\t0123"), false},
        {"R\t0\t1\t2\t/a\t/b\n", false},
        {"my notes\n", false},
        {"my notes", false},
    };
    for (const Case& c : cases) {
        JournalContents contents;
        const Result r = parseJournal(c.text, contents);
        EXPECT_EQ(r.ok(), c.ok) << c.text;
        EXPECT_TRUE(contents.log.empty());
    }
}

TEST(Journal, TheLockKeepsOthersOutUntilTheBatchEnds) {
    MemoryFileSystem fs;
    JournalContents contents;
    ASSERT_TRUE(inspectJournal(fs, kJournal, contents).ok()); // missing: nothing to undo
    EXPECT_TRUE(contents.log.empty());
    EXPECT_TRUE(clearJournal(fs, kJournal).ok());

    FileJournal journal(fs, kJournal);
    ASSERT_TRUE(journal.beginBatch().ok());
    EXPECT_TRUE(fs.exists("/state/vantrel/")) << "its folders are made";
    // What the reader would refuse is never written.
    EXPECT_FALSE(journal.beforeRename(pairOf("a", "/b")).ok());
    EXPECT_FALSE(journal.beforeRename(pairOf("/a", std::string("/b\0c", 4))).ok());
    EXPECT_FALSE(journal.beforeRename({"/a", "/b", true, {}, {}}).ok()) << "no identity";
    EXPECT_FALSE(journal.viaTemporary("/t").ok()); // no pair recorded
    ASSERT_TRUE(journal.beforeRename(pairOf("/a", "/b")).ok());

    // While a batch writes it, nobody else may begin, undo or empty it; a
    // look at it says that it is in use.
    FileJournal other(fs, kJournal);
    const Result begun = other.beginBatch();
    EXPECT_EQ(begun.error().code, EWOULDBLOCK);
    EXPECT_NE(begun.error().text().find(kJournal), std::string::npos);
    StatusPanes status;
    JournalUndo undo;
    EXPECT_EQ(undoJournal(fs, kJournal, status, undo).error().code, EWOULDBLOCK);
    EXPECT_EQ(clearJournal(fs, kJournal).error().code, EWOULDBLOCK);
    ASSERT_TRUE(inspectJournal(fs, kJournal, contents).ok());
    EXPECT_TRUE(contents.heldByOther);
    EXPECT_FALSE(contents.finished);
    EXPECT_EQ(contents.log.pairs().size(), 1u);
    journal.afterRename(RenameEffect::Renamed);
    journal.endBatch();

    ASSERT_TRUE(inspectJournal(fs, kJournal, contents).ok());
    EXPECT_FALSE(contents.heldByOther);
    EXPECT_TRUE(contents.finished);
    ASSERT_EQ(contents.log.pairs().size(), 1u);
    EXPECT_TRUE(contents.log.pairs()[0].confirmed);
    // Emptied only when it holds the batch meant.
    EXPECT_FALSE(clearJournal(fs, kJournal, "0000000000000000").ok());
    EXPECT_FALSE(fs.content(kJournal).empty());
    ASSERT_TRUE(clearJournal(fs, kJournal, journal.batch()).ok());
    EXPECT_EQ(fs.content(kJournal), "");

    // A file that is not a journal is never emptied.
    fs.addFile("/home/notes.txt", "keep me\n");
    FileJournal wrong(fs, "/home/notes.txt");
    EXPECT_FALSE(wrong.beginBatch().ok());
    EXPECT_FALSE(clearJournal(fs, "/home/notes.txt").ok());
    EXPECT_FALSE(inspectJournal(fs, "/home/notes.txt", contents).ok());
    EXPECT_FALSE(undoJournal(fs, "/home/notes.txt", status, undo).ok());
    EXPECT_EQ(fs.content("/home/notes.txt"), "keep me\n");

    FileJournal blocked(fs, "/home/notes.txt/j"); // a file where a folder must be
    EXPECT_FALSE(blocked.beginBatch().ok());

    // A writer killed right after it reserved space left zeros: a journal still.
    fs.addFile("/home/reserved", std::string(4096, '\0'));
    FileJournal reserved(fs, "/home/reserved");
    EXPECT_TRUE(reserved.beginBatch().ok());
}

TEST(Journal, AWriteFailureStopsEveryLaterRecord) {
    MemoryFileSystem fs;
    FileJournal journal(fs, kJournal);
    ASSERT_TRUE(journal.beginBatch().ok());
    ASSERT_TRUE(journal.beforeRename(pairOf("/a", "/b")).ok());
    journal.afterRename(RenameEffect::Renamed);
    fs.failNthCall(Op::JournalAppend, 1, ENOSPC);
    const Result failed = journal.beforeRename(pairOf("/c", "/d"));
    EXPECT_EQ(failed.error().code, ENOSPC);
    EXPECT_FALSE(journal.writeFailure().ok());
    // A torn record must stay the last line: nothing may be glued to it.
    EXPECT_FALSE(journal.beforeRename(pairOf("/e", "/f")).ok());
    journal.afterRename(RenameEffect::NotRenamed);
    journal.endBatch();
    JournalContents contents;
    EXPECT_EQ(readText(fs.content(kJournal), &contents), (std::vector<std::string>{"/a>/b?"}));
    EXPECT_FALSE(contents.finished) << "an end that could not be written is not claimed";
}

// The kernel's part: flock between two opens, modes, a real folder.
TEST(JournalDisk, FilesFoldersAndLocks) {
    const TempDir dir;
    PosixFileSystem fs;
    const std::string path = dir.file("state/vantrel/last.journal");
    FileJournal journal(fs, path);
    ASSERT_TRUE(journal.beginBatch().ok());
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("state/vantrel").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_TRUE(journal.beforeRename(pairOf("/a", "/b")).ok());

    FileJournal other(fs, path);
    EXPECT_EQ(other.beginBatch().error().code, EWOULDBLOCK);
    JournalContents contents;
    ASSERT_TRUE(inspectJournal(fs, path, contents).ok());
    EXPECT_TRUE(contents.heldByOther);
    EXPECT_EQ(contents.log.pairs().size(), 1u) << "read through the reserved space";
    StatusPanes status;
    JournalUndo undo;
    EXPECT_EQ(undoJournal(fs, path, status, undo).error().code, EWOULDBLOCK);
    journal.afterRename(RenameEffect::NotRenamed);
    journal.endBatch();
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().find('\0'), std::string::npos) << "the reserved zeros are given back";
    ASSERT_TRUE(inspectJournal(fs, path, contents).ok());
    EXPECT_FALSE(contents.heldByOther);
    EXPECT_TRUE(contents.finished);
}

TEST(Journal, DefaultPathFollowsTheStateFolderRule) {
    const auto saved = [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        return v != nullptr ? std::optional<std::string>(v) : std::nullopt;
    };
    const auto state = saved("XDG_STATE_HOME");
    const auto home = saved("HOME");
    struct Case {
        const char* state;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"/s", "/h", "/s/vantrel/last-batch.journal"},
        {"relative", "/h", "/h/.local/state/vantrel/last-batch.journal"},
        {nullptr, "/h", "/h/.local/state/vantrel/last-batch.journal"},
        {"", "/h", "/h/.local/state/vantrel/last-batch.journal"},
    };
    for (const Case& c : cases) {
        if (c.state != nullptr)
            ::setenv("XDG_STATE_HOME", c.state, 1);
        else
            ::unsetenv("XDG_STATE_HOME");
        ::setenv("HOME", c.home, 1);
        EXPECT_EQ(defaultJournalPath(), c.expected);
    }
    ::unsetenv("HOME"); // then the user database
    EXPECT_TRUE(defaultJournalPath().ends_with("/.local/state/vantrel/last-batch.journal"));
    for (const auto& [name, value] : {std::pair{"XDG_STATE_HOME", state}, {"HOME", home}}) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
}

// ---- whole batches, killed and damaged ----

class QuietUi final : public RenameUi {
public:
    bool confirmRename(std::int32_t, Preferences&) override { return true; }
    void showError(const std::string&) override {}
    bool skipFailedItem(const std::string&, const ItemFailure&) override { return true; }
    bool reverseAfterStop() override { return false; }
    void renameComplete(const std::string&, Preferences&) override {}
};

/// A batch planned on a memory file system: folder F and then its content,
/// a chain whose every target is freed by the rename before it, a target
/// that exists, a rename that fails, a name onto its own hard link, and
/// letter-case changes in a case-insensitive folder (through temporary
/// names), one onto a hard link of itself.
struct PlannedBatch {
    MemoryFileSystem fs;
    std::vector<FileEntry> entries;

    PlannedBatch() {
        fs.addFolder("/t");
        fs.setCaseInsensitive("/ci");
        const std::pair<std::string, std::string> plan[] = {
            {"/t/F", "G"},    {"/t/F/x\n", "y\xFF"}, {"/t/c", "d"},         {"/t/b", "c"},
            {"/t/a", "b"},    {"/t/clash", "taken"}, {"/t/locked", "free"}, {"/t/h1", "h2"},
            {"/ci/Up", "up"}, {"/ci/Low", "LOW"},    {"/ci/k", "K"},        {"/t/q", "q"},
        };
        for (const auto& [path, newName] : plan) {
            if (path == "/t/F")
                fs.addFolder(path);
            else
                fs.addFile(path, "content of " + path);
        }
        fs.addFile("/t/taken", "someone's");
        fs.addHardLink("/t/h1", "/t/h2");
        fs.addHardLink("/ci/k", "/ci/k-link");
        fs.failPath(Op::Rename, "/t/locked", EACCES);
        for (const auto& [path, newName] : plan)
            add(path, newName, path == "/t/F");
    }

    /// A batch full of swaps: two swaps (one of a folder with a file, the
    /// folder's content renamed too), a ring of three, and a chain listed
    /// against its order.
    struct Swaps {};
    explicit PlannedBatch(Swaps) {
        const std::pair<std::string, std::string> plan[] = {
            {"/s/a", "b"}, {"/s/b", "a"}, {"/s/c", "d"},      {"/s/d", "e"}, {"/s/e", "c"},
            {"/s/F", "G"}, {"/s/G", "F"}, {"/s/F/in", "out"}, {"/s/1", "2"}, {"/s/2", "3"},
        };
        fs.addFolder("/s/F");
        for (const auto& [path, newName] : plan) {
            if (path != "/s/F")
                fs.addFile(path, "content of " + path);
        }
        for (const auto& [path, newName] : plan)
            add(path, newName, path == "/s/F");
    }

    void add(const std::string& path, const std::string& newName, bool isFolder) {
        const std::size_t slash = path.rfind('/');
        auto folder = std::make_shared<EntryFolder>();
        folder->path = path.substr(0, slash);
        entries.emplace_back(folder, path.substr(slash + 1), isFolder);
        entries.back().setNewName(newName);
    }

    RenameOutcome run(FileSystem& on, UndoLog& log, Preferences preferences = {}) {
        RenameRequest request;
        for (FileEntry& e : entries)
            request.selected.push_back(&e);
        FileJournal journal(on, kJournal);
        QuietUi ui;
        StatusPanes status;
        return runRenameBatch(request, preferences, on, ui, status, log, &journal);
    }
};

/// Every file and folder outside the journal's folder, with its content.
std::vector<std::pair<std::string, std::string>> files(const MemoryFileSystem& fs) {
    std::vector<std::pair<std::string, std::string>> out;
    for (auto& entry : fs.snapshot()) {
        if (!entry.first.starts_with("/state"))
            out.push_back(std::move(entry));
    }
    return out;
}

/// Every path with the inode it names, files and folders.
std::map<std::string, std::uint64_t> names(const MemoryFileSystem& fs) {
    std::map<std::string, std::uint64_t> out;
    for (const auto& [path, content] : fs.snapshot()) {
        const std::string p = path.ends_with('/') ? path.substr(0, path.size() - 1) : path;
        if (!p.starts_with("/state"))
            out[p] = fs.inodeOf(p);
    }
    return out;
}

bool isMutation(Op op) {
    return op == Op::Rename || op == Op::Copy || op == Op::Remove || op == Op::WriteFile ||
           op == Op::CreateFolder || op == Op::JournalAppend || op == Op::JournalTruncate;
}

/// Each entry as (its inode, its folder's inode, its name): where it is, told
/// apart from how its folder is spelt now.
std::set<std::tuple<std::uint64_t, std::uint64_t, std::string>>
placesOf(const MemoryFileSystem& fs) {
    std::set<std::tuple<std::uint64_t, std::uint64_t, std::string>> out;
    for (const auto& [path, inode] : names(fs)) {
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
        out.emplace(inode, fs.inodeOf(folder), path.substr(slash + 1));
    }
    return out;
}

/// The disk (journal included) just before every change the batch makes,
/// and at its end: each is how a process killed at that instant leaves it.
std::vector<MemoryFileSystem> instantsOf(PlannedBatch& batch, UndoLog& log,
                                         RenameOutcome& outcome) {
    std::vector<MemoryFileSystem> instants;
    batch.fs.beforeEveryCall([&](Op op, const std::string&) {
        if (isMutation(op))
            instants.emplace_back(batch.fs);
    });
    outcome = batch.run(batch.fs, log);
    batch.fs.beforeEveryCall({});
    instants.emplace_back(batch.fs);
    return instants;
}

/// Every instant of `batch` killed, then undone from the journal (and
/// every instant of that undo killed, then undone again): the names and
/// contents are those before the batch each time.
void expectEveryInstantUndone(PlannedBatch& batch, std::int32_t renamed, std::size_t skipped) {
    const auto original = names(batch.fs);
    const auto contents = files(batch.fs);
    UndoLog log;
    RenameOutcome outcome;
    const std::vector<MemoryFileSystem> instants = instantsOf(batch, log, outcome);
    ASSERT_EQ(outcome.end, RenameOutcome::End::Completed);
    ASSERT_EQ(outcome.renamed, renamed);
    ASSERT_EQ(outcome.skipped.size(), skipped);
    EXPECT_GT(instants.size(), 20u);

    JournalContents complete;
    ASSERT_TRUE(parseJournal(instants.back().content(kJournal), complete).ok());
    EXPECT_TRUE(sameLog(complete.log, log)); // a batch that ends leaves exactly its log
    EXPECT_TRUE(complete.finished);

    for (std::size_t i = 0; i < instants.size(); ++i) {
        MemoryFileSystem killed(instants[i]);
        std::vector<MemoryFileSystem> undoInstants;
        killed.beforeEveryCall([&](Op op, const std::string&) {
            if (isMutation(op))
                undoInstants.emplace_back(killed);
        });
        StatusPanes status;
        JournalUndo undo;
        ASSERT_TRUE(undoJournal(killed, kJournal, status, undo).ok()) << i;
        killed.beforeEveryCall({});
        EXPECT_TRUE(undo.outcome.failures.empty()) << i << ": " << status.message;
        EXPECT_EQ(names(killed), original) << "killed before change " << i;
        EXPECT_EQ(files(killed), contents) << i;
        // The undo itself killed at each of its changes: the next one finishes it.
        for (std::size_t u = 0; u < undoInstants.size(); ++u) {
            MemoryFileSystem again(undoInstants[u]);
            JournalUndo second;
            ASSERT_TRUE(undoJournal(again, kJournal, status, second).ok());
            EXPECT_TRUE(second.outcome.failures.empty())
                << i << "/" << u << ": " << status.message << " "
                << (second.outcome.failures.empty() ? ""
                                                    : second.outcome.failures[0].item + " " +
                                                          second.outcome.failures[0].message);
            EXPECT_EQ(names(again), original) << "undo of " << i << " killed at " << u;
        }
    }
}

// The promise the journal exists for: the process dies at any instant of a
// batch, and the journal reverses everything it did; an undo that dies at
// any instant is finished by the next one.
TEST(Journal, ABatchKilledAtAnyInstantIsReversedCompletely) {
    PlannedBatch batch;
    // The clash, the locked one and the hard link are skipped.
    expectEveryInstantUndone(batch, 8, 3);
}

// The same for a batch whose every item waits for another or is part of a
// ring: the temporary names are journalled like any step.
TEST(Journal, ABatchOfSwapsKilledAtAnyInstantIsReversedCompletely) {
    PlannedBatch batch{PlannedBatch::Swaps{}};
    expectEveryInstantUndone(batch, 10, 0);
}

// Random byte changes in a journal: whatever is read, undo never moves a
// file to a name it never had (nor into a folder it was never in), and the
// damage is always noticed.
TEST(Journal, RandomDamageNeverInventsANameAndIsAlwaysNoticed) {
    PlannedBatch batch;
    UndoLog log;
    RenameOutcome outcome;
    const std::vector<MemoryFileSystem> instants = instantsOf(batch, log, outcome);
    // Every place each file or folder had at any instant of the batch.
    std::set<std::tuple<std::uint64_t, std::uint64_t, std::string>> had;
    for (const MemoryFileSystem& instant : instants)
        had.merge(placesOf(instant));
    std::mt19937 random(20240611);
    std::size_t trials = 0;
    std::size_t refused = 0;
    for (std::size_t i = 0; i < instants.size(); ++i) {
        const std::string text = instants[i].content(kJournal);
        if (text.empty())
            continue;
        for (std::size_t trial = 0; trial < 60; ++trial, ++trials) {
            MemoryFileSystem damaged(instants[i]);
            std::string changed = text;
            const int count = 1 + static_cast<int>(random() % 3);
            for (int k = 0; k < count; ++k)
                changed[random() % changed.size()] = static_cast<char>(random() % 256);
            if (changed == text)
                continue;
            ASSERT_TRUE(damaged.writeFileAtomically(kJournal, changed).ok());
            StatusPanes status;
            JournalUndo undo;
            const Result r = undoJournal(damaged, kJournal, status, undo);
            const JournalDamage& seen = undo.contents.damage;
            EXPECT_TRUE(!r.ok() || seen.lines > 0 || seen.tornTail) << i << "/" << trial;
            refused += r.ok() ? 0U : 1U;
            for (const auto& place : placesOf(damaged))
                EXPECT_EQ(had.count(place), 1u)
                    << std::get<2>(place) << " at " << i << "/" << trial;
        }
    }
    EXPECT_GT(trials, 1000u);
    EXPECT_LT(refused, trials) << "most damage leaves the rest of the journal usable";
}

} // namespace
} // namespace vantrel
