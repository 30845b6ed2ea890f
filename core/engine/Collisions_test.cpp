#include "engine/Collisions.h"

#include "engine/PreviewRefresh.h"
#include "filelist/ScanWorker.h"
#include "platform/Random.h"
#include "testsupport/MemoryFileSystem.h"
#include "workspace/FileList.h"

#include <gtest/gtest.h>

#include <map>

namespace vantrel {
namespace {

using Kind = ConflictKind;

/// The entries a scan of `folder` lists (with its Selections), each given
/// the new name `plan` says (unnamed ones keep theirs), then checked.
struct Checked {
    std::vector<FileEntry> entries;
    CollisionSummary summary;

    [[nodiscard]] Kind kindOf(const std::string& name) const {
        for (const FileEntry& e : entries)
            if (e.name() == name)
                return e.conflict().kind;
        ADD_FAILURE() << name << " is not listed";
        return Kind::None;
    }
    [[nodiscard]] std::string otherOf(const std::string& name) const {
        for (const FileEntry& e : entries)
            if (e.name() == name && e.inConflict())
                return entries[e.conflict().other].name();
        return {};
    }
};

Checked check(MemoryFileSystem& fs, const std::string& folder,
              const std::map<std::string, std::string>& plan, RenameCriteria criteria = {},
              Preferences preferences = {}) {
    ScanRequest request = makeScanRequest(criteria, preferences, folder);
    request.recursive = true;
    EntryCollector sink;
    const std::atomic<bool> cancel{false};
    runScan(request, fs, {}, sink, cancel);
    Checked out;
    out.entries = std::move(sink.entries);
    for (FileEntry& e : out.entries) {
        const auto it = plan.find(e.name());
        e.setNewName(it == plan.end() ? e.name() : it->second);
    }
    EntryVectorTarget target(out.entries);
    CollisionCheck collisions(criteria, preferences, &fs, out.entries.size());
    CollisionCheck::Cursor cursor;
    for (std::size_t i = 0; i < out.entries.size(); ++i)
        collisions.note(i, out.entries[i], cursor);
    collisions.lookUp(cursor, out.entries.size(), target);
    out.summary = collisions.finish(target);
    return out;
}

TEST(Collisions, WhatHoldsANewName) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> plan;
        std::map<std::string, Kind> expected; ///< every entry not named: None
        bool overwrite = false;
    };
    const Case cases[] = {
        {"two entries, one new name",
         {{"a.txt", "x"}, {"b.txt", "x"}},
         {{"a.txt", Kind::SameNewName}, {"b.txt", Kind::SameNewName}}},
        {"an existing file that is not listed",
         {{"a.txt", "a.bak"}},
         {{"a.txt", Kind::ExistingFile}}},
        {"a hidden file", {{"a.txt", ".hidden"}}, {{"a.txt", Kind::ExistingFile}}},
        {"a folder not listed", {{"a.txt", "skipped"}}, {{"a.txt", Kind::ExistingFolder}}},
        {"an entry that keeps its name", {{"a.txt", "b.txt"}}, {{"a.txt", Kind::KeptByEntry}}},
        {"a name freed by an entry moving away", {{"a.txt", "b.txt"}, {"b.txt", "new.txt"}}, {}},
        {"a swap", {{"a.txt", "b.txt"}, {"b.txt", "a.txt"}}, {}},
        {"a ring of three", {{"a.txt", "b.txt"}, {"b.txt", "c.txt"}, {"c.txt", "a.txt"}}, {}},
        {"a chain whose end is taken: every link is stuck",
         {{"a.txt", "b.txt"}, {"b.txt", "c.txt"}, {"c.txt", "a.bak"}},
         {{"a.txt", Kind::HolderStuck},
          {"b.txt", Kind::HolderStuck},
          {"c.txt", Kind::ExistingFile}}},
        {"the folder itself and its parent",
         {{"a.txt", "."}, {"b.txt", ".."}},
         {{"a.txt", Kind::OwnFolder}, {"b.txt", Kind::OwnFolder}}},
        {"letter case counts", {{"a.txt", "A.BAK"}}, {}},
        {"the same name in another folder", {{"a.txt", "inner.txt"}}, {}},
        {"overwrite: a file may be replaced", {{"a.txt", "a.bak"}, {"b.txt", "c.txt"}}, {}, true},
        {"overwrite: never a folder, never a name of the batch",
         {{"a.txt", "skipped"}, {"b.txt", "x"}, {"c.txt", "x"}},
         {{"a.txt", Kind::ExistingFolder},
          {"b.txt", Kind::SameNewName},
          {"c.txt", Kind::SameNewName}},
         true},
    };
    for (const Case& c : cases) {
        MemoryFileSystem fs;
        for (const char* name : {"a.txt", "b.txt", "c.txt", "a.bak", ".hidden", "sub/inner.txt"})
            fs.addFile(std::string("/d/") + name, name);
        fs.addFolder("/d/skipped");
        RenameCriteria criteria;
        criteria.filter = "*.txt";
        Preferences preferences;
        preferences.overwriteTargetFiles = c.overwrite ? 1 : 0;
        const Checked r = check(fs, "/d", c.plan, criteria, preferences);
        std::size_t expectedCount = 0;
        for (const FileEntry& e : r.entries) {
            const auto it = c.expected.find(e.name());
            const Kind want = it == c.expected.end() ? Kind::None : it->second;
            EXPECT_EQ(e.conflict().kind, want) << c.what << ": " << e.name();
            expectedCount += want != Kind::None ? 1U : 0U;
        }
        EXPECT_EQ(r.summary.conflicts, expectedCount) << c.what;
    }
}

