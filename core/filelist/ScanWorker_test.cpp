#include "filelist/ScanWorker.h"

#include "filelist/JpegBuilder_test.h"
#include "filelist/Sorting.h"
#include "filelist/WildcardMatch.h"
#include "platform/PosixFileSystem.h"
#include "platform/Random.h"
#include "platform/TempDir_test.h"
#include "testsupport/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vantrel {
namespace {

TEST(WildcardMatch, Table) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    const Case cases[] = {
        {"*", "", true},
        {"*", "anything.txt", true},
        {"", "", true},
        {"", "a", false},
        {"*.jpg", "a.jpg", true},
        {"*.jpg", "a.jpeg", false},
        {"*.jpg", ".jpg", true},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"*a*b", "xaxxb", true},
        {"*a*b", "xaxbx", false},
        {"*.txt", "a.txt.txt", true},
        {"a*", "a", true},
        {"**", "", true},
        {"*?", "", false},
        {"?", "é", true},
        {"??", "é", false},
        {"*é?", "aéb", true},
        {"ab", "abc", false},
        {"abc", "ab", false},
        {"*ab*ab", "abxabab", true},
        {"?*?", "ab", true},
        {"*x", "xxxxxy", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.match) << c.pattern << " / " << c.name;
}

/// "sub/dir/name" of each entry, below the scan root.
std::vector<std::string> relativePaths(const std::vector<FileEntry>& entries) {
    std::vector<std::string> out;
    for (const FileEntry& e : entries) {
        std::string sub = e.subDir();
        if (!sub.empty() && sub.front() == '/')
            sub.erase(0, 1);
        out.push_back(sub.empty() ? e.name() : sub + "/" + e.name());
    }
    return out;
}

std::vector<FileEntry> scan(FileSystem& fs, const ScanRequest& request,
                            const TypeNameProvider& types = {}) {
    EntryCollector sink;
    std::atomic<bool> cancel{false};
    runScan(request, fs, types, sink, cancel);
    EXPECT_TRUE(sink.done);
    return std::move(sink.entries);
}

/// A tree that exercises every Selections rule.
MemoryFileSystem selectionsTree() {
    MemoryFileSystem fs;
    fs.addFolder("/r");
    fs.addFolder("/r/abc");
    fs.addFile("/r/abc/x.jpg");
    fs.addFolder("/r/abc/deep");
    fs.addFile("/r/abc/deep/y.jpg");
    fs.addFolder("/r/photos.jpg");
    fs.addFile("/r/photos.jpg/z.jpg");
    fs.addFile("/r/ab.txt");
    fs.addFile("/r/.hidden.jpg");
    fs.addFolder("/r/.hiddir");
    fs.addFile("/r/.hiddir/h.jpg");
    fs.addFolder("/r/ReCyClEr");
    fs.addFile("/r/ReCyClEr/r.jpg");
    fs.addFolder("/r/system volume information");
    fs.addFile("/r/system volume information/s.jpg");
    fs.addFile("/r/a:b.jpg");
    fs.addFile("/r/IMG.JPG");
    return fs;
}

