#include "filelist/Sorting.h"

#include "platform/Random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>

namespace vantrel {
namespace {

DateTime at(int year, int month, int day, int hour = 12, int minute = 0) {
    const auto f = [](int v) { return static_cast<std::uint16_t>(v); };
    return DateTime{f(year), f(month), 0, f(day), f(hour), f(minute), 0, 0};
}

/// What a row of a sorting table sets; the rest keeps FileEntry's defaults.
struct Row {
    std::string name{};
    bool folder = false;
    std::string newName{}; ///< empty: the name
    std::string subDir{};
    std::string type{};
    std::int64_t size = 0;
    DateTime created{};
    DateTime modified{};
    bool hasTaken = false;
    DateTime taken{};
};

FileEntry make(const Row& r) {
    auto folder = std::make_shared<EntryFolder>(EntryFolder{"/root" + r.subDir, "x", r.subDir});
    FileEntry e(std::move(folder), r.name, r.folder);
    if (!r.newName.empty())
        e.setNewName(r.newName);
    e.typeName = r.type;
    e.size = r.folder ? -1 : r.size;
    e.created = r.created;
    e.modified = r.modified;
    e.hasDateTaken = r.hasTaken;
    e.dateTaken = r.taken;
    return e;
}

std::vector<std::string> sortedNames(const std::vector<Row>& table, const SortState& state) {
    std::vector<FileEntry> rows;
    for (const Row& r : table)
        rows.push_back(make(r));
    SystemRandom random(1);
    std::vector<std::string> names;
    for (const std::size_t i : sortOrder(rows, state, random))
        names.push_back(rows[i].name());
    return names;
}

using Names = std::vector<std::string>;

struct ColumnCase {
    const char* label;
    int column;
    bool xp;
    std::vector<Row> rows;
    Names ascending;
    Names descending; ///< tied rows keep their input order in both directions
};

TEST(Sorting, EveryColumnInBothDirections) {
    // clang-format off
    const std::vector<Row> names = {
        {.name = "file10"}, {.name = "beta", .folder = true}, {.name = "Zebra"}, {.name = "äpfel"},
        {.name = "Alpha", .folder = true}, {.name = "file2"}, {.name = "\xFFraw"}, {.name = "Äpfel"}};
    const Names unsorted = {"file10", "beta", "Zebra", "äpfel", "Alpha", "file2", "\xFFraw", "Äpfel"};
    std::vector<Row> created = {
        {.name = "2004b", .created = at(2004, 3, 10, 12, 1)}, {.name = "1969", .created = at(1969, 12, 31)},
        {.name = "2040", .created = at(2040, 1, 1)}, {.name = "none"},
        {.name = "2004a", .created = at(2004, 3, 10, 12, 0)}, {.name = "2003", .created = at(2003, 12, 31)}};
    std::vector<Row> modified = created;
    for (Row& r : modified)
        std::swap(r.created, r.modified);
    const DateTime photo = at(2004, 5, 1);
    const ColumnCase cases[] = {
        {"name", 0, false, names,
         {"Alpha", "beta", "file10", "file2", "Zebra", "äpfel", "Äpfel", "\xFFraw"},
         {"\xFFraw", "äpfel", "Äpfel", "Zebra", "file2", "file10", "beta", "Alpha"}},
        {"name natural", 0, true, names,
         {"Alpha", "beta", "file2", "file10", "Zebra", "äpfel", "Äpfel", "\xFFraw"},
         {"\xFFraw", "äpfel", "Äpfel", "Zebra", "file10", "file2", "beta", "Alpha"}},
        {"new name", 1, true,
         {{.name = "1", .newName = "c10"}, {.name = "2", .newName = "B"}, {.name = "3", .newName = "C9"}},
         {"2", "3", "1"}, {"1", "3", "2"}},
        {"sub dir", 2, false,
         {{.name = "b", .subDir = "/b"}, {.name = "root"}, {.name = "Ac", .subDir = "/A/c"},
          {.name = "a", .subDir = "/a"}, {.name = "d9", .subDir = "/d9"}, {.name = "d10", .subDir = "/d10"}},
         {"root", "a", "Ac", "b", "d10", "d9"}, {"d9", "d10", "b", "Ac", "a", "root"}},
        {"type is never natural", 3, true,
         {{.name = "9", .type = "jpeg 9 image"}, {.name = "10", .type = "JPEG 10 image"},
          {.name = "f", .type = "Folder"}},
         {"f", "10", "9"}, {"9", "10", "f"}},
        {"size", 4, false,
         {{.name = "b", .size = 1536}, {.name = "max", .size = INT64_MAX}, {.name = "dir", .folder = true},
          {.name = "empty"}, {.name = "huge", .size = 1'000'000'000'000}, {.name = "a", .size = 513}},
         {"dir", "empty", "a", "b", "huge", "max"}, {"max", "huge", "b", "a", "empty", "dir"}},
        {"created", 5, false, created,
         {"none", "1969", "2003", "2004a", "2004b", "2040"}, {"2040", "2004b", "2004a", "2003", "1969", "none"}},
        {"modified", 6, false, modified,
         {"none", "1969", "2003", "2004a", "2004b", "2040"}, {"2040", "2004b", "2004a", "2003", "1969", "none"}},
        {"length counts characters", 7, false,
         {{.name = "4", .newName = "abcd"}, {.name = "3", .newName = "ééé"}, {.name = "2", .newName = "ab"}},
         {"2", "3", "4"}, {"4", "3", "2"}},
        {"taken", 8, false,
         {{.name = "2004", .hasTaken = true, .taken = photo}, {.name = "dir", .folder = true},
          {.name = "undated"}, {.name = "1971", .hasTaken = true, .taken = at(1971, 6, 1)},
          {.name = "year0", .hasTaken = true, .taken = DateTime{0, 5, 0, 1, 12, 0, 0, 0}},
          {.name = "unread", .taken = photo},
          // undated rows stand at the local start of 1970, after this one
          {.name = "1969", .hasTaken = true, .taken = at(1969, 12, 31)}},
         {"1969", "dir", "undated", "year0", "unread", "1971", "2004"},
         {"2004", "1971", "dir", "undated", "year0", "unread", "1969"}},
        {"no column", -1, false, names, unsorted, unsorted},
        {"column past 8", 9, true, names, unsorted, unsorted},
    };
    // clang-format on
    for (const ColumnCase& c : cases) {
        SortState state{.column = c.column, .ascending = 1, .xpStyle = c.xp ? 1 : 0};
        EXPECT_EQ(sortedNames(c.rows, state), c.ascending) << c.label;
        state.ascending = 0;
        EXPECT_EQ(sortedNames(c.rows, state), c.descending) << c.label << " descending";
    }
}

TEST(Sorting, SetSortColumnFollowsClicksAndRestores) {
    struct Step {
        bool fresh; ///< the first call, which restores the stored sort
        int column;
        bool flag;
        std::int32_t wantColumn, wantAscending;
    };
    const Step steps[] = {
        {true, 5, false, 5, 0},  // stored descending: set, nothing to sort yet
        {false, 5, true, 5, 1},  // a click on the sort column reverses it
        {false, 5, true, 5, 0},  //
        {false, 2, false, 2, 1}, // another column sorts ascending
        {false, 12, true, 0, 1}, // outside 0 to 8 means column 0
        {false, -3, true, 0, 0}, //
        {true, 12, true, 0, 1},  // a stored "Sort Column" of 12
    };
    SortState state;
    for (const Step& s : steps) {
        if (s.fresh)
            state = SortState{};
        state.random = 1;
        EXPECT_EQ(setSortColumn(state, s.column, s.flag), s.flag);
        EXPECT_EQ(state.column, s.wantColumn) << s.column;
        EXPECT_EQ(state.ascending, s.wantAscending) << s.column;
        EXPECT_EQ(state.random, 0);
    }
}

TEST(NaturalCompare, DigitRunsCompareByValue) {
    const std::string ones(260, '1');
    const struct {
        std::string a;
        std::string b;
        int want;
    } cases[] = {
        // clang-format off
        {"file2", "file10", -1}, {"file10", "file9", 1}, {"File2", "file2", 0}, {"2a", "10", -1},
        {"file02", "file2", -1}, {"a01", "a1", -1}, {"file007", "file7", -1}, // more zeros first,
        {"00", "0", -1}, {"x" + std::string(300, '0'), "x00", -1},
        {"file02b", "file2a", 1}, // but only between otherwise equal texts:
        {"a1b1", "a01b2", -1}, {"a01b2", "a1b2", -1}, {"a1b2", "a01b3", -1}, {"a01b1", "A1b001", -1},
        {"x000", "x", 1},         // a number, even zero, follows the end
        {"a", "a1", -1}, {"a-", "a1", -1}, {"a1", "a_", -1}, {"a1b", "a1a", 1}, // digits between - and _
        {"v99999999999999999999", "v100000000000000000000", -1}, // past 64 bits
        {"v123456789012345678901234", "v123456789012345678901235", -1},
        {"v0000000000000000000000001", "v2", -1},
        {"n" + ones, "n" + ones + "0", -1}, {"n" + std::string(300, '0') + "7", "n8", -1},
        {"Zebra", "Äpfel", -1}, {"Äpfel", "äpfel", 0}, // character order, not a dictionary's
        {"a\xFF", "a\xC3\xA9", 1}, {"a\xFF", "a\xEF\xBC\xA1", -1}, {"a\xFE", "a\xFF", -1}, // U+DC00 + byte
        // clang-format on
    };
    for (const auto& c : cases) {
        EXPECT_EQ(naturalCompare(c.a, c.b), c.want) << c.a << " <> " << c.b;
        EXPECT_EQ(naturalCompare(c.b, c.a), -c.want) << c.b << " <> " << c.a;
    }
    EXPECT_EQ(compareIgnoreCase("file2", "file10"), 1);
    EXPECT_EQ(compareIgnoreCase("ÄPFEL", "äpfel"), 0);
    EXPECT_EQ(compareIgnoreCase("\xE2\x84\xAA", "k"), 0); // Kelvin sign folds to k
}

/// Names built from pieces that stress ties, digit runs and case.
std::vector<std::string> randomNames(std::size_t count, std::uint32_t seed) {
    // clang-format off
    std::vector<std::string> pieces = {
        "a", "A", "b", "z", "0", "00", "1", "2", "9", "10", "007", "123456789012345678901234567890",
        "Ä", "ä", "é", "ß", "\xE2\x84\xAA", "k", "\xFF", "\xC3", "-", "_", " ", ".", "@"};
    // clang-format on
    pieces.push_back(std::string(260, '1'));       // a run whose length needs the long count
    pieces.push_back(std::string(256, '0') + "5"); // and as many leading zeros
    SystemRandom random(seed);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name;
        for (std::uint32_t n = random.next() % 5; n > 0; --n)
            name += pieces[random.next() % pieces.size()];
        names.push_back(name);
    }
    return names;
}

TEST(NaturalCompare, IsAStrictWeakOrder) {
    const std::vector<std::string> names = randomNames(40, 3);
    for (const auto& compare : {naturalCompare, compareIgnoreCase}) {
        const std::size_t n = names.size();
        std::vector<int> c(n * n);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j)
                c[i * n + j] = compare(names[i], names[j]);
        }
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                const int ij = c[i * n + j];
                ASSERT_EQ(ij, -c[j * n + i]) << names[i] << " <> " << names[j];
                // i <= j <= k gives i <= k, strictly so when either step is strict
                for (std::size_t k = 0; ij <= 0 && k < n; ++k) {
                    if (c[j * n + k] <= 0) {
                        ASSERT_EQ(c[i * n + k], std::min(ij, c[j * n + k])) << i << j << k;
                    }
                }
            }
        }
    }
}

