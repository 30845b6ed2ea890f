#include "rename/Journal.h"

#include "testsupport/MemoryFileSystem.h"
#include "platform/TempDir_test.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace vantrel {
namespace {

using test::TempDir;

/// The journal's text: up to the first zero byte, as the reader takes it
/// (a batch still running has its reserved zeros after the records).
std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    return all.substr(0, all.find('\0'));
}

/// What the reader gives for `text`, as "old>new" with "?" for unconfirmed
/// pairs and "~temp" for a temporary name.
std::vector<std::string> readText(std::string_view text, JournalDamage* damage = nullptr) {
    UndoLog log;
    const Result r = parseJournal(text, log, damage);
    EXPECT_TRUE(r.ok()) << r.error().text();
    std::vector<std::string> out;
    for (const UndoPair& p : log.pairs())
        out.push_back(p.oldPath + ">" + p.newPath + (p.confirmed ? "" : "?") +
                      (p.temporaryPath.empty() ? "" : "~" + p.temporaryPath));
    return out;
}

bool sameLog(const UndoLog& a, const UndoLog& b) {
    if (a.pairs().size() != b.pairs().size())
        return false;
    for (std::size_t i = 0; i < a.pairs().size(); ++i) {
        const UndoPair& x = a.pairs()[i];
        const UndoPair& y = b.pairs()[i];
        if (x.oldPath != y.oldPath || x.newPath != y.newPath || x.confirmed != y.confirmed ||
            x.temporaryPath != y.temporaryPath)
            return false;
    }
    return true;
}

TEST(Journal, EveryByteOfANameRoundTrips) {
    const TempDir dir;
    std::vector<UndoPair> written;
    for (int b = 1; b < 256; ++b) { // NUL cannot be part of a path
        const std::string name(1, static_cast<char>(b));
        written.push_back({"/d/a" + name + "b", "/d/" + name + name + "%0A", true, {}});
    }
    written.push_back({"/d/line\nbreak\r\n", "/d/tab\there\x7F", true, {}});
    written.push_back({"/d/\xC3\x28 \xFF\xFE invalid", "/d/\xE2\x82 cut %%41", true, {}});

    FileJournal journal(dir.file("j"));
    ASSERT_TRUE(journal.beginBatch().ok());
    for (const UndoPair& pair : written) {
        ASSERT_TRUE(journal.beforeRename(pair).ok());
        journal.afterRename(true);
    }
    journal.endBatch();

    UndoLog log;
    ASSERT_TRUE(readJournal(dir.file("j"), log).ok());
    UndoLog expected;
    for (const UndoPair& pair : written)
        expected.add(pair);
    EXPECT_TRUE(sameLog(log, expected));

    // One line per record, and no byte in it that could split a line or a field.
    const std::string text = fileText(dir.file("j"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 2 * std::ssize(written));
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE(byte >= 0x20 ? byte != 0x7F : byte == '\t' || byte == '\n') << int(byte);
    }
}