TEST(Scan, SelectionsRules) {
    struct Case {
        const char* what;
        const char* filter;
        bool folders, files, hidden, recursive;
        const char* minLength;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"everything, recursive",
         "*",
         true,
         true,
         false,
         true,
         "0",
         {"abc", "abc/x.jpg", "abc/deep", "abc/deep/y.jpg", "photos.jpg", "photos.jpg/z.jpg",
          "ab.txt", "IMG.JPG"}},
        {"top level only",
         "*",
         true,
         true,
         false,
         false,
         "0",
         {"abc", "photos.jpg", "ab.txt", "IMG.JPG"}},
        {"filter decides what is entered",
         "*.jpg",
         true,
         true,
         false,
         true,
         "0",
         {"photos.jpg", "photos.jpg/z.jpg", "IMG.JPG"}},
        {"min. len. skips but descends",
         "*",
         true,
         true,
         false,
         true,
         "5",
         {"abc/x.jpg", "abc/deep/y.jpg", "photos.jpg", "photos.jpg/z.jpg", "ab.txt", "IMG.JPG"}},
        {"no folders, still descends",
         "*",
         false,
         true,
         false,
         true,
         "0",
         {"abc/x.jpg", "abc/deep/y.jpg", "photos.jpg/z.jpg", "ab.txt", "IMG.JPG"}},
        {"no files", "*", true, false, false, true, "0", {"abc", "abc/deep", "photos.jpg"}},
        {"hidden",
         "*.jpg",
         true,
         true,
         true,
         true,
         "0",
         {"photos.jpg", "photos.jpg/z.jpg", ".hidden.jpg", "IMG.JPG"}},
        {"hidden folders entered",
         "*",
         false,
         true,
         true,
         true,
         "0",
         {"abc/x.jpg", "abc/deep/y.jpg", "photos.jpg/z.jpg", "ab.txt", ".hidden.jpg",
          ".hiddir/h.jpg", "IMG.JPG"}},
        {"empty filter lists nothing", "", true, true, true, true, "0", {}},
        {"filter ignores case", "img.*", true, true, false, true, "0", {"IMG.JPG"}},
        {"non-numeric min. len. is 0",
         "*",
         true,
         true,
         false,
         false,
         "abc",
         {"abc", "photos.jpg", "ab.txt", "IMG.JPG"}},
        {"negative min. len.",
         "*",
         true,
         true,
         false,
         false,
         "-3",
         {"abc", "photos.jpg", "ab.txt", "IMG.JPG"}},
    };
    for (const Case& c : cases) {
        MemoryFileSystem fs = selectionsTree();
        RenameCriteria criteria;
        criteria.filter = c.filter;
        criteria.includeFolders = c.folders;
        criteria.includeFiles = c.files;
        criteria.includeHidden = c.hidden;
        criteria.recursive = c.recursive;
        criteria.minLength = c.minLength;
        const auto entries = scan(fs, makeScanRequest(criteria, Preferences{}, "/r/"));
        EXPECT_EQ(relativePaths(entries), c.expected) << c.what;
    }
}

TEST(Scan, EntryFields) {
    MemoryFileSystem fs;
    fs.addFolder("/photos/2004/May");
    const FileTime modified{1089800553, 250000000}; // 2004-07-14 10:22:33.25 UTC
    const std::string jpeg = test::JpegFile()
                                 .section(0xE1, test::exifWithDate(false, "2005:07:14 10:22:33"))
                                 .scan()
                                 .bytes();
    fs.addFile("/photos/2004/May/a.jpeg", jpeg, modified);
    fs.addFile("/photos/2004/May/b.JPG", "not a jpeg", modified);
    fs.addFile("/photos/2004/May/c.txt", "text", modified);
    fs.addFile("/photos/top.jpg", test::JpegFile().scan().bytes(), modified);

    ScanRequest request;
    request.root = "/photos";
    request.recursive = true;
    std::vector<std::pair<std::string, bool>> asked;
    const auto entries = scan(fs, request, [&](std::string_view name, bool isFolder) {
        asked.emplace_back(std::string(name), isFolder);
        return isFolder ? std::string("Folder") : "Type of " + std::string(name);
    });
    ASSERT_EQ(entries.size(), 6U);
    const FileEntry& folder2004 = entries[0];
    EXPECT_EQ(folder2004.name(), "2004");
    EXPECT_TRUE(folder2004.isFolder());
    EXPECT_EQ(folder2004.size, -1);
    EXPECT_EQ(folder2004.typeName, "Folder");
    EXPECT_EQ(folder2004.subDir(), "");
    EXPECT_EQ(folder2004.parentFolderName(), "photos");

    const FileEntry& a = entries[2];
    EXPECT_EQ(a.itemPath(), "/photos/2004/May/a.jpeg");
    EXPECT_EQ(a.subDir(), "/2004/May");
    EXPECT_EQ(a.parentFolderName(), "May");
    EXPECT_EQ(a.size, static_cast<std::int64_t>(jpeg.size()));
    EXPECT_EQ(a.typeName, "Type of a.jpeg");
    EXPECT_TRUE(a.hasDateTaken);
    EXPECT_EQ(a.dateTaken, (DateTime{2005, 7, 0, 14, 10, 22, 33, 0}));
    EXPECT_EQ(a.newName(), "a.jpeg");

    // The modification time, in local time, milliseconds included.
    const std::time_t t = modified.seconds;
    std::tm local{};
    ASSERT_NE(localtime_r(&t, &local), nullptr);
    EXPECT_EQ(a.modified.hour, local.tm_hour);
    EXPECT_EQ(a.modified.day, local.tm_mday);
    EXPECT_EQ(a.modified.dayOfWeek, local.tm_wday);
    EXPECT_EQ(a.modified.milliseconds, 250);
    EXPECT_EQ(a.created, a.modified);

    EXPECT_FALSE(entries[3].hasDateTaken) << "not a JPEG inside";
    EXPECT_FALSE(entries[4].hasDateTaken) << "not named like a JPEG";
    const FileEntry& top = entries[5];
    EXPECT_EQ(top.name(), "top.jpg");
    EXPECT_TRUE(top.hasDateTaken) << "a JPEG without a date still has a (zero) date taken";
    EXPECT_TRUE(top.dateTaken.isZero());
    EXPECT_EQ(asked.size(), 6U);
}

