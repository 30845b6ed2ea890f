#include "rename/RenameBatch.h"

#include "rename/Journal.h"

#include "platform/PosixFileSystem.h"
#include "platform/TempDir_test.h"
#include "testsupport/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {
namespace {

/// Answers the batch's questions from a script and records what it was shown.
class ScriptedUi final : public RenameUi {
public:
    bool confirmRename(std::int32_t count, Preferences&) override {
        confirmedCount = count;
        return confirm;
    }
    void showError(const std::string& text) override { errors.push_back(text); }
    bool skipFailedItem(const std::string& text, const ItemFailure&) override {
        failures.push_back(text);
        return skip;
    }
    bool reverseAfterStop() override {
        ++reverseAsked;
        return reverse;
    }
    void renameComplete(const std::string& statistics, Preferences&) override {
        completions.push_back(statistics);
    }

    bool confirm = true;
    bool skip = true;
    bool reverse = false;
    std::int32_t confirmedCount = -1;
    int reverseAsked = 0;
    std::vector<std::string> errors;
    std::vector<std::string> failures;
    std::vector<std::string> completions;
};

/// Keeps every status text in order.
class StatusLog final : public StatusSink {
public:
    void setStatusMessage(std::string_view text) override { messages.emplace_back(text); }
    void setFavouriteName(std::string_view) override {}
    void updateStatistics(std::size_t, std::size_t) override {}
    std::vector<std::string> messages;
};

/// Entries for paths of a file system, each with its new name.
class Selection {
public:
    FileEntry& add(const std::string& path, const std::string& newName, bool isFolder = false) {
        const std::size_t slash = path.rfind('/');
        const std::string folderPath = slash == 0 ? "/" : path.substr(0, slash);
        auto& folder = folders_[folderPath];
        if (!folder) {
            auto made = std::make_shared<EntryFolder>();
            made->path = folderPath;
            folder = made;
        }
        entries_.push_back(std::make_unique<FileEntry>(folder, path.substr(slash + 1), isFolder));
        entries_.back()->setNewName(newName);
        return *entries_.back();
    }
    [[nodiscard]] RenameRequest request(std::string newLocation = {}) const {
        RenameRequest request;
        for (const auto& e : entries_)
            request.selected.push_back(e.get());
        request.newLocation = std::move(newLocation);
        return request;
    }
    [[nodiscard]] FileEntry& operator[](std::size_t i) { return *entries_[i]; }

private:
    std::map<std::string, std::shared_ptr<const EntryFolder>> folders_;
    std::vector<std::unique_ptr<FileEntry>> entries_;
};

struct BatchRun {
    RenameOutcome outcome;
    ScriptedUi ui;
    StatusLog status;
    UndoLog log;
};

void run(BatchRun& r, FileSystem& fs, const RenameRequest& request, Preferences preferences = {}) {
    r.outcome = runRenameBatch(request, preferences, fs, r.ui, r.status, r.log);
}

std::vector<std::pair<std::string, std::string>> pairsOf(const UndoLog& log) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const UndoPair& p : log.pairs())
        out.emplace_back(p.oldPath, p.newPath);
    return out;
}

TEST(RenameBatch, RenamesInListOrderAndLogsEachRename) {
    MemoryFileSystem fs;
    Selection s;
    for (int i = 0; i < 25; ++i) {
        fs.addFile("/d/f" + std::to_string(i), "content " + std::to_string(i));
        s.add("/d/f" + std::to_string(i), "g" + std::to_string(i));
    }
    BatchRun r;
    run(r, fs, s.request());
    EXPECT_EQ(r.outcome.end, RenameOutcome::End::Completed);
    EXPECT_EQ(r.outcome.renamed, 25);
    EXPECT_EQ(r.ui.confirmedCount, 25);
    EXPECT_EQ(r.ui.completions, std::vector<std::string>{"25 Entries successfully renamed."});
    EXPECT_EQ(r.status.messages, (std::vector<std::string>{
                                     "", std::string(kGeneratingStatus),
                                     std::string(kRenamingStatus), "Processed 10 files...",
                                     "Processed 20 files...", "25 Entries successfully renamed."}));
    ASSERT_EQ(r.log.pairs().size(), 25U);
    EXPECT_EQ(r.log.pairs()[3].oldPath, "/d/f3");
    EXPECT_EQ(r.log.pairs()[3].newPath, "/d/g3");
    EXPECT_EQ(s[3].name(), "g3");
    EXPECT_EQ(fs.content("/d/g24"), "content 24");

    StatusLog undoStatus;
    const UndoOutcome undone = undoRename(r.log, fs, undoStatus);
    EXPECT_EQ(undone.reversed, 25);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(undoStatus.messages,
              std::vector<std::string>{"Previous changes successfully reversed."});
    EXPECT_EQ(fs.content("/d/f24"), "content 24");
    EXPECT_FALSE(fs.exists("/d/g0"));
}

