#include "favourites/IniFile.h"

#include "platform/PosixFileSystem.h"
#include "platform/TempDir_test.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// Each test gets its own folder under /tmp, removed afterwards.
class IniFileDisk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(temp_.path().empty());
        dir_ = temp_.path();
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    static void put(const std::string& file, const std::string& content) {
        std::ofstream(file, std::ios::binary) << content;
    }
    static std::string get(const std::string& file) {
        std::ostringstream out;
        out << std::ifstream(file, std::ios::binary).rdbuf();
        return out.str();
    }
    std::size_t entries() const {
        std::error_code ec;
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir_, ec), fs::directory_iterator()));
    }
    static unsigned mode(const std::string& file) {
        struct stat st {};
        return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 0777u : 0u;
    }
    test::TempDir temp_{"vantrel-ini"};
    std::string dir_;
    PosixFileSystem posix_;
};

IniFile parsed(std::string_view content) {
    IniFile ini;
    ini.loadText(content);
    return ini;
}

struct ReadCase {
    const char* name;
    std::string content, section, key, def, expected;
};

TEST(IniFileRead, Semantics) {
    const std::string a300(300, 'a');
    std::string e300, e259; // two-byte characters: the cut counts characters, not bytes
    for (int i = 0; i < 300; ++i)
        (i < 259 ? e259 : e300) += "\xC3\xA9";
    e300 = e259 + e300;
    const ReadCase cases[] = {
        {"names ignore case", "[general]\nPATH=x\n", "General", "path", "", "x"},
        {"non-ASCII names fold", "[\xC3\x84rger]\nK\xC3\x9C=1\n", "\xC3\xA4RGER", "k\xC3\xBC", "",
         "1"},
        {"blanks trimmed", "  [ Sec ]  \n  key  =   a  b   \n", "sec", "KEY", "", "a  b"},
        {"double quotes keep inner blanks", "[S]\nk=\" - \"\n", "S", "k", "", " - "},
        {"single quotes keep inner blanks", "[S]\nk=' - '\n", "S", "k", "", " - "},
        {"unpaired quotes", "[S]\nk=\"a'\n", "S", "k", "", "a'"},
        {"inner double quotes removed", "[S]\nk=\"say \"hi\"\"\n", "S", "k", "", "say hi"},
        {"equals in value", "[S]\nk = a=b\n", "S", "k", "", "a=b"},
        {"line without equals is no key", "[S]\nk\n", "S", "k", "dflt", "dflt"},
        {"key after a line without equals", "[S]\nk\nk=2\n", "S", "k", "", "2"},
        {"first matching key", "[S]\nk=1\nK=2\n", "S", "k", "", "1"},
        {"first matching section only", "[S]\na=1\n[s]\nb=2\n", "S", "b", "d", "d"},
        {"key before any section", "k=1\n[S]\n", "S", "k", "d", "d"},
        {"name ends at the last bracket", "[a]b] tail\nk=1\n", "a]b", "k", "", "1"},
        {"bracket without close is no section", "[S]\n[broken\nk=1\n", "S", "k", "", "1"},
        {"CRLF lines", "[S]\r\nk=v\r\n", "S", "k", "", "v"},
        {"a bare CR ends a line", "[S]\rk=v\r", "S", "k", "", "v"},
        {"bare CR, no final break", "[A]\ra=1\r[S]\rk=v", "S", "k", "", "v"},
        {"mixed line ends", "[A]\r\na=1\r[S]\nj=0\r\rk=v\r\n", "S", "k", "", "v"},
        {"CR CR LF is two ends", "[S]\r\r\nk=v", "S", "k", "", "v"},
        {"bare CR ends the section line", "[S]\rk=v", "S", "k", "d", "v"},
        {"cut to 259 characters", "[S]\nk=" + a300, "S", "k", "", a300.substr(0, 259)},
        {"cut never splits a character", "[S]\nk=" + e300, "S", "k", "", e259},
        {"invalid bytes count one each", "[S]\nk=" + std::string(300, '\xFF'), "S", "k", "",
         std::string(259, '\xFF')},
        {"quotes go before the cut", "[S]\nk=\"" + a300.substr(0, 259) + "\"", "S", "k", "",
         a300.substr(0, 259)},
    };
    for (const ReadCase& c : cases) {
        EXPECT_EQ(parsed(c.content).ReadString(c.section, c.key, c.def), c.expected) << c.name;
    }
}