TEST(Scan, DatesTakenOnlyWhenAsked) {
    MemoryFileSystem fs;
    fs.addFile("/r/d.jpg", test::JpegFile()
                               .section(0xE1, test::exifWithDate(true, "2001:02:03 04:05:06"))
                               .scan()
                               .bytes());
    ScanRequest request;
    request.root = "/r";
    request.readDatesTaken = false;
    request.readAttributes = false; // the listing does not tell kinds: read anyway
    const auto entries = scan(fs, request);
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_FALSE(entries[0].hasDateTaken);
    EXPECT_GT(entries[0].size, 0);
    EXPECT_EQ(fs.calls(MemoryFileSystem::Operation::OpenRead), 0U);
}

/// Keeps the entries and every failure told.
class ReportingSink final : public ScanSink {
public:
    void folderStarted(const std::string& path) override { collector.folderStarted(path); }
    void entriesFound(std::vector<FileEntry> batch) override {
        collector.entriesFound(std::move(batch));
    }
    void scanDone() override { collector.scanDone(); }
    void readFailed(const Error& error) override { failures.push_back(error.text()); }
    EntryCollector collector;
    std::vector<std::string> failures;
};

TEST(Scan, FailuresSkipWhatCannotBeReadAndSaySo) {
    MemoryFileSystem fs;
    fs.addFile("/r/a/1.txt");
    fs.addFile("/r/b/2.txt");
    fs.addFile("/r/c.txt");
    fs.addFile("/r/e/3.txt");
    fs.addFile("/r/f.txt");
    fs.addFile("/r/d.jpg", test::JpegFile()
                               .section(0xE1, test::exifWithDate(true, "2001:02:03 04:05:06"))
                               .scan()
                               .bytes());
    fs.failPath(MemoryFileSystem::Operation::OpenFolder, "/r/a", EACCES);
    fs.failPath(MemoryFileSystem::Operation::Attributes, "/r/c.txt", ENOENT);
    fs.failPath(MemoryFileSystem::Operation::OpenRead, "/r/d.jpg", EACCES);
    fs.failPath(MemoryFileSystem::Operation::ReadFolder, "/r/e", EIO);
    fs.failPath(MemoryFileSystem::Operation::Attributes, "/r/f.txt", EACCES);

    ScanRequest request;
    request.root = "/r";
    request.recursive = true;
    ReportingSink reporting;
    std::atomic<bool> cancel{false};
    runScan(request, fs, {}, reporting, cancel);
    const EntryCollector& sink = reporting.collector;
    // The unreadable folder is listed but adds nothing and is not announced;
    // the entry without attributes is left out; the unreadable JPEG has no date.
    EXPECT_EQ(relativePaths(sink.entries),
              (std::vector<std::string>{"a", "b", "b/2.txt", "e", "d.jpg"}));
    EXPECT_EQ(sink.folders, (std::vector<std::string>{"/r", "/r/b", "/r/e"}));
    EXPECT_FALSE(sink.entries.back().hasDateTaken);
    // What is left out is told, with the system's text; an entry that
    // vanished meanwhile is simply gone, and a JPEG without its date is listed.
    EXPECT_EQ(reporting.failures,
              (std::vector<std::string>{"open the folder '/r/a': Permission denied",
                                        "read the folder '/r/e': Input/output error",
                                        "read the attributes of '/r/f.txt': Permission denied"}));

    EntryCollector none;
    runScan(ScanRequest{}, fs, {}, none, cancel);
    EXPECT_TRUE(none.entries.empty());
    EXPECT_TRUE(none.done) << "a scan without a root still ends";
}