TEST(RenameBatch, UnchangedNamesAreCountedNotTouched) {
    MemoryFileSystem fs;
    fs.addFile("/d/same");
    fs.addFile("/d/case");
    Selection s;
    s.add("/d/same", "same");
    s.add("/d/case", "Case"); // a change of letter case is a change
    BatchRun r;
    r.log.add({"/old", "/new", true, {}, {}});
    run(r, fs, s.request());
    EXPECT_EQ(r.status.messages.back(),
              "2 Entries processed, 1 entries renamed. 1 entries required no changes.");
    EXPECT_TRUE(fs.exists("/d/Case"));
    EXPECT_EQ(pairsOf(r.log),
              (std::vector<std::pair<std::string, std::string>>{{"/d/case", "/d/Case"}}))
        << "an accepted batch replaces the previous undo log";
}

TEST(RenameBatch, RefusalsTouchNothing) {
    struct Case {
        const char* what;
        std::string location;
        std::string newName;
        bool confirm;
        RenameOutcome::End end;
        std::string error;
        std::string status;
    };
    const Case cases[] = {
        {"missing New Location", "/nowhere", "b", true, RenameOutcome::End::Refused,
         "/nowhere is not a valid Folder - please correct or clear.",
         std::string(kInvalidLocationStatus)},
        {"New Location is a file", "/d/a", "b", true, RenameOutcome::End::Refused,
         "/d/a is not a valid Folder - please correct or clear.",
         std::string(kInvalidLocationStatus)},
        {"invalid new name", "", "b?", true, RenameOutcome::End::Refused,
         std::string(kInvalidNamesMessage), ""},
        {"warning cancelled", "", "b", false, RenameOutcome::End::Cancelled, "",
         std::string(kCancelledStatus)},
    };
    for (const Case& c : cases) {
        MemoryFileSystem fs;
        fs.addFile("/d/a", "A");
        fs.addFile("/d/z", "Z");
        Selection s;
        s.add("/d/z", "y");
        s.add("/d/a", c.newName);
        BatchRun r;
        r.ui.confirm = c.confirm;
        r.log.add({"/earlier", "/batch", true, {}, {}});
        run(r, fs, s.request(c.location));
        EXPECT_EQ(r.outcome.end, c.end) << c.what;
        EXPECT_EQ(r.ui.errors,
                  c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error})
            << c.what;
        EXPECT_EQ(r.status.messages.back(), c.status) << c.what;
        EXPECT_EQ(r.log.pairs().size(), 1U) << c.what << ": the undo log is kept";
        EXPECT_TRUE(fs.exists("/d/a") && fs.exists("/d/z")) << c.what;
        EXPECT_EQ(fs.calls(MemoryFileSystem::Operation::Rename), 0U) << c.what;
    }
}

TEST(RenameBatch, NoWarningWhenTurnedOff) {
    MemoryFileSystem fs;
    fs.addFile("/d/a");
    Selection s;
    s.add("/d/a", "b");
    BatchRun r;
    Preferences preferences;
    preferences.displayWarningMessage = 0;
    preferences.displayConfirmationMessage = 0;
    run(r, fs, s.request(), preferences);
    EXPECT_EQ(r.ui.confirmedCount, -1);
    EXPECT_TRUE(r.ui.completions.empty());
    EXPECT_TRUE(fs.exists("/d/b"));
}

TEST(RenameBatch, ExistingTargetIsNeverReplacedWithoutOverwrite) {
    MemoryFileSystem fs;
    fs.addFile("/d/a", "A");
    fs.addFile("/d/b", "B");
    fs.addFile("/d/c", "C");
    Selection s;
    s.add("/d/a", "b");
    s.add("/d/c", "d");
    BatchRun r;
    run(r, fs, s.request());
    ASSERT_EQ(r.ui.failures.size(), 1U);
    EXPECT_EQ(r.ui.failures[0], "Item '/d/a' could not be renamed.\nTarget item '/d/b' already "
                                "exists.\nIgnore this error and continue processing?");
    EXPECT_EQ(fs.content("/d/a"), "A");
    EXPECT_EQ(fs.content("/d/b"), "B");
    EXPECT_EQ(fs.content("/d/d"), "C") << "skipped, and the batch went on";
    EXPECT_EQ(r.status.messages.back(), "1 Entries successfully renamed.");
}

