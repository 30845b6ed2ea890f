#include "TypeNames.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <gtest/gtest.h>

namespace vantrel::qtsupport {
namespace {

std::string direct(const std::string& name) {
    QMimeDatabase db;
    return db.mimeTypeForFile(QString::fromStdString(name), QMimeDatabase::MatchExtension)
        .comment()
        .toStdString();
}

// The cache answers by the text from the first "."; names that whole-name or
// prefix patterns match must still get their own answer, whatever was asked
// before them.
TEST(TypeNames, CachedAnswersEqualTheDatabase) {
    const std::string names[] = {
        "a.txt",          "CMakeLists.txt", "b.txt",       "README",
        "README.md",      "notes.md",       "Makefile",    "Makefile.am",
        "x.am",           "archive.tar.gz", "other.gz",    "page.1",
        "page.x1",        "backup~",        "file.C",      "file.c",
        "IMG_0001.JPG",   "IMG_0002.jpg",   ".txt",        "core",
        "core.txt",       "photo.2020.jpg", "libfoo.so.1", "x.so",
        "no extension",   "meson.build",    "a.build",     "\xC3\x84pfel.PDF",
        "SConscript.old", "x.old",          "123.vdr",     "abc.vdr",
    };
    TypeNameProvider cached = mimeTypeNames();
    for (int round = 0; round < 2; ++round) {
        for (const std::string& name : names)
            EXPECT_EQ(cached(name, false), direct(name)) << name;
    }
    EXPECT_FALSE(cached("any", true).empty());
}

} // namespace
} // namespace vantrel::qtsupport
