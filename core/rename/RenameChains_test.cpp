// Batches whose new names are names of the batch: chains, swaps and rings,
// on the memory file system with faults and on a real folder with the
// journal.

#include "filelist/FolderNames.h"
#include "rename/Journal.h"
#include "rename/RenameBatch.h"

#include "platform/PosixFileSystem.h"
#include "platform/TempDir_test.h"
#include "testsupport/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>

namespace vantrel {
namespace {

using Op = MemoryFileSystem::Operation;
using Tree = std::map<std::string, std::string>; ///< path below the root -> content ("/" folders)

class Answers final : public RenameUi {
public:
    bool confirmRename(std::int32_t, Preferences&) override { return true; }
    void showError(const std::string& text) override { errors.push_back(text); }
    bool skipFailedItem(const std::string& text, const ItemFailure&) override {
        failures.push_back(text);
        return skip;
    }
    bool reverseAfterStop() override { return reverse; }
    void renameComplete(const std::string& statistics, Preferences&) override {
        completions.push_back(statistics);
    }
    bool skip = true;
    bool reverse = false;
    std::vector<std::string> errors;
    std::vector<std::string> failures;
    std::vector<std::string> completions;
};

/// The selected entries of a plan: full path -> new name, in list order.
struct Plan {
    std::vector<std::pair<std::string, std::string>> renames;
    std::vector<std::unique_ptr<FileEntry>> entries;
    std::map<std::string, std::shared_ptr<EntryFolder>> folders;