TEST(RenameBatch, OverwriteReplacesOnlyWhatMayBeReplaced) {
    MemoryFileSystem fs;
    fs.addFile("/d/old.txt", "new data");
    fs.addFile("/d/target.txt", "old data");
    fs.addFolder("/d/folder");
    fs.addFile("/d/x", "X");
    fs.addFile("/d/dup1", "one");
    fs.addFile("/d/dup2", "two");
    fs.addFile("/d/swap1", "S1");
    fs.addFile("/d/swap2", "S2");
    Selection s;
    s.add("/d/old.txt", "target.txt"); // an unrelated file: replaced
    s.add("/d/x", "folder");           // a folder: never replaced
    s.add("/d/dup1", "same");
    s.add("/d/dup2", "same");   // produced by this batch: never replaced
    s.add("/d/swap1", "swap2"); // a swap: through a temporary name, nothing replaced
    s.add("/d/swap2", "swap1");
    BatchRun r;
    Preferences preferences;
    preferences.overwriteTargetFiles = 1;
    run(r, fs, s.request(), preferences);
    EXPECT_EQ(fs.content("/d/target.txt"), "new data");
    EXPECT_FALSE(fs.exists("/d/old.txt"));
    EXPECT_EQ(fs.content("/d/x"), "X");
    EXPECT_EQ(fs.content("/d/same"), "one");
    EXPECT_EQ(fs.content("/d/dup2"), "two");
    EXPECT_EQ(fs.content("/d/swap1"), "S2");
    EXPECT_EQ(fs.content("/d/swap2"), "S1");
    ASSERT_EQ(r.ui.failures.size(), 2U);
    EXPECT_NE(r.ui.failures[1].find("Target item '/d/same' already exists."), std::string::npos);
}

TEST(RenameBatch, OverwriteProtectionFollowsARenamedFolder) {
    MemoryFileSystem fs;
    fs.addFile("/d/f/a", "A");
    fs.addFile("/d/f/b", "B");
    fs.addFile("/d/x", "X");
    Selection s;
    s.add("/d/x", "y");     // produced at /d/y
    s.add("/d", "e", true); // the folder of everything, renamed after it
    s.add("/d/f/a", "b");   // onto an entry of the batch, which goes first
    s.add("/d/f/b", "c");
    s.add("/d/f/b", "c"); // listed twice: the second must not move a, now at b
    BatchRun r;
    Preferences preferences;
    preferences.overwriteTargetFiles = 1;
    run(r, fs, s.request(), preferences);
    EXPECT_EQ(fs.content("/e/f/b"), "A");
    EXPECT_EQ(fs.content("/e/f/c"), "B");
    EXPECT_EQ(fs.content("/e/y"), "X");
    ASSERT_EQ(r.ui.failures.size(), 1U);
    EXPECT_NE(r.ui.failures[0].find("listed more than once"), std::string::npos);
}

TEST(RenameBatch, CopiesIntoTheNewLocation) {
    MemoryFileSystem fs;
    fs.addFile("/src/a", "A");
    fs.addFile("/src/sub/b", "B");
    fs.addFile("/src/same", "S");
    fs.addFolder("/src/folder");
    fs.addFile("/dest/taken", "T");
    fs.addFile("/src/c", "C");
    Selection s;
    s.add("/src/a", "a1");
    s.add("/src/sub/b", "b1");  // lands flat in the New Location
    s.add("/src/same", "same"); // copied although its name does not change
    s.add("/src/folder", "folder1", true);
    s.add("/src/c", "taken");
    BatchRun r;
    run(r, fs, s.request("/dest/"));
    EXPECT_EQ(fs.content("/dest/a1"), "A");
    EXPECT_EQ(fs.content("/dest/b1"), "B");
    EXPECT_EQ(fs.content("/dest/same"), "S");
    EXPECT_EQ(fs.content("/dest/taken"), "T");
    EXPECT_TRUE(fs.exists("/src/a"));
    EXPECT_EQ(s[0].name(), "a") << "a copy leaves the entry's name";
    EXPECT_TRUE(r.log.empty());
    ASSERT_EQ(r.ui.failures.size(), 2U);
    EXPECT_EQ(r.ui.failures[0], "Item '/src/folder' could not be renamed.\nError Code: Is a "
                                "directory\nIgnore this error and continue processing?");
    EXPECT_NE(r.ui.failures[1].find("Error Code: File exists"), std::string::npos);
}