TEST(Sorting, SortOrderAgreesWithCompareEntries) {
    const std::vector<std::string> names = randomNames(150, 11);
    const DateTime dates[] = {DateTime{}, at(2004, 3, 10), at(2004, 3, 10, 12, 30), at(1999, 1, 1),
                              at(2040, 7, 7)};
    SystemRandom random(5);
    std::vector<FileEntry> rows;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool folder = random.next() % 4 == 0;
        Row r{.name = names[i], .folder = folder};
        r.newName = names[(i * 7) % names.size()];
        r.subDir = "/" + names[i % 9];
        r.type = names[i % 13];
        r.size = std::array<std::int64_t, 4>{0, 7, INT64_MAX, 1 << 20}[random.next() % 4];
        r.created = dates[random.next() % std::size(dates)];
        r.modified = dates[random.next() % std::size(dates)];
        r.hasTaken = !folder && random.next() % 2 == 0;
        r.taken = dates[random.next() % std::size(dates)];
        rows.push_back(make(r));
    }
    for (int column = 0; column < kSortColumnCount; ++column) {
        for (const int xp : {0, 1}) {
            for (const int ascending : {0, 1}) {
                const SortState state{.column = column, .ascending = ascending, .xpStyle = xp};
                std::vector<std::size_t> want(rows.size());
                std::iota(want.begin(), want.end(), std::size_t{0});
                std::stable_sort(want.begin(), want.end(), [&](std::size_t a, std::size_t b) {
                    return compareEntries(rows[a], rows[b], state) < 0;
                });
                EXPECT_EQ(sortOrder(rows, state, random), want)
                    << "column " << column << " xp " << xp << " ascending " << ascending;
            }
        }
    }
}