TEST(Collisions, ConflictsNameWhatHoldsTheName) {
    MemoryFileSystem fs;
    for (const char* name : {"a", "b", "c", "taken"})
        fs.addFile(std::string("/d/") + name);
    const Checked r = check(fs, "/d", {{"a", "b"}, {"b", "taken"}, {"c", "b"}});
    EXPECT_EQ(r.kindOf("b"), Kind::KeptByEntry); // "taken" is listed too
    EXPECT_EQ(r.kindOf("a"), Kind::SameNewName);
    EXPECT_EQ(r.otherOf("a"), "c");
    EXPECT_EQ(r.otherOf("c"), "a");
    for (const FileEntry& e : r.entries) {
        if (!e.inConflict()) {
            EXPECT_EQ(conflictHolderText(e, nullptr, ""), "");
            continue;
        }
        const FileEntry* other = &r.entries[e.conflict().other];
        const std::string text = conflictHolderText(e, other, r.summary.location);
        if (e.name() == "b")
            EXPECT_EQ(text, "'/d/taken', which keeps its name");
        else
            EXPECT_EQ(text, "'/d/" + other->name() + "', which gets the same new name");
    }
    EXPECT_EQ(collisionCountText(1), "1 new name collides");
    EXPECT_EQ(collisionCountText(3), "3 new names collide");
}

TEST(Collisions, TheNewLocationIsReadOncePerCheck) {
    struct Case {
        const char* what;
        std::string location;
        bool overwrite;
        std::map<std::string, Kind> expected;
    };
    const Case cases[] = {
        {"copies into another folder",
         "/l",
         false,
         {{"same", Kind::ExistingFile}, {"dir-there", Kind::ExistingFolder}}},
        {"with overwrite, only the folder", "/l/", true, {{"dir-there", Kind::ExistingFolder}}},
        {"the New Location is their own folder: the same name is no copy",
         "/d/../d",
         false,
         {{"dir-there", Kind::ExistingFile}}},
        {"a New Location that names no folder: refused later, told nothing", "/missing", false, {}},
    };
    for (const Case& c : cases) {
        MemoryFileSystem fs;
        for (const char* name : {"same", "other", "dir-there", "l-file"})
            fs.addFile(std::string("/d/") + name);
        fs.addFile("/l/same");
        fs.addFolder("/l/dir-there");
        fs.addFile("/d/new-dir-there"); // what dir-there becomes in /d
        RenameCriteria criteria;
        criteria.newLocation = c.location;
        Preferences preferences;
        preferences.overwriteTargetFiles = c.overwrite ? 1 : 0;
        const std::size_t listingsBefore = fs.calls(MemoryFileSystem::Operation::OpenFolder);
        const Checked r =
            check(fs, "/d",
                  c.location == "/d/../d"
                      ? std::map<std::string, std::string>{{"dir-there", "new-dir-there"}}
                      : std::map<std::string, std::string>{},
                  criteria, preferences);
        for (const FileEntry& e : r.entries) {
            const auto it = c.expected.find(e.name());
            EXPECT_EQ(e.conflict().kind, it == c.expected.end() ? Kind::None : it->second)
                << c.what << ": " << e.name();
        }
        // The scan's one listing, and one of the New Location when it is a folder.
        EXPECT_EQ(fs.calls(MemoryFileSystem::Operation::OpenFolder) - listingsBefore,
                  c.location == "/missing" ? 1U : 2U)
            << c.what;
    }
}

TEST(Collisions, NoneForUnchangedNamesAndNoneWithoutAnyChange) {
    MemoryFileSystem fs;
    for (const char* name : {"a", "b"})
        fs.addFile(std::string("/d/") + name);
    const Checked same = check(fs, "/d", {});
    EXPECT_EQ(same.summary.conflicts, 0U);
    const Checked onto = check(fs, "/d", {{"a", "b"}});
    EXPECT_EQ(onto.kindOf("a"), Kind::KeptByEntry);
    EXPECT_EQ(onto.kindOf("b"), Kind::None) << "b keeps its name: never in conflict";
}

// Without a scan (names typed in, a list built by hand) the batch's own
// names are all that is known, and they are enough for its own collisions.
TEST(Collisions, WithoutTheFoldersNamesTheBatchsOwnCount) {
    auto folder = std::make_shared<EntryFolder>();
    folder->path = "/d";
    std::vector<FileEntry> list;
    for (const char* name : {"1", "2", "3", "4"})
        list.emplace_back(folder, name, false);
    RenameCriteria criteria;
    criteria.regexMatch = "^[123]$";
    criteria.regexReplace = "4";
    StatusPanes status;
    const PreviewSummary summary = refreshPreview(
        criteria, {}, *std::make_unique<EntryVectorTarget>(list), status, SystemClock{});
    EXPECT_EQ(summary.collisions.conflicts, 3U);
    EXPECT_EQ(status.message, "3 new names collide");
    EXPECT_EQ(list[3].conflict().kind, Kind::None);
}

TEST(Collisions, AScanKeepsEveryNameOnlyOfFoldersItReadToTheEnd) {
    MemoryFileSystem fs;
    fs.addFile("/d/listed.txt");
    fs.addFile("/d/.hidden");
    fs.addFile("/d/other.dat");
    fs.addFile("/d/sub/x");
    fs.addFile("/d/cut/y");
    fs.addFile("/d/cut/z");
    // The eighth step of the listings, in /d/cut after y: z is never read.
    fs.failNthCall(MemoryFileSystem::Operation::ReadFolder, 8, EIO);
    ScanRequest request = makeScanRequest({}, {}, "/d");
    request.recursive = true;
    EntryCollector sink;
    const std::atomic<bool> cancel{false};
    runScan(request, fs, {}, sink, cancel);
    std::map<std::string, const FolderNames*> byFolder;
    for (const FileEntry& e : sink.entries)
        byFolder[e.containingFolder()] = e.folder()->names.get();
    ASSERT_NE(byFolder["/d"], nullptr);
    EXPECT_EQ(byFolder["/d"]->size(), 5U);
    for (const char* name : {"listed.txt", ".hidden", "other.dat", "sub", "cut"})
        EXPECT_NE(byFolder["/d"]->find(name), nullptr) << name;
    EXPECT_EQ(*byFolder["/d"]->find("sub"), FileKind::Folder);
    EXPECT_EQ(byFolder["/d"]->find("LISTED.TXT"), nullptr);
    ASSERT_TRUE(byFolder.count("/d/sub"));
    EXPECT_NE(byFolder["/d/sub"], nullptr);
    ASSERT_TRUE(byFolder.count("/d/cut"));
    EXPECT_EQ(byFolder["/d/cut"], nullptr) << "a folder not read to its end tells nothing";
}

TEST(FolderNames, FollowRenamesInPlace) {
    FolderNames names;
    for (int i = 0; i < 100; ++i)
        names.add("n" + std::to_string(i), i == 7 ? FileKind::Folder : FileKind::File);
    names.seal();
    names.renamed("n7", "moved");
    names.renamed("n1", "n2"); // replaced n2
    EXPECT_EQ(names.find("n7"), nullptr);
    ASSERT_NE(names.find("moved"), nullptr);
    EXPECT_EQ(*names.find("moved"), FileKind::Folder);
    EXPECT_EQ(names.find("n1"), nullptr);
    EXPECT_EQ(names.size(), 99U);
    for (int i = 0; i < 200; ++i) // past its table's size: it grows
        names.renamed("", "new" + std::to_string(i));
    EXPECT_NE(names.find("new199"), nullptr);
    EXPECT_NE(names.find("n99"), nullptr);
    names.renamed("moved", "n7"); // back
    EXPECT_NE(names.find("n7"), nullptr);
    EXPECT_EQ(names.find("moved"), nullptr);
}

// The window's list: one refresh, one range notification, and the rows in
// conflict say what holds their names, also after the list is reordered.
TEST(Collisions, TheListKeepsConflictsAndTheirHolders) {
    MemoryFileSystem fs;
    for (const char* name : {"a", "b", "c", "taken"})
        fs.addFile(std::string("/d/") + name);
    ScanRequest request = makeScanRequest({}, {}, "/d");
    EntryCollector sink;
    const std::atomic<bool> cancel{false};
    runScan(request, fs, {}, sink, cancel);
    SystemRandom random{1};
    FileList list(random);
    list.append(std::move(sink.entries), true);
    list.setSortColumn(0, true);
    RenameCriteria criteria;
    criteria.regexMatch = "^[abc]$";
    criteria.regexReplace = "taken";
    StatusPanes status;
    (void)refreshPreview(criteria, {}, list, status, SystemClock{}, &fs);
    EXPECT_EQ(list.conflictCount(), 3U);
    EXPECT_EQ(status.message, "3 new names collide");
    EXPECT_EQ(list.conflictHolder(0), "'/d/b', which gets the same new name");
    EXPECT_EQ(list.conflictHolder(3), "");
    list.moveRow(1, 4); // b last: a's holder follows it
    EXPECT_EQ(list.entry(3).name(), "b");
    EXPECT_EQ(list.conflictHolder(0), "'/d/b', which gets the same new name");
    list.setSortColumn(0, true); // descending now
    EXPECT_EQ(list.entry(3).name(), "a");
    EXPECT_EQ(list.conflictHolder(3), "'/d/b', which gets the same new name");

    list.setSelected(1, 3, false); // only "taken" and ... what is left selected
    (void)refreshPreview(criteria, {}, list, status, SystemClock{}, &fs);
    EXPECT_EQ(list.conflictCount(), 0U);
    EXPECT_EQ(status.message, "");
}

} // namespace
} // namespace vantrel