TEST(RenameBatch, FolderRenamedBeforeItsContents) {
    MemoryFileSystem fs;
    fs.addFile("/a/foo/x.txt", "X");
    fs.addFile("/a/foobar/y.txt", "Y");
    Selection s;
    s.add("/a/foo", "bar", true);
    s.add("/a/foo/x.txt", "x2.txt");
    s.add("/a/foobar/y.txt", "y2.txt");
    BatchRun r;
    run(r, fs, s.request());
    EXPECT_EQ(fs.content("/a/bar/x2.txt"), "X");
    EXPECT_EQ(fs.content("/a/foobar/y2.txt"), "Y");
    EXPECT_TRUE(r.outcome.folderRenamed);
    EXPECT_FALSE(r.outcome.refreshFiles) << "only with Recursive";
    EXPECT_EQ(pairsOf(r.log), (std::vector<std::pair<std::string, std::string>>{
                                  {"/a/foo", "/a/bar"},
                                  {"/a/bar/x.txt", "/a/bar/x2.txt"},
                                  {"/a/foobar/y.txt", "/a/foobar/y2.txt"}}));
    StatusLog status;
    (void)undoRename(r.log, fs, status);
    EXPECT_EQ(fs.content("/a/foo/x.txt"), "X");
    EXPECT_EQ(fs.content("/a/foobar/y.txt"), "Y");
}

/// Fault injection: the disk, the undo log and the reported texts agree.
TEST(RenameBatch, InjectedFaults) {
    struct Case {
        const char* what;
        std::function<void(MemoryFileSystem&)> fault;
        std::string failure;
        std::vector<std::string> after; // paths expected afterwards
    };
    const Case cases[] = {
        {"the second rename is refused",
         [](MemoryFileSystem& fs) {
             fs.failNthCall(MemoryFileSystem::Operation::Rename, 2, EACCES);
         },
         "Item '/d/2' could not be renamed.\nError Code: Permission denied",
         {"/d/2", "/d/3x", "/d/1x"}},
        {"a target appears mid-batch",
         [](MemoryFileSystem& fs) {
             fs.beforeNthCall(MemoryFileSystem::Operation::Rename, 2,
                              [&fs] { fs.addFile("/d/2x", "intruder"); });
         },
         "Item '/d/2' could not be renamed.\nTarget item '/d/2x' already exists.",
         {"/d/2", "/d/2x", "/d/3x", "/d/1x"}},
        {"a source vanished",
         [](MemoryFileSystem& fs) { (void)fs.removeFile("/d/2"); },
         "Item '/d/2' could not be renamed.\nError Code: No such file or directory",
         {"/d/3x", "/d/1x"}},
    };
    for (const Case& c : cases) {
        MemoryFileSystem fs;
        Selection s;
        for (const char* n : {"1", "2", "3"}) {
            fs.addFile(std::string("/d/") + n, n);
            s.add(std::string("/d/") + n, std::string(n) + "x");
        }
        c.fault(fs);
        BatchRun r;
        run(r, fs, s.request());
        ASSERT_EQ(r.ui.failures.size(), 1U) << c.what;
        EXPECT_EQ(r.ui.failures[0], c.failure + "\nIgnore this error and continue processing?")
            << c.what;
        std::vector<std::string> paths;
        for (const auto& [path, content] : fs.snapshot())
            if (path != "/d/")
                paths.push_back(path);
        std::vector<std::string> expected = c.after;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(paths, expected) << c.what;
        EXPECT_EQ(pairsOf(r.log), (std::vector<std::pair<std::string, std::string>>{
                                      {"/d/1", "/d/1x"}, {"/d/3", "/d/3x"}}))
            << c.what;
        EXPECT_EQ(r.status.messages.back(), "2 Entries successfully renamed.") << c.what;
    }
}

TEST(RenameBatch, StopOffersTheReversal) {
    for (const bool accept : {false, true}) {
        MemoryFileSystem fs;
        Selection s;
        for (const char* n : {"1", "2", "3", "4", "5"}) {
            fs.addFile(std::string("/d/") + n, n);
            s.add(std::string("/d/") + n, std::string(n) + "x");
        }
        fs.failNthCall(MemoryFileSystem::Operation::Rename, 3, EIO);
        BatchRun r;
        r.ui.skip = false;
        r.ui.reverse = accept;
        run(r, fs, s.request());
        EXPECT_EQ(r.ui.reverseAsked, 1);
        EXPECT_TRUE(r.ui.completions.empty());
        EXPECT_TRUE(fs.exists("/d/4") && fs.exists("/d/5") && fs.exists("/d/3"));
        if (accept) {
            EXPECT_EQ(r.outcome.end, RenameOutcome::End::Reversed);
            EXPECT_TRUE(fs.exists("/d/1") && fs.exists("/d/2"));
            EXPECT_EQ(r.status.messages.back(), "Previous changes successfully reversed.");
            EXPECT_TRUE(r.log.empty());
        } else {
            EXPECT_EQ(r.outcome.end, RenameOutcome::End::Stopped);
            EXPECT_TRUE(fs.exists("/d/1x") && fs.exists("/d/2x"));
            EXPECT_EQ(r.log.pairs().size(), 2U) << "kept for a later undo";
            EXPECT_EQ(r.status.messages.back(), std::string(kRenamingStatus));
        }
    }
}