    RenameRequest request(FileSystem& fs) {
        entries.clear();
        RenameRequest request;
        for (const auto& [path, newName] : renames) {
            const std::size_t slash = path.rfind('/');
            const std::string folderPath = path.substr(0, slash);
            auto& folder = folders[folderPath];
            if (!folder) {
                folder = std::make_shared<EntryFolder>();
                folder->path = folderPath;
            }
            FileAttributes attributes;
            const bool isFolder =
                fs.attributes(path, attributes).ok() && attributes.kind == FileKind::Folder;
            entries.push_back(
                std::make_unique<FileEntry>(folder, path.substr(slash + 1), isFolder));
            entries.back()->setNewName(newName);
            request.selected.push_back(entries.back().get());
        }
        return request;
    }
};

Tree treeOf(const MemoryFileSystem& fs, const std::string& root) {
    Tree out;
    for (const auto& [path, content] : fs.snapshot()) {
        if (path.starts_with(root + "/") && path.size() > root.size() + 1)
            out[path.substr(root.size() + 1)] = content;
    }
    return out;
}

struct Shape {
    const char* what;
    std::vector<std::pair<std::string, std::string>> renames; ///< below /r
    Tree after;
    std::size_t steps; ///< renames the undo log holds
};

/// Every file holds its own first name, so that where it went shows.
MemoryFileSystem startingTree() {
    MemoryFileSystem fs;
    for (const char* name : {"a", "b", "c", "1", "2", "3", "F/1", "F/2", "x/in"}) {
        const std::string path = std::string("/r/") + name;
        fs.addFile(path, name);
    }
    return fs;
}

const Shape kShapes[] = {
    {"a swap", {{"a", "b"}, {"b", "a"}}, {{"a", "b"}, {"b", "a"}}, 3},
    {"a chain in list order",
     {{"1", "2"}, {"2", "3"}, {"3", "4"}},
     {{"2", "1"}, {"3", "2"}, {"4", "3"}},
     3},
    {"a ring of three",
     {{"a", "b"}, {"b", "c"}, {"c", "a"}},
     {{"a", "c"}, {"b", "a"}, {"c", "b"}},
     4},
    {"a chain inside a folder renamed first",
     {{"F", "G"}, {"F/1", "2"}, {"F/2", "3"}},
     {{"G/", ""}, {"G/2", "F/1"}, {"G/3", "F/2"}},
     3},
    {"a chain inside a folder renamed last",
     {{"F/1", "2"}, {"F/2", "3"}, {"F", "G"}},
     {{"G/", ""}, {"G/2", "F/1"}, {"G/3", "F/2"}},
     3},
    {"a folder and a file swapped, with a rename inside the folder",
     {{"x", "a"}, {"a", "x"}, {"x/in", "out"}},
     {{"a/", ""}, {"a/out", "x/in"}, {"x", "a"}},
     4},
};

/// Everything but the entries the shapes rename stays put.
Tree expectedTree(const Shape& shape) {
    MemoryFileSystem fs = startingTree();
    Tree tree = treeOf(fs, "/r");
    Tree out;
    for (const auto& [path, content] : tree) {
        bool moved = false;
        for (const auto& [from, to] : shape.renames) {
            (void)to;
            moved = moved || path == from || path == from + "/" || path.starts_with(from + "/");
        }
        if (!moved)
            out[path] = content;
    }
    for (const auto& [path, content] : shape.after)
        out[path] = content;
    return out;
}

TEST(RenameChains, SwapsChainsAndRingsCompleteAndUndo) {
    for (const Shape& shape : kShapes) {
        MemoryFileSystem fs = startingTree();
        const Tree before = treeOf(fs, "/r");
        Plan plan;
        for (const auto& [from, to] : shape.renames)
            plan.renames.emplace_back("/r/" + from, to);
        Answers ui;
        StatusPanes status;
        UndoLog log;
        Preferences preferences;
        const RenameOutcome outcome =
            runRenameBatch(plan.request(fs), preferences, fs, ui, status, log);
        EXPECT_EQ(outcome.end, RenameOutcome::End::Completed) << shape.what;
        EXPECT_TRUE(ui.failures.empty()) << shape.what << ": " << ui.failures.front();
        const auto items = static_cast<std::int32_t>(shape.renames.size());
        EXPECT_EQ(outcome.renamed, items) << shape.what << ": items, not steps";
        EXPECT_EQ(ui.completions, std::vector<std::string>{std::to_string(items) +
                                                           " Entries successfully renamed."})
            << shape.what;
        EXPECT_EQ(treeOf(fs, "/r"), expectedTree(shape)) << shape.what;
        EXPECT_EQ(log.pairs().size(), shape.steps) << shape.what;
        for (const auto& [path, content] : treeOf(fs, "/r"))
            EXPECT_FALSE(path.find(".vantrel") != std::string::npos) << shape.what;

        StatusPanes undoStatus;
        const UndoOutcome undone = undoRename(log, fs, undoStatus);
        EXPECT_EQ(undone.reversed, items) << shape.what;
        EXPECT_EQ(undoStatus.message, "Previous changes successfully reversed.");
        EXPECT_EQ(treeOf(fs, "/r"), before) << shape.what;
    }
}

/// Every folder of the plan knows its names, as after a scan.
void publishNames(Plan& plan, FileSystem& fs) {
    for (auto& [path, folder] : plan.folders) {
        std::unique_ptr<FolderListing> listing;
        ASSERT_TRUE(fs.openFolder(path, listing).ok()) << path;
        auto names = std::make_unique<FolderNames>();
        std::string_view name;
        FileKind kind = FileKind::Unknown;
        while (listing->next(name, kind))
            names->add(name, kind);
        names->seal();
        folder->names.publish(std::move(names));
    }
}

// After a batch the folders' known names are the names on disk: a swap
// leaves both names taken, a chain frees only its first.
TEST(RenameChains, FoldersKnowTheirNamesAfterSwapsAndChains) {
    for (const Shape& shape : kShapes) {
        MemoryFileSystem fs = startingTree();
        Plan plan;
        for (const auto& [from, to] : shape.renames)
            plan.renames.emplace_back("/r/" + from, to);
        RenameRequest request = plan.request(fs);
        publishNames(plan, fs);
        Answers ui;
        StatusPanes status;
        UndoLog log;
        Preferences preferences;
        (void)runRenameBatch(request, preferences, fs, ui, status, log);
        for (const auto& [listedAt, folder] : plan.folders) {
            const FolderNames* names = folder->names.get();
            ASSERT_NE(names, nullptr);
            // A folder the batch renamed holds its names where it went.
            std::string path = listedAt;
            for (const auto& [from, to] : shape.renames) {
                if (listedAt == "/r/" + from)
                    path = "/r/" + to;
            }
            std::size_t held = 0;
            for (const auto& [entry, content] : treeOf(fs, "/r")) {
                const std::string full = "/r/" + entry;
                const std::string bare =
                    full.back() == '/' ? full.substr(0, full.size() - 1) : full;
                if (bare.substr(0, bare.rfind('/')) != path)
                    continue; // not a child of this folder
                ++held;
                EXPECT_NE(names->find(lastComponent(bare)), nullptr)
                    << shape.what << ": " << bare << " is on disk";
            }
            EXPECT_EQ(names->size(), held) << shape.what << ": " << path;
        }
    }
}

/// A folder full enough that the batch renames in it through one open
/// listing: a ring of 30 files, and a folder of 20 renamed first, so that
/// its files are renamed by their corrected paths.
Plan fullFolderPlan(const std::string& root) {
    Plan plan;
    plan.renames.emplace_back(root + "/D", "E");
    for (int i = 0; i < 30; ++i)
        plan.renames.emplace_back(root + "/f" + std::to_string(i),
                                  "f" + std::to_string((i + 1) % 30));
    for (int i = 0; i < 20; ++i)
        plan.renames.emplace_back(root + "/D/d" + std::to_string(i), "e" + std::to_string(i));
    return plan;
}

TEST(RenameChains, AFullFolderRenamesThroughItsListingAsThroughPaths) {
    // A fault in the ring (the 7th rename), in the folder (the 40th), none.
    for (const std::size_t failing : {std::size_t{0}, std::size_t{7}, std::size_t{40}}) {
        // Identities asked file by file, told by the batch's own listing,
        // or told by the listing the entries came from.
        enum class Source { Asked, BatchListing, EntriesListing };
        std::map<Source, std::pair<Tree, std::vector<std::string>>> results;
        for (const Source source : {Source::Asked, Source::BatchListing, Source::EntriesListing}) {
            const bool listingTells = source != Source::Asked;
            const std::string what = std::string(source == Source::Asked          ? "asked"
                                                 : source == Source::BatchListing ? "listing tells"
                                                                                  : "just listed") +
                                     ", rename " + std::to_string(failing) + " fails";
            MemoryFileSystem fs;
            fs.setListingsTellIdentity(source == Source::BatchListing);
            for (int i = 0; i < 30; ++i)
                fs.addFile("/r/f" + std::to_string(i), "f" + std::to_string(i));
            for (int i = 0; i < 20; ++i)
                fs.addFile("/r/D/d" + std::to_string(i), "d" + std::to_string(i));
            const Tree before = treeOf(fs, "/r");
            if (failing != 0)
                fs.failNthCall(Op::Rename, failing, EIO);
            Plan plan = fullFolderPlan("/r");
            Answers ui;
            StatusPanes status;
            UndoLog log;
            Preferences preferences;
            RenameRequest request = plan.request(fs);
            if (source == Source::EntriesListing) {
                request.entriesJustListed = true;
                for (FileEntry* entry : request.selected) {
                    FileAttributes attributes;
                    if (!entry->isFolder() &&
                        fs.attributes(entry->folder()->path + "/" + entry->name(), attributes).ok())
                        entry->listedIdentity = attributes.identity;
                }
            }
            const std::size_t askedBefore = fs.calls(Op::Attributes);
            const RenameOutcome outcome = runRenameBatch(request, preferences, fs, ui, status, log);
            EXPECT_EQ(outcome.end, RenameOutcome::End::Completed) << what;
            EXPECT_EQ(ui.failures.empty(), failing == 0) << what;
            if (failing == 0) {
                EXPECT_EQ(outcome.renamed, 51) << what;
                for (int i = 0; i < 30; ++i)
                    EXPECT_EQ(fs.content("/r/f" + std::to_string((i + 1) % 30)),
                              "f" + std::to_string(i))
                        << what;
                for (int i = 0; i < 20; ++i)
                    EXPECT_EQ(fs.content("/r/E/e" + std::to_string(i)), "d" + std::to_string(i))
                        << what;
                // Told by the listing, the ring's identities are not asked
                // file by file (the folder's files are: their folder moved).
                if (listingTells) {
                    EXPECT_LT(fs.calls(Op::Attributes) - askedBefore, 60U) << what;
                }
            }
            results[source] = {treeOf(fs, "/r"), ui.failures};

            StatusPanes undoStatus;
            const UndoOutcome undone = undoRename(log, fs, undoStatus);
            EXPECT_TRUE(undone.failures.empty()) << what << ": " << undoStatus.message;
            EXPECT_EQ(treeOf(fs, "/r"), before) << what;
        }
        // The same files end at the same names, with the same reports.
        EXPECT_EQ(results[Source::BatchListing], results[Source::Asked])
            << "rename " << failing << " fails";
        EXPECT_EQ(results[Source::EntriesListing], results[Source::Asked])
            << "rename " << failing << " fails";
    }
}

// A fault at each step of a swap: moving aside, taking the freed name, and
// completing from the temporary name. Whatever is answered, every file is
// at its old or its new name (or, reported, at the temporary one), and
// undo brings back every name.
TEST(RenameChains, AFailedStepOfASwapLosesNothing) {
    struct Case {
        const char* what;
        std::size_t failingRename; ///< 1: a aside, 2: b -> a, 3: a on to b
        bool skip;
        Tree after;
        std::size_t failures;
        const char* failureText;
        std::int32_t renamed = 0;
    };
    const Case cases[] = {
        {"moving aside fails, skipped",
         1,
         true,
         {{"a", "a"}, {"b", "b"}},
         2,
         "could not be moved out of the way to a temporary name (Input/output error)"},
        {"moving aside fails, stopped",
         1,
         false,
         {{"a", "a"}, {"b", "b"}},
         1,
         "could not be moved out of the way"},
        {"taking the freed name fails, skipped: b is still there, a goes back",
         2,
         true,
         {{"a", "a"}, {"b", "b"}},
         2,
         "Error Code: Input/output error"},
        {"taking the freed name fails, stopped: a is put back",
         2,
         false,
         {{"a", "a"}, {"b", "b"}},
         1,
         "Error Code: Input/output error"},
        {"completing fails, skipped: a is left aside",
         3,
         true,
         {{".vantrel-swap-0", "a"}, {"a", "b"}},
         1,
         "It was left at '/r/.vantrel-swap-0'",
         1},
        {"completing fails, stopped",
         3,
         false,
         {{".vantrel-swap-0", "a"}, {"a", "b"}},
         1,
         "It was left at '/r/.vantrel-swap-0'",
         1},
    };
    for (const Case& c : cases) {
        MemoryFileSystem fs;
        fs.addFile("/r/a", "a");
        fs.addFile("/r/b", "b");
        const Tree before = treeOf(fs, "/r");
        fs.failNthCall(Op::Rename, c.failingRename, EIO);
        Plan plan;
        plan.renames = {{"/r/a", "b"}, {"/r/b", "a"}};
        Answers ui;
        ui.skip = c.skip;
        StatusPanes status;
        UndoLog log;
        Preferences preferences;
        const RenameOutcome outcome =
            runRenameBatch(plan.request(fs), preferences, fs, ui, status, log);
        EXPECT_EQ(treeOf(fs, "/r"), c.after) << c.what;
        ASSERT_EQ(ui.failures.size(), c.failures) << c.what;
        EXPECT_NE(ui.failures.front().find(c.failureText), std::string::npos)
            << c.what << ": " << ui.failures.front();
        EXPECT_EQ(outcome.renamed, c.renamed) << c.what;
        EXPECT_EQ(outcome.end, c.skip ? RenameOutcome::End::Completed : RenameOutcome::End::Stopped)
            << c.what;
        StatusPanes undoStatus;
        const UndoOutcome undone = undoRename(log, fs, undoStatus);
        EXPECT_TRUE(undone.failures.empty()) << c.what << ": " << undoStatus.message;
        EXPECT_EQ(treeOf(fs, "/r"), before) << c.what;
    }
}

// A stop in the middle of a ring (its second rename fails): the member
// moved aside goes back, so no name is left at a temporary one, and the
// reversal is offered for what was done.
TEST(RenameChains, AStopInsideARingPutsTheParkedMemberBack) {
    for (const bool reverse : {false, true}) {
        MemoryFileSystem fs;
        for (const char* name : {"a", "b", "c"})
            fs.addFile(std::string("/r/") + name, name);
        const Tree before = treeOf(fs, "/r");
        fs.failNthCall(Op::Rename, 3, EIO); // a aside, c -> a, then b -> c fails
        Plan plan;
        plan.renames = {{"/r/a", "b"}, {"/r/b", "c"}, {"/r/c", "a"}};
        Answers ui;
        ui.skip = false;
        ui.reverse = reverse;
        StatusPanes status;
        UndoLog log;
        Preferences preferences;
        const RenameOutcome outcome =
            runRenameBatch(plan.request(fs), preferences, fs, ui, status, log);
        if (reverse) {
            EXPECT_EQ(outcome.end, RenameOutcome::End::Reversed);
            EXPECT_EQ(treeOf(fs, "/r"), before);
        } else {
            EXPECT_EQ(outcome.end, RenameOutcome::End::Stopped);
            // c took a's name; a could not go back to its own and stays aside,
            // reported; undo brings both back.
            EXPECT_EQ(treeOf(fs, "/r"), (Tree{{".vantrel-swap-0", "a"}, {"a", "c"}, {"b", "b"}}));
            ASSERT_EQ(ui.errors.size(), 1U);
            EXPECT_NE(ui.errors[0].find("was left at '/r/.vantrel-swap-0'"), std::string::npos);
            StatusPanes undoStatus;
            (void)undoRename(log, fs, undoStatus);
            EXPECT_EQ(treeOf(fs, "/r"), before);
        }
    }
}

// Overwrite Target Files never lets a step replace a member of the ring,
// nor a temporary name replace anything.
TEST(RenameChains, OverwriteNeverReplacesAStepsTarget) {
    MemoryFileSystem fs;
    fs.addFile("/r/a", "a");
    fs.addFile("/r/b", "b");
    fs.addFile("/r/.vantrel-swap-0", "someone's");
    fs.addFile("/r/old", "old");
    Plan plan;
    plan.renames = {{"/r/a", "b"}, {"/r/b", "a"}, {"/r/c-to-be", "x"}};
    fs.addFile("/r/c-to-be", "c");
    fs.addFile("/r/x", "replaced");
    Answers ui;
    StatusPanes status;
    UndoLog log;
    Preferences preferences;
    preferences.overwriteTargetFiles = 1;
    const RenameOutcome outcome =
        runRenameBatch(plan.request(fs), preferences, fs, ui, status, log);
    EXPECT_EQ(outcome.renamed, 3);
    EXPECT_EQ(
        treeOf(fs, "/r"),
        (Tree{
            {".vantrel-swap-0", "someone's"}, {"a", "b"}, {"b", "a"}, {"old", "old"}, {"x", "c"}}));
}

/// Every file below `root` with a checksum of its content ("/" after folders).
std::map<std::string, std::uint64_t> checksums(const std::string& root) {
    std::map<std::string, std::uint64_t> out;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = item.path().string().substr(root.size() + 1);
        if (item.is_directory()) {
            out[name + "/"] = 0;
            continue;
        }
        std::ifstream in(item.path(), std::ios::binary);
        std::uint64_t hash = 14695981039346656037ULL;
        for (char ch; in.get(ch);)
            hash = (hash ^ static_cast<unsigned char>(ch)) * 1099511628211ULL;
        out[name] = hash;
    }
    return out;
}

/// Runs `plan` on the real folder with the journal at `journalPath`.
RenameOutcome runJournalled(Plan& plan, PosixFileSystem& fs, const std::string& journalPath,
                            Answers& ui) {
    StatusPanes status;
    UndoLog log;
    Preferences preferences;
    FileJournal journal(fs, journalPath);
    return runRenameBatch(plan.request(fs), preferences, fs, ui, status, log, &journal);
}

/// Undo from the journal alone reverses `renames` and brings back `before`.
void expectUndoneFromJournal(PosixFileSystem& fs, const std::string& journalPath,
                             std::int32_t renames, const std::string& root,
                             const std::map<std::string, std::uint64_t>& before) {
    StatusPanes undoStatus;
    JournalUndo undo;
    ASSERT_TRUE(undoJournal(fs, journalPath, undoStatus, undo).ok());
    EXPECT_TRUE(undo.outcome.failures.empty()) << undoStatus.message;
    EXPECT_EQ(undo.outcome.reversed, renames);
    EXPECT_EQ(checksums(root), before);
}

TEST(RenameChainsDisk, EveryShapeOnARealFolderWithTheJournal) {
    const test::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    PosixFileSystem fs;
    const std::string root = dir.file("r");
    std::filesystem::create_directories(root + "/F");
    std::filesystem::create_directories(root + "/x");
    for (const char* name : {"a", "b", "c", "1", "2", "3", "F/1", "F/2", "x/in"}) {
        std::ofstream(root + "/" + name) << "content of " << name;
    }
    const auto before = checksums(root);
    // All shapes at once, in one batch: their names do not meet.
    Plan plan;
    plan.renames = {{root + "/a", "b"},   {root + "/b", "c"},     {root + "/c", "a"},
                    {root + "/1", "2"},   {root + "/2", "3"},     {root + "/3", "4"},
                    {root + "/F/1", "2"}, {root + "/F/2", "3"},   {root + "/F", "x"},
                    {root + "/x", "F"},   {root + "/x/in", "out"}};
    Answers ui;
    const RenameOutcome outcome = runJournalled(plan, fs, dir.file("state/journal"), ui);
    EXPECT_EQ(outcome.end, RenameOutcome::End::Completed);
    EXPECT_TRUE(ui.failures.empty()) << ui.failures.front();
    EXPECT_EQ(outcome.renamed, 11);
    const auto after = checksums(root);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(after.at("b"), before.at("a"));
    EXPECT_EQ(after.at("c"), before.at("b"));
    EXPECT_EQ(after.at("a"), before.at("c"));
    EXPECT_EQ(after.at("4"), before.at("3"));
    EXPECT_EQ(after.at("2"), before.at("1"));
    EXPECT_EQ(after.at("x/2"), before.at("F/1"));
    EXPECT_EQ(after.at("x/3"), before.at("F/2"));
    EXPECT_EQ(after.at("F/out"), before.at("x/in"));
    expectUndoneFromJournal(fs, dir.file("state/journal"), 11, root, before);
}

TEST(RenameChainsDisk, AFullFolderThroughItsOpenListingWithTheJournal) {
    const test::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    PosixFileSystem fs;
    const std::string root = dir.file("r");
    std::filesystem::create_directories(root + "/D");
    for (int i = 0; i < 30; ++i)
        std::ofstream(root + "/f" + std::to_string(i)) << "content of f" << i;
    for (int i = 0; i < 20; ++i)
        std::ofstream(root + "/D/d" + std::to_string(i)) << "content of d" << i;
    // A second name of a ring member: renaming it onto the name that member
    // takes must fail, not replace.
    std::filesystem::create_hard_link(root + "/f0", root + "/link");
    const auto before = checksums(root);
    Plan plan = fullFolderPlan(root);
    plan.renames.emplace_back(root + "/link", "f1");
    Answers ui;
    const RenameOutcome outcome = runJournalled(plan, fs, dir.file("state/journal"), ui);
    EXPECT_EQ(outcome.end, RenameOutcome::End::Completed);
    ASSERT_EQ(ui.failures.size(), 1U);
    EXPECT_NE(ui.failures.front().find("already exists"), std::string::npos) << ui.failures.front();
    EXPECT_EQ(outcome.renamed, 51);
    const auto after = checksums(root);
    EXPECT_EQ(after.size(), before.size());
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(after.at("f" + std::to_string((i + 1) % 30)), before.at("f" + std::to_string(i)));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(after.at("E/e" + std::to_string(i)), before.at("D/d" + std::to_string(i)));
    EXPECT_EQ(after.at("link"), before.at("link"));

    // The journal knows each file by the identity it had: undo moves them all.
    expectUndoneFromJournal(fs, dir.file("state/journal"), 51, root, before);
}

} // namespace
} // namespace vantrel