/// Logs the order in which a scan reports, to check that batches never
/// overtake folder announcements.
class EventLog final : public ScanSink {
public:
    void folderStarted(const std::string& path) override { events.push_back("folder " + path); }
    void entriesFound(std::vector<FileEntry> batch) override {
        for (const FileEntry& e : batch)
            events.push_back("entry " + e.itemPath());
    }
    void scanDone() override { events.emplace_back("done"); }
    std::vector<std::string> events;
};

TEST(Scan, ReportsInListOrder) {
    MemoryFileSystem fs;
    fs.addFile("/r/a/1");
    fs.addFile("/r/b");
    EventLog log;
    ScanRequest request;
    request.root = "/r";
    request.recursive = true;
    std::atomic<bool> cancel{false};
    runScan(request, fs, {}, log, cancel);
    EXPECT_EQ(log.events, (std::vector<std::string>{"folder /r", "entry /r/a", "folder /r/a",
                                                    "entry /r/a/1", "entry /r/b", "done"}));
}

/// Scans on the worker and stops it while it is blocked inside the first
/// entry: exactly that entry is kept, and the end is still reported.
void stopWhileRunning(FileSystem& fs, const std::string& root) {
    EntryCollector sink;
    std::atomic<bool> inside{false};
    ScanWorker* workerPtr = nullptr;
    ScanWorker worker(
        fs,
        [&](std::string_view, bool) {
            inside = true;
            while (!workerPtr->stopRequested())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return std::string();
        },
        sink);
    workerPtr = &worker;
    ScanRequest request;
    request.root = root;
    request.recursive = true;
    ASSERT_TRUE(worker.startScan(request));
    EXPECT_FALSE(worker.startScan(request)) << "one worker at a time";
    while (!inside)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(worker.stopScan());
    EXPECT_FALSE(worker.hasWorker());
    EXPECT_EQ(sink.entries.size(), 1U);
    EXPECT_TRUE(sink.done);
    EXPECT_TRUE(worker.stopScan()) << "stopping again is harmless";
}

TEST(ScanWorker, StopWhileRunningInMemory) {
    MemoryFileSystem fs;
    for (int i = 0; i < 50; ++i)
        fs.addFile("/r/d" + std::to_string(i % 5) + "/f" + std::to_string(i));
    stopWhileRunning(fs, "/r");
}

TEST(ScanWorker, StopWhileRunningOnDisk) {
    test::TempDir dir;
    for (int i = 0; i < 20; ++i)
        std::ofstream(dir.file("f" + std::to_string(i)));
    PosixFileSystem fs;
    stopWhileRunning(fs, dir.path());
}

TEST(ScanWorker, FinishedWorkerMustBeStoppedBeforeTheNextScan) {
    MemoryFileSystem fs;
    fs.addFile("/r/x");
    EntryCollector sink;
    ScanWorker worker(fs, {}, sink);
    ScanRequest request;
    request.root = "/r";
    ASSERT_TRUE(worker.startScan(request));
    while (!worker.hasWorker() || !sink.done)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(worker.startScan(request));
    EXPECT_TRUE(worker.stopScan());
    EXPECT_TRUE(worker.startScan(request));
}

TEST(ScanWorker, DestroyedFromItsOwnThreadStopsQuietly) {
    MemoryFileSystem fs;
    for (int i = 0; i < 10; ++i)
        fs.addFile("/r/d" + std::to_string(i) + "/f");
    // The type names go when the scan's last state goes, so their end tells
    // that the left thread has finished.
    std::promise<void> finished;
    auto guard = std::shared_ptr<void>(nullptr, [&finished](void*) { finished.set_value(); });

    class DestroyingSink final : public ScanSink {
    public:
        void folderStarted(const std::string&) override {
            if (++calls >= 2)
                worker.reset(); // on the worker's own thread, within its second folder
        }
        void entriesFound(std::vector<FileEntry>) override { ++calls; }
        void scanDone() override { ++calls; }
        std::unique_ptr<ScanWorker> worker;
        int calls = 0;
    } sink;
    sink.worker = std::make_unique<ScanWorker>(
        fs, [g = std::move(guard)](std::string_view, bool) { return std::string(); }, sink);
    ScanRequest request;
    request.root = "/r";
    request.recursive = true;
    std::future<void> done = finished.get_future();
    ASSERT_TRUE(sink.worker->startScan(request));
    ASSERT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(sink.calls, 3) << "nothing reaches the sink after the worker is gone";
}

