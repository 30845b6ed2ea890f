#include "platform/PosixFileSystem.h"

#include "platform/TempDir_test.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace vantrel {
namespace {

using test::TempDir;

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Runs `body` with the process's file size limit at `bytes`, the signal
/// that would end it ignored, so that writes past it fail with EFBIG.
template <typename Body>
void withFileSizeLimit(rlim_t bytes, Body body) {
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = bytes;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    body();
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, oldHandler);
}

TEST(PosixJournalFile, AppendsAreInTheFileAtOnceInBothWritings) {
    for (const JournalWriting writing : {JournalWriting::Mapped, JournalWriting::WriteCalls}) {
        const TempDir dir;
        PosixFileSystem fs(writing);
        std::unique_ptr<JournalFile> file;
        ASSERT_TRUE(fs.openJournal(dir.file("j"), JournalAccess::Write, file).ok());
        ASSERT_TRUE(file->append("one\n").ok());
        ASSERT_TRUE(file->append("two\n").ok());
        const std::string seen = fileText(dir.file("j"));
        EXPECT_EQ(seen.substr(0, seen.find('\0')), "one\ntwo\n");
        std::string read;
        ASSERT_TRUE(file->read(read, 5).ok());
        EXPECT_EQ(read, "one\nt");
        ASSERT_TRUE(file->finish().ok());
        EXPECT_EQ(fileText(dir.file("j")), "one\ntwo\n") << "nothing reserved is left";
        ASSERT_TRUE(file->append("three\n").ok()); // after finish, on again
        ASSERT_TRUE(file->truncate().ok());
        ASSERT_TRUE(file->append("four\n").ok());
        file.reset();
        EXPECT_EQ(fileText(dir.file("j")), "four\n");

        // Missing: only Write makes it; its folder is never made.
        EXPECT_EQ(fs.openJournal(dir.file("k"), JournalAccess::Update, file).error().code, ENOENT);
        EXPECT_EQ(fs.openJournal(dir.file("no/j"), JournalAccess::Write, file).error().code,
                  ENOENT);
    }
}

TEST(PosixJournalFile, LocksExcludeOtherOpens) {
    const TempDir dir;
    PosixFileSystem fs;
    std::unique_ptr<JournalFile> writer;
    ASSERT_TRUE(fs.openJournal(dir.file("j"), JournalAccess::Write, writer).ok());
    std::unique_ptr<JournalFile> other;
    for (const JournalAccess access :
         {JournalAccess::Write, JournalAccess::Update, JournalAccess::ReadShared}) {
        const Result r = fs.openJournal(dir.file("j"), access, other);
        EXPECT_EQ(r.error().code, EWOULDBLOCK);
        EXPECT_EQ(r.error().text(),
                  "lock journal '" + dir.file("j") + "': another rename batch is using it");
    }
    EXPECT_TRUE(fs.openJournal(dir.file("j"), JournalAccess::Read, other).ok());
    writer.reset();
    EXPECT_TRUE(fs.openJournal(dir.file("j"), JournalAccess::ReadShared, writer).ok());
    EXPECT_TRUE(fs.openJournal(dir.file("j"), JournalAccess::ReadShared, other).ok());
}

TEST(PosixJournalFile, AMappedJournalThatCannotGrowStops) {
    const TempDir dir;
    PosixFileSystem fs;
    std::unique_ptr<JournalFile> file;
    ASSERT_TRUE(fs.openJournal(dir.file("j"), JournalAccess::Write, file).ok());
    const std::string record(400, 'r');
    std::size_t written = 0;
    Result r;
    // Room for the first reservation and one more, not the next.
    withFileSizeLimit(3 << 20, [&] {
        while (written < 100000 && (r = file->append(record + "\n")))
            ++written;
    });
    ASSERT_FALSE(r.ok());
    EXPECT_TRUE(r.error().code == EFBIG || r.error().code == ENOSPC) << r.error().text();
    EXPECT_FALSE(file->append("late\n").ok()) << "nothing after a failed append";
    file.reset();
    const std::string text = fileText(dir.file("j"));
    EXPECT_EQ(text.size(), written * (record.size() + 1)) << "every append before it, no more";
    EXPECT_GT(text.size(), std::size_t{1} << 20) << "it grew past its first reservation";
}

TEST(PosixJournalFile, AShortWriteStopsEveryLaterAppend) {
    const TempDir dir;
    PosixFileSystem fs(JournalWriting::WriteCalls);
    std::unique_ptr<JournalFile> file;
    ASSERT_TRUE(fs.openJournal(dir.file("j"), JournalAccess::Write, file).ok());
    ASSERT_TRUE(file->append("first\n").ok());
    Result failed;
    withFileSizeLimit(16, [&] { failed = file->append(std::string(100, 'd') + "\n"); });
    EXPECT_EQ(failed.error().code, EFBIG);
    // The torn record stays the last line: nothing may be glued to it.
    EXPECT_FALSE(file->append("next\n").ok());
    file.reset();
    EXPECT_EQ(fileText(dir.file("j")), "first\n" + std::string(10, 'd'));
}

TEST(PosixFileSystem, ChildFoldersOpenRelativeAndNeverThroughALink) {
    const TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("real").c_str(), 0755), 0);
    std::ofstream(dir.file("real/inside")) << "x";
    ASSERT_EQ(::symlink("real", dir.file("link").c_str()), 0);
    PosixFileSystem fs;
    std::unique_ptr<FolderListing> top;
    ASSERT_TRUE(fs.openFolder(dir.path(), top).ok());
    std::unique_ptr<FolderListing> child;
    ASSERT_TRUE(top->openFolder("real", child).ok());
    std::string_view name;
    FileKind kind = FileKind::Unknown;
    ASSERT_TRUE(child->next(name, kind));
    EXPECT_EQ(name, "inside");
    EXPECT_FALSE(child->next(name, kind));
    EXPECT_TRUE(child->readFailure().ok());
    const Result viaLink = top->openFolder("link", child);
    EXPECT_FALSE(viaLink.ok());
    EXPECT_NE(viaLink.error().text().find(dir.file("link")), std::string::npos);
}

} // namespace
} // namespace vantrel