void doneMarkRidesWithTheNextRecord(FileJournal::Writing writing) {
    const TempDir dir;
    const std::string path = dir.file("j");
    FileJournal journal(path, writing);
    ASSERT_TRUE(journal.beginBatch().ok());
    const std::string header = std::string(kJournalHeader) + "\n";
    EXPECT_EQ(fileText(path), header);

    ASSERT_TRUE(journal.beforeRename({"/a/x", "/a/y", true, {}}).ok());
    journal.afterRename(true);
    // Not written yet: the disk decides for the latest pair if the process dies now.
    EXPECT_EQ(fileText(path), header + "R\t0\t/a/x\t/a/y\n");
    EXPECT_EQ(readText(fileText(path)), (std::vector<std::string>{"/a/x>/a/y?"}));

    ASSERT_TRUE(journal.beforeRename({"/a/p", "/a/q", true, {}}).ok());
    EXPECT_EQ(fileText(path), header + "R\t0\t/a/x\t/a/y\nD\t0\nR\t1\t/a/p\t/a/q\n");
    journal.afterRename(false); // a failure is written at once
    EXPECT_EQ(fileText(path), header + "R\t0\t/a/x\t/a/y\nD\t0\nR\t1\t/a/p\t/a/q\nF\t1\n");

    ASSERT_TRUE(journal.beforeRename({"/a/Up", "/a/up", true, {}}).ok());
    ASSERT_TRUE(journal.viaTemporary("/a/.t0").ok());
    ASSERT_TRUE(journal.viaTemporary("/a/.t1").ok()); // the latest attempt counts
    journal.afterRename(true);
    EXPECT_EQ(readText(fileText(path)),
              (std::vector<std::string>{"/a/x>/a/y", "/a/Up>/a/up?~/a/.t1"}));
    journal.endBatch();
    EXPECT_EQ(readText(fileText(path)),
              (std::vector<std::string>{"/a/x>/a/y", "/a/Up>/a/up~/a/.t1"}));

    // A new batch replaces the old one.
    ASSERT_TRUE(journal.beginBatch().ok());
    journal.endBatch();
    EXPECT_EQ(fileText(path), header);
}

TEST(Journal, DoneMarkRidesWithTheNextRecord) {
    doneMarkRidesWithTheNextRecord(FileJournal::Writing::Mapped);
    doneMarkRidesWithTheNextRecord(FileJournal::Writing::WriteCalls);
}

TEST(Journal, AMappedJournalThatCannotGrowStops) {
    const TempDir dir;
    const std::string path = dir.file("j");
    FileJournal journal(path);
    ASSERT_TRUE(journal.beginBatch().ok());
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = 3 << 20; // room for the first reservation and one more, not the next
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const std::string name = "/" + std::string(200, 'n');
    std::size_t written = 0;
    Result r;
    while (written < 100000 && (r = journal.beforeRename({name, name + "2", true, {}}))) {
        journal.afterRename(true);
        ++written;
    }
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_FALSE(r.ok());
    EXPECT_TRUE(r.error().code == EFBIG || r.error().code == ENOSPC) << r.error().text();
    EXPECT_FALSE(journal.beforeRename({"/e", "/f", true, {}}).ok());
    journal.endBatch();
    UndoLog log;
    ASSERT_TRUE(readJournal(path, log).ok());
    EXPECT_EQ(log.pairs().size(), written) << "every record made before the failure, no more";
    EXPECT_GT(written * name.size() * 2, std::size_t{1} << 20)
        << "the journal grew past its first reservation before it failed";
}

TEST(Journal, EveryCutOfTheFileReadsSafely) {
    const TempDir dir;
    const std::string path = dir.file("j");
    FileJournal journal(path);
    ASSERT_TRUE(journal.beginBatch().ok());
    const bool succeeds[] = {true, false, true, true, false, true};
    for (std::size_t i = 0; i < std::size(succeeds); ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(journal.beforeRename({"/f/old" + n + "%\n", "/f/new" + n, true, {}}).ok());
        if (i == 3) {
            ASSERT_TRUE(journal.viaTemporary("/f/tmp").ok());
        }
        journal.afterRename(succeeds[i]);
    }
    journal.endBatch();
    const std::string full = fileText(path);
    EXPECT_EQ(readText(full),
              (std::vector<std::string>{"/f/old0%\n>/f/new0", "/f/old2%\n>/f/new2",
                                        "/f/old3%\n>/f/new3~/f/tmp", "/f/old5%\n>/f/new5"}));

    // A write cut short anywhere: each pair read is one that was written,
    // read exactly, and never more certain than it was: a pair is confirmed
    // only once done, and a failed one can only be there unmarked.
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        UndoLog log;
        JournalDamage damage;
        ASSERT_TRUE(parseJournal(full.substr(0, cut), log, &damage).ok()) << cut;
        EXPECT_EQ(damage.lines, 0u);
        EXPECT_EQ(damage.tornTail, cut != 0 && full[cut - 1] != '\n') << cut;
        std::size_t i = 0;
        for (const UndoPair& p : log.pairs()) {
            while (i < std::size(succeeds) && p.oldPath != "/f/old" + std::to_string(i) + "%\n")
                ++i;
            ASSERT_LT(i, std::size(succeeds)) << cut << ": " << p.oldPath;
            EXPECT_EQ(p.newPath, "/f/new" + std::to_string(i));
            EXPECT_TRUE(p.temporaryPath.empty() || (i == 3 && p.temporaryPath == "/f/tmp"));
            EXPECT_TRUE(succeeds[i] || !p.confirmed) << cut;
        }
    }
}