TEST(ScanDisk, HiddenNamesLinksAndSpecialFiles) {
    test::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
    std::ofstream(dir.file("sub/inner.txt")) << "x";
    std::ofstream(dir.file(".dotfile")) << "x";
    ASSERT_EQ(::symlink("..", dir.file("sub/loop").c_str()), 0); // a cycle back up
    ASSERT_EQ(::symlink("sub", dir.file("link-to-sub").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.file("pipe.jpg").c_str(), 0644), 0); // must not block the scan
    std::ofstream(dir.file("photo.jpg"), std::ios::binary)
        << test::JpegFile()
               .section(0xE1, test::exifWithDate(false, "2010:01:02 03:04:05"))
               .scan()
               .bytes();

    PosixFileSystem fs;
    ScanRequest request;
    request.root = dir.path() + "/";
    request.recursive = true;
    auto entries = scan(fs, request);
    std::vector<std::string> paths = relativePaths(entries);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"link-to-sub", "photo.jpg", "pipe.jpg", "sub",
                                               "sub/inner.txt", "sub/loop"}));
    for (const FileEntry& e : entries) {
        if (e.name() == "link-to-sub" || e.name() == "loop") {
            EXPECT_FALSE(e.isFolder()) << "links are listed, never followed";
        } else if (e.name() == "sub") {
            EXPECT_EQ(e.size, -1);
        } else if (e.name() == "inner.txt") {
            EXPECT_EQ(e.size, 1);
        } else if (e.name() == "photo.jpg") {
            EXPECT_EQ(e.dateTaken, (DateTime{2010, 1, 0, 2, 3, 4, 5, 0}));
        } else if (e.name() == "pipe.jpg") {
            EXPECT_FALSE(e.hasDateTaken);
        }
        EXPECT_NE(e.modified.year, 0) << e.name();
    }

    request.includeHidden = true;
    request.recursive = false;
    paths = relativePaths(scan(fs, request));
    EXPECT_NE(std::find(paths.begin(), paths.end(), ".dotfile"), paths.end());
}

TEST(ScanDisk, AttributesOnlyWhenAsked) {
    test::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
    std::ofstream(dir.file("sub/inner.txt")) << "text";
    std::ofstream(dir.file("photo.jpg"), std::ios::binary)
        << test::JpegFile()
               .section(0xE1, test::exifWithDate(false, "2010:01:02 03:04:05"))
               .scan()
               .bytes();
    PosixFileSystem fs;
    ScanRequest request;
    request.root = dir.path();
    request.recursive = true;
    for (const bool read : {true, false}) {
        request.readAttributes = read;
        for (const FileEntry& e : scan(fs, request)) {
            EXPECT_EQ(e.isFolder(), e.name() == "sub");
            EXPECT_EQ(e.modified.isZero(), !read) << e.name();
            if (e.name() == "inner.txt") {
                EXPECT_EQ(e.size, read ? 4 : 0);
            }
            if (e.name() == "photo.jpg") {
                EXPECT_EQ(e.dateTaken, (DateTime{2010, 1, 0, 2, 3, 4, 5, 0}));
            }
        }
    }
}

// A folder big enough that its attributes are read on two threads: every
// entry keeps its place in the listing, its own size, and its folder's
// contents right after it; the folder's names know every child's kind.
TEST(ScanDisk, ABigFolderIsListedInOrderWithItsOwnAttributes) {
    test::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    constexpr int kFiles = 400;
    for (int i = 0; i < kFiles; ++i) {
        if (i % 100 == 7) {
            const std::string sub = dir.file("d" + std::to_string(i));
            ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
            std::ofstream(sub + "/inside") << "in";
        } else {
            std::ofstream(dir.file("f" + std::to_string(i))) << std::string(std::size_t(i), 'x');
        }
    }
    std::vector<std::string> listed; // the order the listing gives
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        listed.push_back(e.path().filename().string());

    PosixFileSystem fs;
    ScanRequest request;
    request.root = dir.path();
    request.recursive = true;
    const std::vector<FileEntry> entries = scan(fs, request);
    std::vector<std::string> expected;
    for (const std::string& name : listed) {
        expected.push_back(name);
        if (name.front() == 'd')
            expected.push_back(name + "/inside");
    }
    EXPECT_EQ(relativePaths(entries), expected);
    for (const FileEntry& e : entries) {
        if (e.name().front() == 'f') {
            EXPECT_EQ(e.size, std::stoll(e.name().substr(1))) << e.name();
        } else if (e.name().front() == 'd') {
            EXPECT_TRUE(e.isFolder()) << e.name();
        }
        EXPECT_NE(e.modified.year, 0) << e.name();
    }
    const FolderNames* names = entries.front().folder()->names.get();
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->size(), listed.size());
    EXPECT_EQ(*names->find("d107"), FileKind::Folder);
    EXPECT_EQ(*names->find("f108"), FileKind::File);
}

