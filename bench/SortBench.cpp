// Sorting 100,000 list entries: by name (plain and natural) and by date.
#include "filelist/Sorting.h"
#include "platform/Random.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace vantrel {
namespace {

/// A photo and music library: numbered camera files, names with spaces and
/// case differences, accented names, one folder in fifty.
std::vector<FileEntry> makeEntries(std::size_t count) {
    static const char* const kPatterns[] = {
        "IMG_%05zu.jpg",
        "Holiday photo %zu.JPG",
        "holiday Photo %zu.jpg",
        "Track %02zu - Artist.mp3",
        "caf\xC3\xA9 cr\xC3\xA8me %zu.png",
        "Scan %zu",
    };
    auto folder = std::make_shared<EntryFolder>(EntryFolder{"/data/Photos", "Photos", ""});
    std::vector<FileEntry> entries;
    entries.reserve(count);
    char buffer[128];
    SystemRandom random(2004);
    for (std::size_t i = 0; i < count; ++i) {
        // Numbers out of step with the pattern, so the input is not pre-sorted.
        const std::size_t number = random.next() % 100000;
        std::snprintf(buffer, sizeof buffer, kPatterns[i % 6], number);
        FileEntry e(folder, buffer, i % 50 == 0);
        const auto day = static_cast<std::uint16_t>(1 + random.next() % 28);
        const auto hour = static_cast<std::uint16_t>(random.next() % 24);
        const auto minute = static_cast<std::uint16_t>(random.next() % 60);
        e.modified = e.created =
            DateTime{2004, static_cast<std::uint16_t>(1 + i % 12), 0, day, hour, minute, 5, 0};
        entries.push_back(std::move(e));
    }
    return entries;
}

void sortBy(benchmark::State& state, SortState sort) {
    const std::vector<FileEntry> entries = makeEntries(100000);
    SystemRandom random(1);
    for (auto _ : state) {
        std::vector<std::size_t> order = sortOrder(entries, sort, random);
        benchmark::DoNotOptimize(order.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(entries.size()));
}

void BM_SortByName(benchmark::State& state) {
    sortBy(state, SortState{.column = 0, .ascending = 1});
}
void BM_SortByNameNatural(benchmark::State& state) {
    sortBy(state, SortState{.column = 0, .ascending = 1, .xpStyle = 1});
}
void BM_SortByModified(benchmark::State& state) {
    sortBy(state, SortState{.column = 6, .ascending = 0});
}
void BM_SortRandom(benchmark::State& state) {
    sortBy(state, SortState{.column = 0, .ascending = 1, .random = 1});
}

BENCHMARK(BM_SortByName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByNameNatural)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByModified)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortRandom)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantrel
