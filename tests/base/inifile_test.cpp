#include "base/inifile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/fileutil.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

TEST(IniFile, MatchesSectionsAndKeysWithoutRegardToCase) {
    IniFile ini = IniFile::parse("[Options]\nNumYears=6\nSimName=BS1\n");
    EXPECT_EQ(ini.getString("OPTIONS", "numyears"), "6");
    EXPECT_EQ(ini.getInt("options", "NUMYEARS", 0), 6);
    EXPECT_EQ(ini.getInt("options", "simname", -1), -1);  // not an integer
    EXPECT_FALSE(ini.get("options", "missing").has_value());
    EXPECT_FALSE(ini.get("nosection", "NumYears").has_value());
    ini.set("OPTIONS", "NUMYEARS", "7");
    // The key keeps its place and its spelling.
    EXPECT_EQ(ini.text(), "[Options]\r\nNumYears=7\r\nSimName=BS1\r\n");
}

TEST(IniFile, KeepsUnknownSectionsCommentsAndValuesAsRead) {
    const std::string text =
        "; a comment\r\n[MRUFiles]\r\nFile1= /a b/c.ds1 \r\n\r\n[Options]\r\nX=1\r\nnot a key line\r\n";
    IniFile ini = IniFile::parse(text);
    EXPECT_EQ(ini.text(), text);
    EXPECT_EQ(ini.getString("mrufiles", "file1"), " /a b/c.ds1 ");
    ini.set("Options", "Y", "2");
    ini.set("New", "Z", "3");
    EXPECT_EQ(ini.text(),
              "; a comment\r\n[MRUFiles]\r\nFile1= /a b/c.ds1 \r\n\r\n[Options]\r\nX=1\r\nnot a key line\r\n"
              "Y=2\r\n[New]\r\nZ=3\r\n");
    EXPECT_EQ(ini.sections(), (std::vector<std::string>{"MRUFiles", "Options", "New"}));
    EXPECT_TRUE(ini.eraseKey("options", "x"));
    EXPECT_FALSE(ini.eraseKey("options", "x"));
    EXPECT_TRUE(ini.eraseSection("mrufiles"));
    EXPECT_EQ(ini.keys("Options"), (std::vector<std::string>{"Y"}));
}

TEST(IniFile, NewKeyGoesBeforeTheBlankLinesThatEndASection) {
    IniFile ini = IniFile::parse("[A]\nx=1\n\n[B]\ny=2\n");
    ini.set("a", "z", "3");
    EXPECT_EQ(ini.text(), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n");
}

TEST(IniFile, FlagsReadOneZeroAndYesNo) {
    IniFile ini = IniFile::parse("[S]\na=1\nb=no\nc=YES\nd=maybe\n");
    EXPECT_TRUE(ini.getBool("s", "a", false));
    EXPECT_FALSE(ini.getBool("s", "b", true));
    EXPECT_TRUE(ini.getBool("s", "c", false));
    EXPECT_TRUE(ini.getBool("s", "d", true));
    ini.setBool("s", "e", false);
    EXPECT_EQ(ini.getString("s", "e"), "0");
}

class IniFileOnDisk : public testing::TempDirTest {};

TEST_F(IniFileOnDisk, SaveReplacesTheFileAndLoadReadsIt) {
    IniFile ini;
    ini.set("Run", "Done", "1");
    ASSERT_TRUE(ini.save(path("r.ini")));
    EXPECT_EQ(readFile(path("r.ini")), "[Run]\r\nDone=1\r\n");
    auto back = IniFile::load(path("r.ini"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->getString("run", "done"), "1");
    auto missing = IniFile::load(path("none.ini"));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.message(), "Cannot open file " + path("none.ini"));
    auto empty = IniFile::loadOrEmpty(path("none.ini"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->sections().empty());
}

TEST_F(IniFileOnDisk, FailedWriteLeavesTheOldFileIntact) {
    if (::geteuid() == 0) GTEST_SKIP() << "root can write into a read-only folder";
    writeFile(path("sub/s.ini"), "[Old]\r\nk=v\r\n");
    ASSERT_EQ(::chmod(path("sub").c_str(), 0555), 0);
    IniFile ini;
    ini.set("New", "k", "w");
    Status s = ini.save(path("sub/s.ini"));
    ::chmod(path("sub").c_str(), 0755);
    EXPECT_FALSE(s);
    EXPECT_EQ(readFile(path("sub/s.ini")), "[Old]\r\nk=v\r\n");
}

TEST_F(IniFileOnDisk, AtomicWriteOverAFolderFailsWithoutLeavingTemporaries) {
    // The target is a folder: rename must fail and the temporary must go.
    ASSERT_TRUE(makeDirectories(path("target")));
    writeFile(path("target/keep"), "x");
    EXPECT_FALSE(writeFileAtomic(path("target"), "data"));
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace vdln