// Folders are read relative to their open parent: a tree deeper than the
// longest path the system takes is listed whole.
TEST(ScanDisk, DepthBeyondThePathLimitIsListedWhole) {
    test::TempDir dir;
    const std::string name(100, 'n');
    constexpr int kLevels = 45; // 45 * 101 bytes: past PATH_MAX (4096)
    std::vector<int> fds{::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY)};
    for (int level = 0; level < kLevels; ++level) {
        ASSERT_EQ(::mkdirat(fds.back(), name.c_str(), 0755), 0) << level;
        const int file = ::openat(fds.back(), "f", O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(file, 0);
        ::close(file);
        fds.push_back(::openat(fds.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
        ASSERT_GE(fds.back(), 0) << level;
    }
    PosixFileSystem fs;
    ScanRequest request;
    request.root = dir.path();
    request.recursive = true;
    ReportingSink reporting;
    std::atomic<bool> cancel{false};
    runScan(request, fs, {}, reporting, cancel);
    EXPECT_EQ(reporting.collector.entries.size(), 2U * kLevels);
    EXPECT_TRUE(reporting.failures.empty());
    std::size_t deepest = 0;
    for (const FileEntry& e : reporting.collector.entries)
        deepest = std::max(deepest, e.containingFolder().size());
    EXPECT_GT(deepest, 4096U);
    // The temporary folder's own clean-up walks by path: take the tree down here.
    for (int level = kLevels; level-- > 0;) {
        ::close(fds.back());
        fds.pop_back();
        ASSERT_EQ(::unlinkat(fds.back(), name.c_str(), AT_REMOVEDIR), 0);
        ASSERT_EQ(::unlinkat(fds.back(), "f", 0), 0);
    }
    ::close(fds.back());
}

TEST(ScanDisk, UnreadableFolderAddsNothing) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    test::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("closed").c_str(), 0755), 0);
    std::ofstream(dir.file("closed/secret.txt")) << "x";
    std::ofstream(dir.file("open.txt")) << "x";
    ASSERT_EQ(::chmod(dir.file("closed").c_str(), 0), 0);
    PosixFileSystem fs;
    ScanRequest request;
    request.root = dir.path();
    request.recursive = true;
    auto paths = relativePaths(scan(fs, request));
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"closed", "open.txt"}));
}

// Folders are opened and listed a little ahead of the one being scanned;
// with the descriptors nearly used up, the ones that cannot be opened ahead
// are opened when due, and the list is the same.
TEST(ScanDisk, ReadingAheadKeepsTheOrderAndNeedsNoSpareDescriptors) {
    test::TempDir dir;
    for (const char* folder : {"a", "b", "c", "d", "e", "f", "g"}) {
        ASSERT_EQ(::mkdir(dir.file(folder).c_str(), 0755), 0);
        for (const char* file : {"1", "2", "3"})
            std::ofstream(dir.file(std::string(folder) + "/" + file)) << "x";
        std::ofstream(dir.file(std::string(folder) + ".txt")) << "x";
    }
    ASSERT_EQ(::mkdir(dir.file("a/deeper").c_str(), 0755), 0);
    std::ofstream(dir.file("a/deeper/4")) << "x";
    PosixFileSystem fs;
    ScanRequest request;
    request.root = dir.path();
    request.recursive = true;
    const std::vector<std::string> paths = relativePaths(scan(fs, request));
    ASSERT_EQ(paths.size(), 7U * 5 + 2);
    // Each folder's contents follow it at once, whatever the listing order.
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::size_t j = i + 1;
        while (j < paths.size() && paths[j].starts_with(paths[i] + "/"))
            ++j;
        for (std::size_t k = j; k < paths.size(); ++k)
            EXPECT_FALSE(paths[k].starts_with(paths[i] + "/")) << paths[k] << " after " << paths[i];
    }

    // Three descriptors to spare, as the scan needs going down one folder
    // at a time: the root's, a's, and a/deeper's.
    std::vector<int> used;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        // The listing's own descriptor is closed by the time it matters.
        if (!std::filesystem::read_symlink(fd.path(), ec).string().ends_with("/fd"))
            used.push_back(std::stoi(fd.path().filename().string()));
    }
    std::sort(used.begin(), used.end());
    int limit = 0;
    for (int spare = 3; spare > 0; ++limit) {
        if (!std::binary_search(used.begin(), used.end(), limit))
            --spare;
    }
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(limit);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    ReportingSink reporting;
    std::atomic<bool> cancel{false};
    runScan(request, fs, {}, reporting, cancel);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(relativePaths(reporting.collector.entries), paths);
    EXPECT_TRUE(reporting.failures.empty());
}

