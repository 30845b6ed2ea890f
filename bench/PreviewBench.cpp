// Preview throughput over 100,000 selected entries, default and heavy criteria.
#include "HeavyCriteria.h"
#include "engine/PreviewRefresh.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>

namespace vantrel {
namespace {

/// Bytes of heap in use.
long long heapBytes() {
    return static_cast<long long>(mallinfo2().uordblks);
}

/// Peak resident memory of this process in bytes.
long long peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    }
    return 0;
}

/// Names of the kinds a photo or music folder holds, with multi-byte ones mixed in.
std::vector<FileEntry> makeEntries(std::size_t count) {
    static const char* const kPatterns[] = {
        "IMG_%05zu.JPG",
        "holiday-2004 beach %zu.jpeg",
        "Track %02zu - Artist Name.mp3",
        "report final v%zu.docx",
        "caf\xC3\xA9 cr\xC3\xA8me %zu.png",
        "scan%zu",
    };
    std::vector<FileEntry> entries;
    entries.reserve(count);
    std::vector<std::shared_ptr<const EntryFolder>> folders;
    std::vector<std::unique_ptr<FolderNames>> names;
    for (int f = 0; f < 100; ++f) {
        const std::string name = "Folder " + std::to_string(f);
        folders.push_back(std::make_shared<EntryFolder>(EntryFolder{"/data/" + name, name, ""}));
        names.push_back(std::make_unique<FolderNames>());
    }
    char buffer[128];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, kPatterns[i % 6], i);
        // Every folder knows its names, as after a scan: the collision check
        // looks each new name up there.
        const std::size_t f = i / 1000 % folders.size();
        names[f]->add(buffer, FileKind::File);
        FileEntry e(folders[f], buffer, false);
        const auto day = static_cast<std::uint16_t>(1 + i % 28);
        const auto hour = static_cast<std::uint16_t>(i % 24);
        const auto minute = static_cast<std::uint16_t>(i % 60);
        e.created = e.modified = e.accessed = DateTime{2004, 3, 0, day, hour, minute, 5, 0};
        e.size = static_cast<std::int64_t>(i * 1000);
        entries.push_back(std::move(e));
    }
    for (std::size_t f = 0; f < folders.size(); ++f) {
        names[f]->seal();
        folders[f]->names.publish(std::move(names[f]));
    }
    return entries;
}

using bench::heavyCriteria;

void runPreview(benchmark::State& state, const RenameCriteria& criteria) {
    const long long before = heapBytes();
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<FileEntry> entries = makeEntries(count);
    const long long after = heapBytes();
    EntryVectorTarget target(entries);
    StatusPanes status;
    SystemClock clock;
    // The list is previewed again and again while the user edits criteria;
    // measure that steady state, not the first growth of every new name.
    refreshPreview(criteria, Preferences{}, target, status, clock);
    for (auto _ : state) {
        refreshPreview(criteria, Preferences{}, target, status, clock);
        benchmark::DoNotOptimize(entries.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["entries_MB"] = static_cast<double>(after - before) / 1e6;
    state.counters["peak_rss_MB"] = static_cast<double>(peakResidentBytes()) / 1e6;
}

void BM_PreviewDefault(benchmark::State& state) {
    runPreview(state, RenameCriteria{});
}
void BM_PreviewHeavy(benchmark::State& state) {
    runPreview(state, heavyCriteria());
}

// 100,000 entries is the size that matters; 10,000 shows how much of the
// time goes to memory traffic rather than to the steps themselves.
BENCHMARK(BM_PreviewDefault)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Arg(100'000)
    ->Arg(10'000);
BENCHMARK(BM_PreviewHeavy)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Arg(100'000)
    ->Arg(10'000);

} // namespace
} // namespace vantrel
