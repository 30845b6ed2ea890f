#include "workspace/Workspace.h"

#include "workspace/WorkspaceHarness_test.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using test::WorkspaceHarness;

const CriteriaField& field(std::string_view name) {
    return *findCriteriaField(name);
}

class WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* n : {"a.txt", "b.txt", "c.txt", "d.txt"})
            h.fs.addFile(std::string("/d/") + n, n);
        h.workspace.setWindowReady(true);
        w.list().setSortColumn(0, true); // by name, as the window restores it
        ASSERT_TRUE(h.scan("/d"));
    }
    WorkspaceHarness h;
    Workspace& w = h.workspace;
};

TEST_F(WorkspaceTest, ScanListsSortsAndReports) {
    EXPECT_EQ(h.names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(h.status.message, "Folder: /d");
    EXPECT_EQ(h.status.statistics, "4 Objects (0 Selected)");
    EXPECT_FALSE(w.canRename());
    EXPECT_FALSE(w.canUndo());
}

TEST_F(WorkspaceTest, WhatCannotBeReadIsSaid) {
    h.fs.addFolder("/d/locked");
    h.fs.failPath(MemoryFileSystem::Operation::OpenFolder, "/d/locked", EACCES);
    (void)w.edit(field("recursive"), "1");
    ASSERT_TRUE(h.queue.runUntil([&] { return !w.scan().running(); }));
    EXPECT_EQ(w.list().size(), 5u); // the folder is listed, its content is not
    EXPECT_EQ(h.status.message.rfind("Folder: /d (1 entry could not be read: ", 0), 0u)
        << h.status.message;
    EXPECT_NE(h.status.message.find("/d/locked"), std::string::npos) << h.status.message;
}

TEST_F(WorkspaceTest, RequestsAreCoalescedIntoOneRefresh) {
    w.list().selectAll();
    const std::size_t before = h.queue.posted();
    for (const char* text : {"x", "xy", "xyz"})
        (void)w.edit(field("prefix"), text);
    EXPECT_EQ(h.queue.posted(), before + 1);
    EXPECT_TRUE(w.refreshPending());
    h.queue.drain();
    EXPECT_EQ(h.newNames()[0], "xyza.txt");

    // A direct refresh answers the pending request: the posted call does nothing.
    (void)w.edit(field("suffix"), "_s");
    w.refreshPreview();
    EXPECT_FALSE(w.refreshPending());
    w.criteria.suffix = "_late"; // the queued call must not refresh again
    h.queue.drain();
    EXPECT_EQ(h.newNames()[0], "xyza_s.txt");
}

TEST_F(WorkspaceTest, NothingRefreshesOrScansBeforeTheWindowIsReady) {
    w.setWindowReady(false);
    const std::size_t before = h.queue.posted();
    (void)w.edit(field("prefix"), "x");
    (void)w.edit(field("filter"), "a*");
    w.resetAll();
    EXPECT_EQ(h.queue.posted(), before);
    EXPECT_EQ(w.list().size(), 4u);
}

TEST_F(WorkspaceTest, NumberingFollowsTheSelectedRowsInListOrder) {
    (void)w.edit(field("numberMode"), "2"); // Suffix
    w.selectionChanged(1, 1, true);
    w.selectionChanged(3, 3, true);
    h.queue.drain();
    EXPECT_EQ(h.newNames(), (std::vector<std::string>{"a.txt", "b1.txt", "c.txt", "d2.txt"}));
    w.selectionChanged(1, 1, false);
    h.queue.drain();
    EXPECT_EQ(h.newNames(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d1.txt"}));
    // A drag reorders, and the numbers follow the new order.
    w.selectionChanged(0, 0, true);
    w.moveRow(3, 0);
    h.queue.drain();
    EXPECT_EQ(h.newNames(), (std::vector<std::string>{"d1.txt", "a2.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(h.status.statistics, "4 Objects (2 Selected)");
}

// With a big selection an edit gives the rows in view their new names at
// once, the very names the whole refresh then gives them (numbered by
// their place among the selected rows); the rest follows with the refresh.
TEST_F(WorkspaceTest, ABigSelectionShowsTheRowsInViewFirst) {
    auto folder = std::make_shared<EntryFolder>("/big", "big", "");
    std::vector<FileEntry> rows;
    for (int i = 0; i < 12'000; ++i)
        rows.emplace_back(folder, "f" + std::to_string(100'000 + i) + ".txt", false);
    w.list().append(std::move(rows), true);
    w.selectionChanged(0, 3, false); // the four scanned files: the selected start at row 4
    w.selectionChanged(10, 10, false);
    h.queue.drain();
    int painted = 0;
    w.visibleRows = [] {
        return std::make_optional(std::make_pair(std::size_t{100}, std::size_t{120}));
    };
    w.afterVisibleRows = [&] { ++painted; };

    (void)w.edit(field("numberMode"), "2"); // Suffix
    EXPECT_EQ(painted, 1);
    EXPECT_TRUE(w.refreshPending());
    std::vector<std::string> shown = h.newNames();
    EXPECT_EQ(shown[100], "f10009696.txt") << "row 100 is the 96th selected row";
    EXPECT_EQ(shown[9'000], w.list().entry(9'000).name()) << "not in view: not yet";
    h.queue.drain();
    const std::vector<std::string> whole = h.newNames();
    for (std::size_t row = 100; row <= 120; ++row)
        EXPECT_EQ(shown[row], whole[row]) << row;
    EXPECT_EQ(whole[9'000], "f1089968996.txt"); // the 8,996th selected row

    // A small selection is refreshed whole at once.
    w.list().deselectAll();
    w.selectionChanged(100, 200, true);
    h.queue.drain();
    (void)w.edit(field("prefix"), "p");
    EXPECT_EQ(painted, 1);
}

TEST_F(WorkspaceTest, ChangeRulesSetTheControlsTheyTieTo) {
    struct Case {
        const char* set;      ///< field and its value before
        const char* setValue; ///< (empty name: none)
        const char* edit;
        const char* value;
        const char* expectField;
        const char* expectValue; ///< nullptr: expectField must not change
    };
    const Case cases[] = {
        {"", "", "fixedName", "12", "filenameMode", "2"},
        {"extensionMode", "5", "fixedExtension", "x", "extensionMode", nullptr}, // Extra stays
        {"extensionMode", "2", "fixedExtension", "x", "extensionMode", "4"},     // Upper -> Fixed
        {"dateFormat", "3", "dateCustom", "%Y", "dateFormat", "9"},
        {"dateFormat", "9", "dateCustom", "%Y", "dateFormat", nullptr},
        {"", "", "numberInsertPos", "3", "numberMode", "4"},
        {"removeFrom", "7", "removeTo", "3", "removeFrom", "3"},
        {"removeTo", "3", "removeFrom", "9", "removeTo", "9"},
        {"removeTo", "9", "removeFrom", "3", "removeTo", nullptr},
    };
    for (const Case& c : cases) {
        RenameCriteria criteria;
        if (*c.set != 0)
            (void)applyCriteriaEdit(criteria, field(c.set), c.setValue);
        const EditOutcome out = applyCriteriaEdit(criteria, field(c.edit), c.value);
        const CriteriaField& expect = field(c.expectField);
        if (c.expectValue == nullptr) {
            EXPECT_TRUE(out.alsoChanged.empty()) << c.edit;
        } else {
            ASSERT_EQ(out.alsoChanged.size(), 1u) << c.edit;
            EXPECT_EQ(out.alsoChanged[0], &expect);
            EXPECT_EQ(fieldText(criteria, expect), c.expectValue) << c.edit;
        }
        EXPECT_FALSE(out.rescan);
    }
    RenameCriteria criteria;
    EXPECT_TRUE(applyCriteriaEdit(criteria, field("includeHidden"), "1").rescan);
    EXPECT_TRUE(criteria.includeHidden);
}

TEST_F(WorkspaceTest, SelectionsChangesRescanAndResetsRefreshOnce) {
    (void)w.edit(field("filter"), "*b*");
    ASSERT_TRUE(h.queue.runUntil([&] { return !w.scan().running(); }));
    EXPECT_EQ(h.names(), (std::vector<std::string>{"b.txt"}));

    // Reset all: the Selections changed, so the folder is read again, once.
    (void)w.edit(field("prefix"), "p");
    w.resetAll();
    ASSERT_TRUE(h.queue.runUntil([&] { return !w.scan().running(); }));
    h.queue.drain();
    EXPECT_EQ(w.list().size(), 4u);
    EXPECT_EQ(w.criteria, RenameCriteria{});

    // A reset that leaves the Selections as they were only refreshes.
    w.list().selectAll();
    (void)w.edit(field("prefix"), "p");
    h.queue.drain();
    const std::size_t before = h.queue.posted();
    w.resetPanel(Panel::Selections);
    w.resetPanel(Panel::Additions);
    EXPECT_EQ(h.queue.posted(), before + 1);
    h.queue.drain();
    EXPECT_EQ(h.newNames()[0], "a.txt");
}

TEST_F(WorkspaceTest, ANewScanDropsWhatTheOldOneHadPosted) {
    for (int i = 0; i < 2000; ++i)
        h.fs.addFile("/big/f" + std::to_string(i));
    h.workspace.setFolder("/big");
    w.rescan();
    // Let the worker post some batches, then start another scan before any is delivered.
    while (h.queue.posted() < 3) {
    }
    w.setFolder("/d");
    w.rescan();
    ASSERT_TRUE(h.queue.runUntil([&] { return !w.scan().running(); }));
    EXPECT_EQ(h.names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}));
}

TEST_F(WorkspaceTest, RenameUndoAndEditInPlace) {
    (void)w.edit(field("caseMode"), "2"); // Upper
    w.selectAll();
    test::ScriptedRenameUi ui;
    w.preferences.displayConfirmationMessage = 0;
    RenameOutcome outcome = w.rename(ui, nullptr, nullptr);
    EXPECT_EQ(outcome.end, RenameOutcome::End::Completed);
    EXPECT_EQ(h.names(), (std::vector<std::string>{"A.txt", "B.txt", "C.txt", "D.txt"}));
    EXPECT_TRUE(h.fs.exists("/d/A.txt"));
    EXPECT_TRUE(w.canUndo());

    (void)w.undo();
    EXPECT_EQ(h.status.message, "Previous changes successfully reversed.");
    ASSERT_TRUE(h.queue.runUntil([&] { return !w.scan().running(); }));
    h.queue.drain();
    EXPECT_EQ(h.names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(h.status.message, "Previous changes successfully reversed.") << "kept in view";
    EXPECT_FALSE(w.canUndo());

    EXPECT_FALSE(w.prepareNameEdit(1, ""));
    EXPECT_FALSE(w.prepareNameEdit(1, "b.txt"));
    ASSERT_TRUE(w.prepareNameEdit(1, "bee.txt"));
    EXPECT_TRUE(w.list().isSelected(1));
    outcome = w.rename(ui, nullptr, nullptr);
    EXPECT_EQ(outcome.renamed, 1);
    EXPECT_TRUE(h.fs.exists("/d/bee.txt"));
}

TEST_F(WorkspaceTest, HeldDeliveriesWaitAndKeepTheirOrder) {
    // While a batch holds pointers into the list, delivered rows wait.
    w.scan().holdDeliveries(true);
    const std::size_t before = h.queue.posted();
    w.rescan();
    // The folder's announcement, its rows and the end.
    ASSERT_TRUE(h.queue.runUntil([&] { return h.queue.posted() >= before + 3; }));
    h.queue.drain();
    EXPECT_EQ(w.list().size(), 0u);
    EXPECT_TRUE(w.scan().running());
    w.scan().holdDeliveries(false);
    EXPECT_FALSE(w.scan().running());
    EXPECT_EQ(h.names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}));
}

} // namespace
} // namespace vantrel
