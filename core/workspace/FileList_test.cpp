#include "workspace/FileList.h"

#include "platform/Random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vantrel {
namespace {

/// Records the observer calls as text, and checks that "about to" and
/// "done" calls pair up.
class RecordingObserver final : public FileListObserver {
public:
    void rowsAboutToBeAppended(std::size_t first, std::size_t count) override {
        open("append " + std::to_string(first) + "+" + std::to_string(count));
    }
    void rowsAppended(std::size_t, std::size_t) override { close(); }
    void rowsChanged(std::size_t first, std::size_t last, RowChange what) override {
        EXPECT_TRUE(pending.empty()) << "changed inside " << pending;
        static const char* kinds[] = {"newnames", "names", "selection"};
        events.push_back(std::string(kinds[static_cast<int>(what)]) + " " + std::to_string(first) +
                         "-" + std::to_string(last));
    }
    void rowAboutToMove(std::size_t from, std::size_t to) override {
        open("move " + std::to_string(from) + ">" + std::to_string(to));
    }
    void rowMoved(std::size_t, std::size_t) override { close(); }
    void aboutToReset() override { open("reset"); }
    void resetDone() override { close(); }

    std::vector<std::string> events;
    std::string pending;

private:
    void open(std::string what) {
        EXPECT_TRUE(pending.empty()) << what << " inside " << pending;
        pending = what;
        events.push_back(std::move(what));
    }
    void close() {
        EXPECT_FALSE(pending.empty());
        pending.clear();
    }
};

std::vector<FileEntry> entries(std::initializer_list<const char*> names) {
    auto folder = std::make_shared<EntryFolder>();
    folder->path = "/d";
    std::vector<FileEntry> out;
    for (const char* n : names)
        out.emplace_back(folder, n, false);
    return out;
}

std::vector<std::string> order(const FileList& list) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.size(); ++i)
        out.push_back(list.entry(i).name() + (list.isSelected(i) ? "*" : ""));
    return out;
}

class FileListTest : public ::testing::Test {
protected:
    void SetUp() override { list.setObserver(&observer); }
    SystemRandom random{1};
    FileList list{random};
    RecordingObserver observer;
};

TEST_F(FileListTest, SelectionDrivesThePreviewTargetAndResetsNewNames) {
    list.append(entries({"a", "b", "c", "d"}), false);
    list.setSelected(1, 1, true);
    list.setSelected(3, 3, true);
    ASSERT_EQ(list.selectedCount(), 2u);
    EXPECT_EQ(list.selectedEntry(0).name(), "b");
    EXPECT_EQ(list.selectedEntry(1).name(), "d");
    list.setNewName(1, "d2");
    list.setNewName(0, "b2");
    EXPECT_EQ(list.entry(3).newName(), "d2");

    observer.events.clear();
    list.setSelected(0, 1, false); // b loses its selection and its preview
    EXPECT_EQ(list.entry(1).newName(), "b");
    EXPECT_EQ(list.entry(3).newName(), "d2");
    EXPECT_EQ(list.selectedCount(), 1u);
    EXPECT_EQ(list.selectedEntry(0).name(), "d");
    EXPECT_EQ(observer.events, (std::vector<std::string>{"selection 0-1", "newnames 0-1"}));

    observer.events.clear();
    list.setSelected(3, 3, true); // no change, no notice
    EXPECT_TRUE(observer.events.empty());
    list.append(entries({"e", "f"}), true);
    EXPECT_EQ(order(list), (std::vector<std::string>{"a", "b", "c", "d*", "e*", "f*"}));
    EXPECT_EQ(list.selectedEntry(2).name(), "f");
    EXPECT_EQ(*list.firstSelected(), 3u);
    EXPECT_EQ(*list.lastSelected(), 5u);
}

TEST_F(FileListTest, MoveRowLandsBeforeTheDropRow) {
    struct Case {
        std::size_t from, to, expectedIndex;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {1, 4, 3, {"a", "c", "d", "b*", "e"}}, // onto row 4: directly before "e"
        {1, 5, 4, {"a", "c", "d", "e", "b*"}},
        {1, 99, 4, {"a", "c", "d", "e", "b*"}}, // past the end
        {3, 0, 0, {"d", "a", "b*", "c", "e"}},
        {1, 1, 1, {"a", "b*", "c", "d", "e"}}, // onto itself
        {1, 2, 1, {"a", "b*", "c", "d", "e"}}, // just below itself
    };
    for (const Case& c : cases) {
        SystemRandom r{1};
        FileList l{r};
        l.append(entries({"a", "b", "c", "d", "e"}), false);
        l.setSelected(1, 1, true);
        l.setSelectionMark(1);
        EXPECT_EQ(l.moveRow(c.from, c.to), c.expectedIndex) << c.from << ">" << c.to;
        EXPECT_EQ(order(l), c.expected) << c.from << ">" << c.to;
        // The selected row "b" stays the one the mark names.
        const std::size_t b = static_cast<std::size_t>(
            std::find(c.expected.begin(), c.expected.end(), "b*") - c.expected.begin());
        EXPECT_EQ(l.selectionMark(), b) << c.from << ">" << c.to;
        EXPECT_EQ(l.selectedEntry(0).name(), "b");
    }
}

TEST_F(FileListTest, SortMovesSelectionAndMarkWithTheRows) {
    list.append(entries({"c", "a", "b"}), false);
    list.setSelected(0, 0, true); // c
    list.setSelectionMark(2);     // b
    observer.events.clear();
    list.setSortColumn(0, true);
    EXPECT_EQ(order(list), (std::vector<std::string>{"a", "b", "c*"}));
    EXPECT_EQ(list.selectionMark(), 1u);
    EXPECT_EQ(list.selectedEntry(0).name(), "c");
    EXPECT_EQ(observer.events, (std::vector<std::string>{"reset"}));
    list.setSortColumn(0, true); // the same column again: descending
    EXPECT_EQ(order(list), (std::vector<std::string>{"c*", "b", "a"}));
    list.clear();
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(list.selectedCount(), 0u);
    EXPECT_FALSE(list.selectionMark());
    EXPECT_TRUE(observer.pending.empty());
}

TEST_F(FileListTest, RenameRequestHoldsTheSelectedRowsInOrder) {
    list.append(entries({"a", "b", "c"}), true);
    list.setSelected(1, 1, false);
    RenameRequest request = list.renameRequest("/new", true);
    ASSERT_EQ(request.selected.size(), 2u);
    EXPECT_EQ(request.selected[0]->name(), "a");
    EXPECT_EQ(request.selected[1]->name(), "c");
    EXPECT_EQ(request.newLocation, "/new");
    EXPECT_TRUE(request.recursive);
}

} // namespace
} // namespace vantrel