TEST(Journal, DamagedLinesAreLeftOutNeverGuessed) {
    const std::string h = std::string(kJournalHeader) + "\n";
    struct Case {
        std::string body;
        std::vector<std::string> pairs;
        std::size_t damaged;
    };
    const Case cases[] = {
        {"R\t0\t/a\t/b\nD\t0\nR\t1\t/c\t/d\n", {"/a>/b", "/c>/d?"}, 0},
        {"X\t0\nR\t0\t/a\t/b\nQ\n\nD\t0\n", {"/a>/b"}, 3}, // unknown records
        {"R\t0\t/a%4\t/b\nD\t0\n", {}, 2},                 // escape cut short
        {"R\t0\t/a%G0\t/b\n", {}, 1},                      // not hex
        {"R\t0\t/a%00x\t/b\n", {}, 1},                     // NUL would cut the path
        {"R\t0\ta\t/b\nR\t1\t/a\t\n", {}, 2},              // not absolute, empty
        {std::string("R\t0\t/a\x01\t/b\n"), {}, 1},        // raw control byte
        {"R\t0\t/a\t/b\t/c\nR\t1\t/a\n", {}, 2},           // field count
        {"R\t00\t/a\t/b\nR\t-1\t/a\t/b\nR\t99999999999999999999\t/a\t/b\n", {}, 3},
        {"R\t5\t/a\t/b\nR\t5\t/c\t/d\nR\t2\t/e\t/f\n", {"/a>/b?"}, 2}, // order
        {"R\t0\t/a\t/b\nD\t1\nF\t7\nT\t3\t/t\n", {"/a>/b?"}, 3},       // no such pair
        {"R\t0\t/a\t/b\nD\t0\nF\t0\n", {"/a>/b?"}, 1},                 // conflict
        {"R\t0\t/a\t/b\nF\t0\nD\t0\nT\t0\t/t\n", {"/a>/b?"}, 2},
        {"R\t0\t/a\t/b\nF\t0\nF\t0\nR\t1\t/c\t/d\nD\t1\nD\t1\n", {"/c>/d"}, 0},
        {"R\t0\t/a\t/b\nT\t0\tt\n", {"/a>/b?"}, 1},
        {"R\t0\t/a%2f%0a\t/b\nD\t0\n", {"/a/\n>/b"}, 0}, // lower-case hex
    };
    for (const Case& c : cases) {
        JournalDamage damage;
        EXPECT_EQ(readText(h + c.body, &damage), c.pairs) << c.body;
        EXPECT_EQ(damage.lines, c.damaged) << c.body;
        EXPECT_FALSE(damage.tornTail);
    }
}

TEST(Journal, HeaderDecidesWhetherTheTextIsRead) {
    struct Case {
        std::string text;
        bool ok;
    };
    const Case cases[] = {
        {"", true},
        {std::string(kJournalHeader).substr(0, 9), true}, // torn while it began
        {std::string(kJournalHeader) + "\n", true},
        {"vantrel rename journal 2\nR\t0\t/a\t/b\n", false},
        {"R\t0\t/a\t/b\n", false},
        {"my notes\n", false},
        {"my notes", false},
    };
    for (const Case& c : cases) {
        UndoLog log;
        const Result r = parseJournal(c.text, log);
        EXPECT_EQ(r.ok(), c.ok) << c.text;
        EXPECT_TRUE(log.empty());
    }
}