TEST(IniFileRead, IntUsesTheAtoiRule) {
    const IniFile ini = parsed("[S]\na=42\nb=  -7xyz\nc=abc\nd=\"12\"\ne=99999999999\nf=\"\"3\n");
    EXPECT_EQ(ini.ReadInt("S", "a", 5), 42);
    EXPECT_EQ(ini.ReadInt("S", "b", 5), -7);
    EXPECT_EQ(ini.ReadInt("S", "c", 5), 0);
    EXPECT_EQ(ini.ReadInt("S", "d", 5), 12);
    EXPECT_EQ(ini.ReadInt("S", "e", 5), 2147483647);
    EXPECT_EQ(ini.ReadInt("S", "f", 5), 0); // inner quotes are not removed for numbers
    EXPECT_EQ(ini.ReadInt("S", "missing", -1), -1);
}

struct WriteCase {
    const char* name;
    std::string before, section, key, after;
};

TEST(IniFileWrite, KeepsEveryOtherLine) {
    const WriteCase cases[] = {
        {"in place, file's spelling kept", "[S]\n  KEY = old\nz=1\n", "s", "key",
         "[S]\nKEY=\"v\"\nz=1\n"},
        {"end of section, before blank lines", "[A]\na=1\n\n\n[B]\n", "A", "n",
         "[A]\na=1\nn=\"v\"\n\n\n[B]\n"},
        {"section holding only blanks", "[A]\n\n[B]\n", "a", "n", "[A]\nn=\"v\"\n\n[B]\n"},
        {"first of two matching sections", "[S]\n[s]\nk=1\n", "S", "k", "[S]\nk=\"v\"\n[s]\nk=1\n"},
        {"new section at the end", "[A]\na=1\n", "N", "n", "[A]\na=1\n[N]\nn=\"v\"\n"},
        {"new section, no final break", "[A]\na=1", "N", "n", "[A]\na=1\n[N]\nn=\"v\"\n"},
        {"last section, no final break", "[A]\na=1", "A", "n", "[A]\na=1\nn=\"v\"\n"},
        {"empty file", "", "N", "n", "[N]\nn=\"v\"\n"},
        {"CRLF file", "[A]\r\na=1\r\n", "A", "n", "[A]\r\na=1\r\nn=\"v\"\r\n"},
        {"CRLF file, new section", "[A]\r\na=1", "N", "n", "[A]\r\na=1\r\n[N]\r\nn=\"v\"\r\n"},
        {"CR file", "[A]\ra=1\r[B]\r", "A", "n", "[A]\ra=1\rn=\"v\"\r[B]\r"},
        {"CR file, new section", "[A]\ra=1", "N", "n", "[A]\ra=1\r[N]\rn=\"v\"\r"},
        {"CR file, key replaced", "[A]\rn=1\rz=2\r", "A", "N", "[A]\rn=\"v\"\rz=2\r"},
        {"mixed ends kept line by line", "[A]\ra=1\r\n; x\n[B]\rb=2", "B", "c",
         "[A]\ra=1\r\n; x\n[B]\rb=2\rc=\"v\"\r"},
        {"odd lines untouched", "; note \r\n[A]\n  stray\t\r\n[b\nk=1\n", "A", "k",
         "; note \r\n[A]\n  stray\t\r\n[b\nk=\"v\"\n"},
    };
    for (const WriteCase& c : cases) {
        IniFile ini = parsed(c.before);
        ini.WriteString(c.section, c.key, "v");
        EXPECT_EQ(ini.text(), c.after) << c.name;
        EXPECT_TRUE(ini.modified()) << c.name;
    }
}