/// Records what the batch told of its progress; may cancel after an item.
class ProgressLog final : public RenameProgress {
public:
    void batchStarted(std::int32_t items) override {
        events.push_back("start " + std::to_string(items));
    }
    void itemDone(std::int32_t index, std::int32_t processed) override {
        events.push_back(std::to_string(index) + ":" + std::to_string(processed));
        if (index == cancelAfter)
            cancel = true;
    }
    void batchFinished() override { events.push_back("end"); }
    std::vector<std::string> events;
    std::int32_t cancelAfter = -1;
    std::atomic<bool> cancel{false};
};

TEST(RenameBatch, ProgressAndCancellation) {
    MemoryFileSystem fs;
    Selection s;
    for (const char* n : {"1", "2", "3", "4"})
        fs.addFile(std::string("/d/") + n, n);
    s.add("/d/1", "1x");
    s.add("/d/2", "2"); // unchanged: counted, not touched
    s.add("/d/3", "3x");
    s.add("/d/4", "4x");
    fs.failNthCall(MemoryFileSystem::Operation::Rename, 2, EIO); // 3 fails, is skipped

    ProgressLog progress;
    progress.cancelAfter = 2;
    RenameRequest request = s.request();
    request.progress = &progress;
    request.cancel = &progress.cancel;
    BatchRun r;
    r.ui.reverse = true;
    run(r, fs, request);
    EXPECT_EQ(progress.events, (std::vector<std::string>{"start 4", "0:1", "1:2", "2:2", "end"}));
    // A cancel stops before the next item and offers the reversal.
    EXPECT_EQ(r.ui.reverseAsked, 1);
    EXPECT_EQ(r.outcome.end, RenameOutcome::End::Reversed);
    EXPECT_TRUE(fs.exists("/d/1") && fs.exists("/d/4"));
}

TEST(UndoRename, PairsWithoutIdentityGoByTheNames) {
    MemoryFileSystem fs;
    fs.addFile("/d/1x", "1");
    fs.addFile("/d/2x", "2");
    fs.addFile("/d/2", "someone else's");
    fs.addFile("/d/4x", "4");
    UndoLog log;
    log.add({"/d/1", "/d/1x", true, {}, {}});
    log.add({"/d/2", "/d/2x", true, {}, {}});       // its old name is taken meanwhile
    log.add({"/d/3", "/d/3x", false, {}, {}});      // interrupted: never happened
    log.add({"/d/4", "/d/4x", false, {}, {}});      // interrupted: happened
    log.add({"/d/5", "/d/5x", false, "/d/.t", {}}); // interrupted half way
    fs.addFile("/d/.t", "5");
    StatusLog status;
    const UndoOutcome outcome = undoRename(log, fs, status);
    EXPECT_EQ(outcome.reversed, 3);
    ASSERT_EQ(outcome.failures.size(), 1U);
    EXPECT_EQ(outcome.failures[0].item, "/d/2x");
    EXPECT_EQ(outcome.failures[0].target, "/d/2");
    EXPECT_EQ(outcome.failures[0].message, "File exists");
    EXPECT_EQ(status.messages, std::vector<std::string>{"1 of 4 changes could not be reversed."});
    EXPECT_EQ(fs.content("/d/2"), "someone else's");
    EXPECT_EQ(fs.content("/d/1"), "1");
    EXPECT_EQ(fs.content("/d/4"), "4");
    EXPECT_EQ(fs.content("/d/5"), "5");
    EXPECT_TRUE(log.empty());
}

// However the New Location spells the entries' own folder, a copy never
// replaces a file the batch still has to process, or one it made.
TEST(RenameBatch, NoSpellingOfTheNewLocationDefeatsTheProtection) {
    for (const std::string location : {"/d", "/d/", "/d/.", "/d/./", "/d/../d", "/x/../d/."}) {
        for (const int overwrite : {0, 1}) {
            MemoryFileSystem fs;
            fs.addFolder("/x");
            fs.addFile("/d/1", "ONE");
            fs.addFile("/d/2", "TWO");
            fs.addFile("/d/3", "THREE");
            Selection s; // listed in descending order, numbered from 1
            s.add("/d/3", "1");
            s.add("/d/2", "2");
            s.add("/d/1", "3");
            BatchRun r;
            Preferences preferences;
            preferences.overwriteTargetFiles = overwrite;
            run(r, fs, s.request(location), preferences);
            const std::string what = location + (overwrite != 0 ? " overwrite" : "");
            EXPECT_EQ(fs.content("/d/1"), "ONE") << what;
            EXPECT_EQ(fs.content("/d/2"), "TWO") << what;
            EXPECT_EQ(fs.content("/d/3"), "THREE") << what;
            EXPECT_EQ(r.ui.failures.size(), 2U) << what;
            EXPECT_EQ(r.outcome.renamed, 0) << what;
            EXPECT_EQ(r.outcome.processed, 1) << what << ": a copy onto itself is no change";
        }
    }
}