TEST(Journal, FilesFoldersAndLocks) {
    const TempDir dir;
    const std::string path = dir.file("state/vantrel/last.journal");
    UndoLog log;
    ASSERT_TRUE(readJournal(path, log).ok()); // missing: nothing to undo
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(clearJournal(path).ok());

    {
        FileJournal journal(path);
        ASSERT_TRUE(journal.beginBatch().ok());
        struct stat info {};
        ASSERT_EQ(::stat(dir.file("state/vantrel").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        // What the reader would refuse is never written.
        EXPECT_FALSE(journal.beforeRename({"a", "/b", true, {}}).ok());
        EXPECT_FALSE(journal.beforeRename({"/a", std::string("/b\0c", 4), true, {}}).ok());
        EXPECT_FALSE(journal.viaTemporary("/t").ok()); // no pair recorded
        ASSERT_TRUE(journal.beforeRename({"/a", "/b", true, {}}).ok());

        // While a batch writes it, nobody else may begin, read or empty it.
        FileJournal other(path);
        const Result begun = other.beginBatch();
        EXPECT_FALSE(begun.ok());
        EXPECT_NE(begun.error().text().find(path), std::string::npos);
        EXPECT_FALSE(readJournal(path, log).ok());
        EXPECT_FALSE(clearJournal(path).ok());
        journal.afterRename(true);
    } // ends the batch
    ASSERT_TRUE(readJournal(path, log).ok());
    ASSERT_EQ(log.pairs().size(), 1u);
    EXPECT_TRUE(log.pairs()[0].confirmed);
    ASSERT_TRUE(clearJournal(path).ok());
    EXPECT_EQ(fileText(path), "");

    // A file that is not a journal is never emptied.
    const std::string document = dir.file("notes.txt");
    std::ofstream(document) << "keep me\n";
    FileJournal wrong(document);
    EXPECT_FALSE(wrong.beginBatch().ok());
    EXPECT_FALSE(clearJournal(document).ok());
    EXPECT_FALSE(readJournal(document, log).ok());
    EXPECT_EQ(fileText(document), "keep me\n");

    FileJournal blocked(dir.file("notes.txt/j")); // a file where a folder must be
    const Result r = blocked.beginBatch();
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.error().code, ENOTDIR);
}

TEST(Journal, AWriteFailureStopsEveryLaterRecord) {
    const TempDir dir;
    const std::string path = dir.file("j");
    FileJournal journal(path, FileJournal::Writing::WriteCalls);
    ASSERT_TRUE(journal.beginBatch().ok());
    ASSERT_TRUE(journal.beforeRename({"/a", "/b", true, {}}).ok());
    journal.afterRename(true);

    // A file size limit makes the next write come up short, then fail.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = fileText(path).size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const Result failed = journal.beforeRename({"/c", "/" + std::string(100, 'd'), true, {}});
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().code, EFBIG);
    EXPECT_FALSE(journal.writeFailure().ok());
    // The torn record stays the last line: nothing may be glued to it.
    EXPECT_FALSE(journal.beforeRename({"/e", "/f", true, {}}).ok());
    journal.afterRename(false);
    journal.endBatch();
    JournalDamage damage;
    EXPECT_EQ(readText(fileText(path), &damage), (std::vector<std::string>{"/a>/b"}));
    EXPECT_TRUE(damage.tornTail);
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

/// Entries for paths of a memory file system, each with its new name.
struct Listed {
    std::vector<FileEntry> entries;
    std::vector<FileEntry*> selected() {
        std::vector<FileEntry*> out;
        for (FileEntry& e : entries)
            out.push_back(&e);
        return out;
    }
};

class QuietUi final : public RenameUi {
public:
    bool confirmRename(std::int32_t, Preferences&) override { return true; }
    void showError(const std::string&) override {}
    bool skipFailedItem(const std::string&, const ItemFailure&) override { return true; }
    bool reverseAfterStop() override { return false; }
    void renameComplete(const std::string&, Preferences&) override {}
};

MemoryFileSystem rebuild(const std::vector<std::pair<std::string, std::string>>& snapshot) {
    MemoryFileSystem fs;
    for (const auto& [path, content] : snapshot) {
        if (path.ends_with('/'))
            fs.addFolder(path.substr(0, path.size() - 1));
        else
            fs.addFile(path, content);
    }
    return fs;
}

// The promise the journal exists for: the process dies at any instant of a
// batch (before a rename, or after it and before the next record), and the
// journal reverses everything it did.
TEST(Journal, ABatchKilledAtAnyInstantIsReversedCompletely) {
    const TempDir dir;
    MemoryFileSystem fs;
    fs.addFolder("/t");
    // A folder and then its content, a chain whose every target is freed by
    // the rename before it, a target that exists and a rename that fails.
    const std::pair<std::string, std::string> plan[] = {
        {"/t/F", "G"}, {"/t/F/x\n", "y\xFF"}, {"/t/c", "d"},         {"/t/b", "c"},
        {"/t/a", "b"}, {"/t/clash", "taken"}, {"/t/locked", "free"}, {"/t/q", "q"},
    };
    for (const auto& [path, newName] : plan)
        path == "/t/F" ? fs.addFolder(path) : fs.addFile(path, "content of " + path);
    fs.addFile("/t/taken");
    fs.failPath(MemoryFileSystem::Operation::Rename, "/t/locked", EACCES);
    const auto original = fs.snapshot();

    Listed listed;
    for (const auto& [path, newName] : plan) {
        const std::size_t slash = path.rfind('/');
        auto folder = std::make_shared<EntryFolder>();
        folder->path = path.substr(0, slash);
        listed.entries.emplace_back(folder, path.substr(slash + 1), path == "/t/F");
        listed.entries.back().setNewName(newName);
    }

    struct Instant {
        std::string journal;
        std::vector<std::pair<std::string, std::string>> disk;
    };
    std::vector<Instant> instants;
    const std::string path = dir.file("j");
    std::function<void()> snap = [&] {
        instants.push_back({fileText(path), fs.snapshot()});
        fs.beforeNthCall(MemoryFileSystem::Operation::Rename, 1, snap);
    };
    fs.beforeNthCall(MemoryFileSystem::Operation::Rename, 1, snap);
    FileJournal journal(path);
    RenameRequest request;
    request.selected = listed.selected();
    Preferences preferences;
    QuietUi ui;
    StatusPanes status;
    UndoLog log;
    const RenameOutcome outcome =
        runRenameBatch(request, preferences, fs, ui, status, log, &journal);
    ASSERT_EQ(outcome.end, RenameOutcome::End::Completed);
    ASSERT_EQ(outcome.renamed, 5);
    ASSERT_EQ(outcome.skipped.size(), 2u);
    instants.push_back({fileText(path), fs.snapshot()});

    UndoLog complete;
    ASSERT_TRUE(parseJournal(instants.back().journal, complete).ok());
    EXPECT_TRUE(sameLog(complete, log)); // a batch that ends leaves exactly its log

    for (std::size_t i = 0; i < instants.size(); ++i) {
        // Killed before the rename, and (with the next disk) just after it.
        for (std::size_t disk = i; disk <= std::min(i + 1, instants.size() - 1); ++disk) {
            MemoryFileSystem after = rebuild(instants[disk].disk);
            UndoLog read;
            ASSERT_TRUE(parseJournal(instants[i].journal, read).ok());
            const UndoOutcome undone = undoRename(read, after, status);
            EXPECT_TRUE(undone.failures.empty()) << i << "/" << disk;
            EXPECT_EQ(after.snapshot(), original) << i << "/" << disk;
        }
    }
}

} // namespace
} // namespace vantrel