TEST(IniFileWrite, IntIsUnquotedAndSameValueIsNoChange) {
    IniFile ini = parsed("[S]\nn=\"x\"\nm=\"y\"\n");
    ini.WriteInt("S", "n", -5);
    EXPECT_EQ(ini.text(), "[S]\nn=-5\nm=\"y\"\n");
    EXPECT_EQ(ini.ReadInt("S", "n", 0), -5);

    IniFile same = parsed("[S]\nm=\"y\"\n");
    same.WriteString("S", "m", "y");
    EXPECT_FALSE(same.modified());
}

TEST(IniFileWrite, LineBreaksInValuesCannotAddKeys) {
    IniFile ini = parsed("[S]\nk=1\n");
    ini.WriteString("S", "k", "a\r\n[T]\nx=1");
    ini.WriteString("S\n[U]", "j\rk", "2");
    EXPECT_EQ(ini.text(), "[S]\nk=\"a  [T] x=1\"\n[S [U]]\nj k=\"2\"\n");
    EXPECT_EQ(ini.ReadString("T", "x", "none"), "none");
}

TEST_F(IniFileDisk, CreatesAMissingFileWithTheUmask) {
    const std::string file = path("new.ini");
    const mode_t old = ::umask(027);
    IniFile ini(posix_);
    ini.SetFile(file);
    EXPECT_FALSE(ini.loadResult().ok());
    ini.WriteString("S", "k", "v");
    const Result result = ini.commit();
    ::umask(old);
    ASSERT_TRUE(result.ok()) << result.error().text();
    EXPECT_EQ(get(file), "[S]\nk=\"v\"\n");
    EXPECT_EQ(mode(file), 0640u);
    EXPECT_EQ(entries(), 1u); // no temporary file left behind
}

TEST_F(IniFileDisk, ReplacesAtomicallyKeepingModeAndLinks) {
    const std::string file = path("real.ini");
    put(file, "[A]\r\nx = 1 \r\n\r\n[B]\r\ny=2");
    ::chmod(file.c_str(), 0604);
    fs::create_symlink("real.ini", path("link.ini"));
    IniFile ini(posix_);
    ini.SetFile(path("link.ini"));
    ASSERT_TRUE(ini.loadResult().ok());
    ini.WriteInt("a", "new", 3);
    ASSERT_TRUE(ini.commit().ok());
    EXPECT_EQ(get(file), "[A]\r\nx = 1 \r\nnew=3\r\n\r\n[B]\r\ny=2");
    EXPECT_EQ(mode(file), 0604u);
    EXPECT_TRUE(fs::is_symlink(path("link.ini")));
    EXPECT_EQ(entries(), 2u);
}

TEST_F(IniFileDisk, FailuresAreReportedAndLeaveNoTrace) {
    IniFile missingFolder(posix_);
    missingFolder.SetFile(path("no/such.ini"));
    missingFolder.WriteString("S", "k", "v");
    const Result result = missingFolder.commit();
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().message, std::strerror(ENOENT));
    EXPECT_NE(result.error().text().find(path("no/such.ini")), std::string::npos);

    // A file that could not be read is never replaced by what little was seen of it.
    ASSERT_EQ(::mkfifo(path("pipe.ini").c_str(), 0600), 0);
    IniFile pipe(posix_);
    pipe.SetFile(path("pipe.ini"));
    pipe.WriteString("S", "k", "v");
    EXPECT_EQ(pipe.commit().error().message, "not a regular file");
    EXPECT_TRUE(fs::is_fifo(path("pipe.ini")));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(IniFileDisk, ReadOnlyFolderKeepsTheOldFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    const std::string file = path("kept.ini");
    put(file, "[S]\nk=1\n");
    ::chmod(dir_.c_str(), 0555);
    IniFile ini(posix_);
    ini.SetFile(file);
    ini.WriteString("S", "k", "2");
    const Result result = ini.commit();
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().message, std::strerror(EACCES));
    EXPECT_EQ(get(file), "[S]\nk=1\n");
    EXPECT_EQ(entries(), 1u);
}

} // namespace
} // namespace vantrel