TEST(RenameBatch, OverwriteReplacesAnEntryThatKeepsItsName) {
    using Files = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* what;
        std::string secondNewName; // what /d/b is to become
        Files after;
        std::size_t failures;
    };
    const Case cases[] = {
        {"b keeps its name: an ordinary existing file",
         "b",
         {{"/d/", ""}, {"/d/a-link", "from a"}, {"/d/b", "from a"}},
         0},
        {"b is still to be renamed: it goes first",
         "c",
         {{"/d/", ""}, {"/d/a-link", "from a"}, {"/d/b", "from a"}, {"/d/c", "from b"}},
         0},
    };
    for (const Case& c : cases) {
        MemoryFileSystem fs;
        fs.addFile("/d/a", "from a");
        fs.addFile("/d/b", "from b");
        fs.addHardLink("/d/a", "/d/a-link");
        Selection s;
        s.add("/d/a", "b");
        s.add("/d/b", c.secondNewName);
        s.add("/d/a-link", "a-link");
        BatchRun r;
        Preferences preferences;
        preferences.overwriteTargetFiles = 1;
        r.ui.skip = true;
        run(r, fs, s.request(), preferences);
        EXPECT_EQ(fs.snapshot(), c.after) << c.what;
        EXPECT_EQ(r.ui.failures.size(), c.failures) << c.what;
    }
}

TEST(RenameBatch, ASecondNameOfTheSameFileIsAnotherEntry) {
    for (const int overwrite : {0, 1}) {
        MemoryFileSystem fs;
        fs.addFile("/d/a", "data");
        fs.addHardLink("/d/a", "/d/b");
        Selection s;
        s.add("/d/a", "b");
        BatchRun r;
        Preferences preferences;
        preferences.overwriteTargetFiles = overwrite;
        run(r, fs, s.request(), preferences);
        ASSERT_EQ(r.ui.failures.size(), 1U) << overwrite;
        EXPECT_NE(r.ui.failures[0].find("Target item '/d/b' already exists."), std::string::npos);
        EXPECT_EQ(fs.calls(MemoryFileSystem::Operation::Rename), 1U)
            << "no detour through a temporary name";
        EXPECT_EQ(fs.snapshot().size(), 3U) << "nothing left behind";
        EXPECT_TRUE(r.log.empty());
    }
}

// A letter-case change on a case-insensitive folder goes through a temporary
// name; when moving on fails and putting the file back fails too, the report
// names where it is, and undo (in the process or from the journal) brings it back.
TEST(RenameBatch, ARenameLeftAtItsTemporaryNameIsReportedAndUndone) {
    MemoryFileSystem fs;
    fs.setCaseInsensitive("/ci");
    fs.addFile("/ci/Photo", "data");
    fs.failPath(MemoryFileSystem::Operation::Rename, "/ci/.vantrel-rename-0", EIO);
    Selection s;
    s.add("/ci/Photo", "photo");
    BatchRun r;
    FileJournal journal(fs, "/j");
    Preferences preferences;
    r.outcome = runRenameBatch(s.request(), preferences, fs, r.ui, r.status, r.log, &journal);
    ASSERT_EQ(r.ui.failures.size(), 1U);
    EXPECT_EQ(r.ui.failures[0],
              "Item '/ci/Photo' could not be renamed.\nError Code: Input/output error\nIt was "
              "left at '/ci/.vantrel-rename-0', as it could not be put back (Input/output "
              "error); undo brings it back.\nIgnore this error and continue processing?");
    EXPECT_EQ(r.outcome.skipped.at(0).leftAt, "/ci/.vantrel-rename-0");
    EXPECT_EQ(fs.content("/ci/.vantrel-rename-0"), "data");

    MemoryFileSystem inProcess(fs); // the fault is gone
    StatusLog status;
    EXPECT_TRUE(undoRename(r.log, inProcess, status).failures.empty());
    EXPECT_EQ(inProcess.snapshot(),
              (std::vector<std::pair<std::string, std::string>>{
                  {"/ci/", ""}, {"/ci/Photo", "data"}, {"/j", fs.content("/j")}}));

    MemoryFileSystem later(fs);
    JournalUndo undo;
    ASSERT_TRUE(undoJournal(later, "/j", status, undo).ok());
    EXPECT_TRUE(undo.outcome.failures.empty());
    EXPECT_EQ(later.content("/ci/Photo"), "data");
    EXPECT_FALSE(later.exists("/ci/.vantrel-rename-0"));
}

