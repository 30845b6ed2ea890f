// Whole-process scan figures for the comparison script: the scan into
// entries, with or without type names, and the floor it is measured
// against, a bare recursive walk with readdir and statx per entry.
//
//   vantrel_scan_tool walk TREE        bare readdir + statx walk
//   vantrel_scan_tool scan TREE        recursive scan into entries
//   vantrel_scan_tool scan-types TREE  the same with MIME type names
// Each prints the number of entries; scan also prints the heap that the
// entries take beyond their names' own bytes.

#include "TypeNames.h"
#include "filelist/ScanWorker.h"
#include "platform/PosixFileSystem.h"

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// The floor: what any scan must do at least, in its plainest form.
void walk(int parent, const char* name, std::size_t& count, unsigned long long& bytes) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        struct statx stx {};
        if (::statx(fd, n, AT_SYMLINK_NOFOLLOW,
                    STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME, &stx) != 0)
            continue;
        ++count;
        bytes += stx.stx_size;
        if (S_ISDIR(stx.stx_mode))
            walk(fd, n, count, bytes);
    }
    ::closedir(dir);
}

long long heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd); // small blocks and mapped ones
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vantrel_scan_tool walk|scan|scan-types TREE\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "walk") {
        std::size_t count = 0;
        unsigned long long bytes = 0;
        walk(AT_FDCWD, argv[2], count, bytes);
        std::printf("%zu entries\n", count);
        return 0;
    }
    if (mode != "scan" && mode != "scan-types")
        return 2;
    vantrel::PosixFileSystem fs;
    vantrel::ScanRequest request;
    request.root = argv[2];
    request.recursive = true;
    const vantrel::TypeNameProvider types =
        mode == "scan-types" ? vantrel::qtsupport::mimeTypeNames() : vantrel::TypeNameProvider{};
    const long long before = heapInUse();
    vantrel::EntryCollector sink;
    const std::atomic<bool> cancel{false};
    vantrel::runScan(request, fs, types, sink, cancel);
    const long long after = heapInUse();
    unsigned long long nameBytes = 0;
    for (const vantrel::FileEntry& e : sink.entries) {
        // Long names live on the heap (short ones inside the entry itself).
        if (e.name().capacity() > 15)
            nameBytes += e.name().capacity() + 1;
        if (e.newName().capacity() > 15)
            nameBytes += e.newName().capacity() + 1;
    }
    std::printf("%zu entries\n", sink.entries.size());
    std::fprintf(stderr, "heap for entries: %.1f MB, of it names: %.1f MB, beyond names: %.1f MB\n",
                 static_cast<double>(after - before) / 1e6, static_cast<double>(nameBytes) / 1e6,
                 static_cast<double>(after - before - static_cast<long long>(nameBytes)) / 1e6);
    return 0;
}