/// The relative paths of the rows, in their order.
std::vector<std::string> rowPaths(const EntryRows& listed) {
    std::vector<FileEntry> inOrder;
    for (const FileEntry* row : listed.rows)
        inOrder.push_back(*row);
    return relativePaths(inOrder);
}

/// A scan into `collector`, sorted by `state` (shuffled from seed 7) when given.
void collect(FileSystem& fs, const ScanRequest& request, EntryCollector& collector,
             const SortState* state, bool keep) {
    SystemRandom random(7);
    collector.sortBy = state;
    collector.random = &random;
    collector.keepBatches = keep;
    std::atomic<bool> cancel{false};
    runScan(request, fs, {}, collector, cancel);
}

/// The relative paths of the scan, in the order sorting the joined list gives.
std::vector<std::string> sortedPaths(FileSystem& fs, const ScanRequest& request,
                                     const SortState& state) {
    const std::vector<FileEntry> joined = scan(fs, request);
    const std::vector<std::string> paths = relativePaths(joined);
    SystemRandom random(7);
    std::vector<std::string> sorted;
    for (const std::size_t i : sortOrder(joined, state, random))
        sorted.push_back(paths[i]);
    return sorted;
}

// Joined in a sort order, or left in place with rows in that order, the
// entries are in the order sorting the joined list gives.
TEST(Scan, EntriesJoinedInOrderAsSortingLeavesThem) {
    MemoryFileSystem fs;
    for (const char* path : {"/r/b10.txt", "/r/B2.txt", "/r/a", "/r/z/k1", "/r/z/k01", "/r/y/M",
                             "/r/y/m", "/r/c.TXT", "/r/x/b10.txt"})
        fs.addFile(path, "x");
    ScanRequest request;
    request.root = "/r";
    request.recursive = true;
    struct Case {
        const char* what;
        SortState state;
    };
    const Case cases[] = {
        {"by name", SortState{0, 1, 0, 0}},    {"by name, down", SortState{0, 0, 0, 0}},
        {"by sub dir", SortState{2, 1, 0, 0}}, {"by name, natural", SortState{0, 1, 1, 0}},
        {"shuffled", SortState{0, 1, 0, 1}},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> expected = sortedPaths(fs, request, c.state);
        for (const bool keep : {false, true}) {
            EntryCollector sorted;
            collect(fs, request, sorted, &c.state, keep);
            EXPECT_EQ(keep ? rowPaths(sorted.listed) : relativePaths(sorted.entries), expected)
                << c.what;
            EXPECT_TRUE(keep ? sorted.entries.empty() : sorted.listed.rows.empty()) << c.what;
        }
    }
    // Unsorted, the rows are the scan's order, over the scan's own batches.
    EntryCollector kept;
    collect(fs, request, kept, nullptr, true);
    EXPECT_EQ(rowPaths(kept.listed), relativePaths(scan(fs, request)));

    // Sorted in long runs (whole folders), the rows point into the batches
    // as they are; sorted by name, the two folders' rows take turns and the
    // entries are moved into list order in long cycles.
    MemoryFileSystem big;
    for (const char* folder : {"/r/q/", "/r/b/"})
        for (int i = 0; i < 300; ++i)
            big.addFile(folder + std::to_string(1000 - i) + folder[3], "x");
    for (const SortState& state : {SortState{2, 1, 0, 0}, SortState{0, 1, 0, 0}}) {
        EntryCollector runs;
        collect(big, request, runs, &state, true);
        EXPECT_EQ(rowPaths(runs.listed), sortedPaths(big, request, state)) << state.column;
        EXPECT_GT(runs.listed.batches.size(), 1U);
    }
}

} // namespace
} // namespace vantrel