TEST(RenameBatch, AStoppedBatchIsReversedUnderTheJournalsLock) {
    MemoryFileSystem fs;
    Selection s;
    for (const char* n : {"1", "2", "3"}) {
        fs.addFile(std::string("/d/") + n, n);
        s.add(std::string("/d/") + n, std::string(n) + "x");
    }
    fs.failNthCall(MemoryFileSystem::Operation::Rename, 3, EIO);
    // While the user is asked, nobody else can begin a batch on the journal.
    class AskingUi final : public RenameUi {
    public:
        explicit AskingUi(MemoryFileSystem& fs) : fs_(fs) {}
        bool confirmRename(std::int32_t, Preferences&) override { return true; }
        void showError(const std::string&) override {}
        bool skipFailedItem(const std::string&, const ItemFailure&) override { return false; }
        bool reverseAfterStop() override {
            FileJournal other(fs_, "/j");
            otherBegan = other.beginBatch().ok();
            return true;
        }
        void renameComplete(const std::string&, Preferences&) override {}
        bool otherBegan = true;

    private:
        MemoryFileSystem& fs_;
    } ui(fs);
    FileJournal journal(fs, "/j");
    StatusLog status;
    UndoLog log;
    Preferences preferences;
    const RenameOutcome outcome =
        runRenameBatch(s.request(), preferences, fs, ui, status, log, &journal);
    EXPECT_EQ(outcome.end, RenameOutcome::End::Reversed);
    EXPECT_FALSE(ui.otherBegan);
    EXPECT_TRUE(fs.exists("/d/1") && fs.exists("/d/2") && fs.exists("/d/3"));
    EXPECT_EQ(fs.content("/j"), "") << "nothing is left to undo";
}

/// A journal that records the calls and can refuse.
class RecordingJournal final : public RenameJournal {
public:
    Result beginBatch() override {
        events.emplace_back("begin");
        return failBegin ? Result::fromErrno("write", "/j", ENOSPC) : Result{};
    }
    Result beforeRename(const UndoPair& pair) override {
        events.push_back("before " + pair.oldPath);
        return pair.oldPath == refuse ? Result::fromErrno("write", "/j", ENOSPC) : Result{};
    }
    Result viaTemporary(const std::string& path) override {
        events.push_back("temporary " + path);
        return {};
    }
    void afterRename(RenameEffect effect) override {
        events.push_back(effect == RenameEffect::Renamed      ? "done"
                         : effect == RenameEffect::NotRenamed ? "failed"
                                                              : "unknown");
    }
    void endBatch() override { events.emplace_back("end"); }
    Result reversalVia(std::size_t index, const std::string& path) override {
        events.push_back("reversal " + std::to_string(index) + " " + path);
        return {};
    }
    void batchReversed() override { events.emplace_back("reversed"); }

    bool failBegin = false;
    std::string refuse;
    std::vector<std::string> events;
};

TEST(RenameBatch, JournalIsWrittenAheadOrNothingHappens) {
    MemoryFileSystem fs;
    fs.addFile("/d/a");
    fs.addFile("/d/b");
    fs.addFile("/d/c");
    Selection s;
    s.add("/d/a", "a1");
    s.add("/d/b", "b1");
    s.add("/d/c", "c1");
    RecordingJournal journal;
    journal.refuse = "/d/b";
    BatchRun r;
    Preferences preferences;
    r.outcome = runRenameBatch(s.request(), preferences, fs, r.ui, r.status, r.log, &journal);
    EXPECT_EQ(journal.events,
              (std::vector<std::string>{"begin", "before /d/a", "done", "before /d/b",
                                        "before /d/c", "done", "end"}));
    EXPECT_TRUE(fs.exists("/d/b")) << "not renamed without its record";
    EXPECT_NE(r.ui.failures.at(0).find("No space left on device"), std::string::npos);

    RecordingJournal broken;
    broken.failBegin = true;
    BatchRun refused;
    refused.log.add({"/x", "/y", true, {}, {}});
    refused.outcome = runRenameBatch(s.request(), preferences, fs, refused.ui, refused.status,
                                     refused.log, &broken);
    EXPECT_EQ(refused.outcome.end, RenameOutcome::End::Refused);
    EXPECT_EQ(refused.log.pairs().size(), 1U);
    EXPECT_EQ(refused.ui.errors.size(), 1U);
}

// ---- on a real disk ----

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

/// Every file below `root` with its content.
std::map<std::string, std::string> tree(const std::string& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        const std::string rel = e.path().string().substr(root.size());
        out[rel] = e.is_directory() ? std::string("<folder>") : readAll(e.path().string());
    }
    return out;
}

TEST(RenameBatchDisk, DuplicatesCaseChangesOddNamesAndUndo) {
    test::TempDir dir;
    const std::string d = dir.path();
    const std::string odd = "bad\xFF\nname";
    std::filesystem::create_directory(d + "/folder");
    std::ofstream(d + "/folder/inside.txt") << "inside";
    std::ofstream(d + "/one.txt") << "one";
    std::ofstream(d + "/two.txt") << "two";
    std::ofstream(d + "/lower.txt") << "lower";
    std::ofstream(d + "/" + odd, std::ios::binary) << "odd";
    ASSERT_EQ(::link((d + "/two.txt").c_str(), (d + "/hardlink.txt").c_str()), 0);
    const auto before = tree(d);

    for (const int overwrite : {0, 1}) {
        Selection s;
        s.add(d + "/folder", "renamed folder", true);
        s.add(d + "/folder/inside.txt", "inside \n2.txt");
        s.add(d + "/one.txt", "same.txt");
        s.add(d + "/two.txt", "same.txt"); // a duplicate: must not destroy one.txt's data
        s.add(d + "/lower.txt", "LOWER.txt");
        s.add(d + "/" + odd, odd + "\xFE");
        s.add(d + "/hardlink.txt", "two.txt"); // the same file under another name
        PosixFileSystem fs;
        BatchRun r;
        Preferences preferences;
        preferences.overwriteTargetFiles = overwrite;
        run(r, fs, s.request(), preferences);
        EXPECT_EQ(r.ui.failures.size(), 2U) << overwrite;
        EXPECT_EQ(readAll(d + "/same.txt"), "one");
        EXPECT_EQ(readAll(d + "/two.txt"), "two");
        EXPECT_EQ(readAll(d + "/hardlink.txt"), "two");
        EXPECT_EQ(readAll(d + "/LOWER.txt"), "lower");
        EXPECT_EQ(readAll(d + "/renamed folder/inside \n2.txt"), "inside");
        EXPECT_EQ(readAll(d + "/" + odd + "\xFE"), "odd");

        StatusLog status;
        const UndoOutcome undone = undoRename(r.log, fs, status);
        EXPECT_TRUE(undone.failures.empty());
        EXPECT_EQ(tree(d), before) << "everything back, nothing lost";
    }
}

TEST(RenameBatchDisk, ReadOnlyFolderFailsWithTheSystemText) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("ro"));
    std::ofstream(dir.file("ro/a")) << "a";
    ASSERT_EQ(::chmod(dir.file("ro").c_str(), 0555), 0);
    Selection s;
    s.add(dir.file("ro/a"), "b");
    PosixFileSystem fs;
    BatchRun r;
    run(r, fs, s.request());
    ASSERT_EQ(r.ui.failures.size(), 1U);
    EXPECT_NE(r.ui.failures[0].find("Error Code: Permission denied"), std::string::npos);
    EXPECT_EQ(readAll(dir.file("ro/a")), "a");
}

TEST(RenameBatchDisk, CopyKeepsModeAndTimeAndNeverLeavesPartialFiles) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("dest"));
    std::ofstream(dir.file("a.sh")) << "#!/bin/sh\n";
    ASSERT_EQ(::chmod(dir.file("a.sh").c_str(), 0751), 0);
    const struct timespec times[2] = {{1000000000, 0}, {1100000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.file("a.sh").c_str(), times, 0), 0);
    std::ofstream(dir.file("dest/exists")) << "keep";
    std::ofstream(dir.file("b")) << "b";
    Selection s;
    s.add(dir.file("a.sh"), "copy.sh");
    s.add(dir.file("b"), "exists");
    PosixFileSystem fs;
    BatchRun r;
    run(r, fs, s.request(dir.file("dest")));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("dest/copy.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751U);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(readAll(dir.file("dest/copy.sh")), "#!/bin/sh\n");
    EXPECT_EQ(readAll(dir.file("dest/exists")), "keep");
    EXPECT_EQ(tree(dir.file("dest")).size(), 2U) << "no temporary file left behind";
}

} // namespace
} // namespace vantrel