TEST(Sorting, ABigListSortedInPartsGivesTheOrderOfOneSort) {
    // Past the size where the sort is shared between threads, with many ties.
    const std::vector<std::string> names = randomNames(500, 3);
    std::vector<FileEntry> rows;
    for (std::size_t i = 0; i < 30'000; ++i) {
        Row r{.name = names[i % names.size()], .folder = i % 7 == 0};
        r.size = static_cast<std::int64_t>(i % 13);
        rows.push_back(make(r));
    }
    SystemRandom random(1);
    for (const int column : {0, 4}) {
        for (const int ascending : {0, 1}) {
            const SortState state{.column = column, .ascending = ascending};
            std::vector<std::size_t> want(rows.size());
            std::iota(want.begin(), want.end(), std::size_t{0});
            std::stable_sort(want.begin(), want.end(), [&](std::size_t a, std::size_t b) {
                return compareEntries(rows[a], rows[b], state) < 0;
            });
            EXPECT_EQ(sortOrder(rows, state, random), want) << column << " " << ascending;
        }
    }
}

TEST(Sorting, BySubDirTheRowsOfOneFolderKeepTheirOrder) {
    // Folders shared by many rows, met in turns, two of them with keys that
    // tie ("/a" and "/A"), one without a folder at all.
    std::vector<std::shared_ptr<EntryFolder>> folders;
    for (const char* sub : {"/b", "/a", "/A", "/a10", "/a9", ""})
        folders.push_back(
            std::make_shared<EntryFolder>(EntryFolder{"/root" + std::string(sub), "x", sub}));
    std::vector<FileEntry> rows;
    for (std::size_t i = 0; i < 300; ++i) {
        const std::size_t f = (i / 7 + i % 3) % (folders.size() + 1);
        rows.emplace_back(f < folders.size() ? folders[f] : nullptr, "n" + std::to_string(i % 17),
                          false);
    }
    SystemRandom random(1);
    for (const int xp : {0, 1}) {
        for (const int ascending : {0, 1}) {
            const SortState state{.column = 2, .ascending = ascending, .xpStyle = xp};
            std::vector<std::size_t> want(rows.size());
            std::iota(want.begin(), want.end(), std::size_t{0});
            std::stable_sort(want.begin(), want.end(), [&](std::size_t a, std::size_t b) {
                return compareEntries(rows[a], rows[b], state) < 0;
            });
            EXPECT_EQ(sortOrder(rows, state, random), want)
                << "xp " << xp << " ascending " << ascending;
        }
    }
}

TEST(Sorting, RandomSortIsAUniformShuffleFromTheSource) {
    std::vector<FileEntry> rows;
    for (int i = 0; i < 50; ++i)
        rows.push_back(make({.name = std::to_string(i)}));
    const SortState state{.column = 0, .ascending = 1, .random = 1};
    EXPECT_EQ(compareEntries(rows[0], rows[1], state), 0);
    SystemRandom first(7);
    SystemRandom again(7); // the same seed replays the same shuffle
    const std::vector<std::size_t> order = sortOrder(rows, state, first);
    std::vector<std::size_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_NE(order, sorted);
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_EQ(sortOrder(rows, state, again), order);

    // The six orders of three rows come up equally often; a biased adapter
    // or a comparison-based shuffle falls far outside these bounds.
    rows.resize(3);
    SystemRandom random(12345);
    std::map<std::vector<std::size_t>, int> counts;
    for (int i = 0; i < 6000; ++i)
        ++counts[sortOrder(rows, state, random)];
    EXPECT_EQ(counts.size(), 6u);
    for (const auto& [shuffled, count] : counts)
        EXPECT_TRUE(count > 850 && count < 1150) << count;
}

} // namespace
} // namespace vantrel
