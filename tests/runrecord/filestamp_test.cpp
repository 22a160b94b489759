#include "runrecord/filestamp.h"

#include <unistd.h>

#include "base/clock.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::writeFile;

class FileStampTest : public testing::TempDirTest {
protected:
    // A fixed, recent file time (full 100-ns resolution, low half negative).
    static constexpr std::int64_t kT = 133500000001234567LL;
};

TEST_F(FileStampTest, StampsAnExistingFileWithFullTimeAndSize) {
    std::string f = path("my data.har");
    writeFile(f, std::string(1234, 'x'));
    ASSERT_TRUE(setFileWriteTime(f, kT).isOk());
    std::string s = FileStamp(f);
    auto u = static_cast<std::uint64_t>(kT);
    EXPECT_EQ(s, std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(u))) + " " +
                     std::to_string(static_cast<std::int32_t>(u >> 32)) + " 1234 0 " + f);
    EXPECT_EQ(StampTime(s), kT);
    EXPECT_EQ(StampSize(s), 1234);
    EXPECT_EQ(StampName(s), f);  // the name keeps its blank
}

TEST_F(FileStampTest, StampsAMissingFileAsTimeZeroSizeMinusOne) {
    std::string f = path("gone.sl4");
    EXPECT_EQ(FileStamp(f), "0 0 -1 -1 " + f);
    EXPECT_EQ(StampSize(FileStamp(f)), -1);
    EXPECT_EQ(StampTime(FileStamp(f)), 0);
}

TEST_F(FileStampTest, FindsAFileWhoseNameDiffersInLetterCase) {
    writeFile(path("BASE.HAR"), "abc");
    std::string s = FileStamp(path("base.har"));
    EXPECT_EQ(StampSize(s), 3);
    EXPECT_EQ(StampName(s), path("base.har"));
}

TEST(FileStampParse, TakesStampsApart) {
    struct Case {
        const char* text;
        const char* name;
        std::int64_t time;
        std::int64_t size;
    };
    const Case cases[] = {
        {"1 2 3 0 /w/a b c.har", "/w/a b c.har", (2LL << 32) | 1, 3},
        {"-1 0 -1 1 x", "x", 0xFFFFFFFFLL, (1LL << 32) | 0xFFFFFFFFLL},
        {"0 0 -1 -1 /w/missing", "/w/missing", 0, -1},
        {"12345", "xx.xx", 0, -1},  // no blank at all
        {"1 2 3", "2 3", 0, -1},    // fewer than four blanks: the older form
        {"", "xx.xx", 0, -1},
        {"abc def ghi jkl mno", "xx.xx", 0, -1},                  // not numbers
        {"810000000 /w/old file.har", "/w/old file.har", 0, -1},  // older DOS form
        {"99999999999 1 2 3 x", "xx.xx", 0, -1},                  // out of range, not a DOS number either
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StampName(c.text), c.name);
        EXPECT_EQ(StampTime(c.text), c.time);
        EXPECT_EQ(StampSize(c.text), c.size);
    }
    EXPECT_EQ(parseStamp("810000000 /w/old").form, ParsedStamp::Form::OldDos);
    EXPECT_EQ(parseStamp("810000000 /w/old").dosTime, 810000000u);
}

TEST(FileStampFormat, FormatsDosTimes) {
    // 2005-03-05 14:03:22: date (25<<9 | 3<<5 | 5), time (14<<11 | 3<<5 | 11).
    std::uint32_t dos = ((25u << 9 | 3u << 5 | 5u) << 16) | (14u << 11 | 3u << 5 | 11u);
    EXPECT_EQ(formatDosDateTime(dos), "05-Mar-2005 at 14:03:22");
    std::int64_t t = fileTimeFromLocal(2005, 3, 5, 14, 3, 23);  // odd second rounds down
    EXPECT_EQ(formatStampTime(t), "05-Mar-2005 at 14:03:22");
}

class CompareStampTest : public FileStampTest {
protected:
    StampCompareResult compare(const std::string& stamp, const std::string& file, StampCheck check = {}) {
        return CompareFileStamp("The Solution file", "Base", stamp, file, "created", check);
    }
};

TEST_F(CompareStampTest, UnchangedAndTimePreservingCopiesPass) {
    std::string f = path("a.sl4");
    writeFile(f, "solution");
    ASSERT_TRUE(setFileWriteTime(f, kT).isOk());
    std::string stamp = FileStamp(f);
    EXPECT_TRUE(compare(stamp, f).ok);

    // Replaced by a copy that keeps the time (as archives restore files).
    std::string other = path("elsewhere.sl4");
    writeFile(other, "solution");
    ASSERT_TRUE(setFileWriteTime(other, kT).isOk());
    ASSERT_TRUE(deleteFile(f).isOk());
    ASSERT_TRUE(copyFile(other, f, true).isOk());
    EXPECT_TRUE(compare(stamp, f).ok);

    // A copy that takes a new time fails.
    ASSERT_TRUE(copyFile(other, f, false).isOk());
    ASSERT_TRUE(setFileWriteTime(f, kT + 50000000LL).isOk());
    EXPECT_FALSE(compare(stamp, f).ok);
}

TEST_F(CompareStampTest, TimesWithinTwoSecondsAgree) {
    std::string f = path("a.sl4");
    writeFile(f, "solution");
    const std::string stamp = formatFileStamp(kT, 8, f);
    struct Case {
        std::int64_t offset;
        bool ok;
    };
    const Case cases[] = {{0, true},        {5000000, true},   {-19999999, true},
                          {19999999, true}, {40000000, false}, {-40000000, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        ASSERT_TRUE(setFileWriteTime(f, kT + c.offset).isOk());
        EXPECT_EQ(compare(stamp, f).ok, c.ok);
    }
}

TEST_F(CompareStampTest, TouchedFileFailsWithTheTimeMessage) {
    std::string f = path("a.sl4");
    writeFile(f, "solution");
    std::int64_t stored = fileTimeFromLocal(2020, 1, 2, 3, 4, 6);
    std::int64_t now = fileTimeFromLocal(2021, 11, 12, 13, 14, 16);
    ASSERT_TRUE(setFileWriteTime(f, now).isOk());
    auto r = compare(formatFileStamp(stored, 8, f), f);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "The Solution file: " + f +
                             " is different since\r\n"
                             "    the current file was created on 12-Nov-2021 at 13:14:16 but\r\n"
                             "    the file created when you last ran the Base\r\n"
                             "    was created on 02-Jan-2020 at 03:04:06.");
}

TEST_F(CompareStampTest, SizeAndMissingFileMessages) {
    std::string f = path("a.sl4");
    writeFile(f, "solution!");  // 9 bytes
    ASSERT_TRUE(setFileWriteTime(f, kT).isOk());
    auto r = compare(formatFileStamp(kT, 8, f), f);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "The Solution file: " + f +
                             " is different since\r\n"
                             "    the current version has size 9 bytes but\r\n"
                             "    the version created when you last ran the Base\r\n"
                             "    had size 8 bytes.");

    std::int64_t stored = fileTimeFromLocal(2020, 1, 2, 3, 4, 6);
    std::string gone = path("gone.sl4");
    r = compare(formatFileStamp(stored, 8, gone), gone);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "The Solution file: " + gone +
                             " no longer exists while\r\n"
                             "    the file created when you last ran the Base\r\n"
                             "    was created on 02-Jan-2020 at 03:04:06.");

    // Missing when stamped and still missing: nothing changed.
    EXPECT_TRUE(compare(FileStamp(gone), gone).ok);
    // Missing when stamped but there now: changed.
    EXPECT_FALSE(compare(FileStamp(gone), f).ok);
}

TEST_F(CompareStampTest, TheCurrentFileIsFoundAsWrittenElseWithoutRegardToCase) {
    const std::int64_t stored = fileTimeFromLocal(2020, 1, 2, 3, 4, 6);
    writeFile(path("SOL.SL4"), "solution");  // 8 bytes
    ASSERT_TRUE(setFileWriteTime(path("SOL.SL4"), kT).isOk());
    FolderListings listings;
    for (FolderListings* l : {static_cast<FolderListings*>(nullptr), &listings}) {
        StampCheck check;
        check.listings = l;
        // Found as written, then under another letter case: the same file.
        EXPECT_TRUE(compare(formatFileStamp(kT, 8, path("SOL.SL4")), path("SOL.SL4"), check).ok);
        EXPECT_TRUE(compare(formatFileStamp(kT, 8, path("sol.sl4")), path("sol.sl4"), check).ok);
        auto r = compare(formatFileStamp(kT, 7, path("sol.sl4")), path("sol.sl4"), check);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find("the current version has size 8 bytes"), std::string::npos) << r.message;
    }
    // A link to nothing is listed in its folder but cannot be examined.
    ASSERT_EQ(::symlink(path("nowhere.sl4").c_str(), path("link.sl4").c_str()), 0);
    FolderListings fresh;  // lists the folder as it is now
    for (FolderListings* l : {static_cast<FolderListings*>(nullptr), &fresh}) {
        StampCheck check;
        check.listings = l;
        auto r = compare(formatFileStamp(stored, 8, path("link.sl4")), path("link.sl4"), check);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, "The Solution file: " + path("link.sl4") +
                                 " exists yet\r\n"
                                 "   this program cannot identify when it was created. The\r\n"
                                 "    file created when you last ran the Base\r\n"
                                 "    was created on 02-Jan-2020 at 03:04:06.");
    }
}

TEST_F(CompareStampTest, NameCheck) {
    std::string f = path("a.sl4");
    writeFile(f, "solution");
    std::string stamp = FileStamp(f);
    StampCheck both{true, true};
    EXPECT_TRUE(compare(stamp, path("A.SL4"), both).ok);  // letter case does not matter
    std::string renamed = path("b.sl4");
    ASSERT_TRUE(copyFile(f, renamed, true).isOk());
    auto r = compare(stamp, renamed, both);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message,
              "The name of the Solution file\r\n"
              "    has changed. Now it is: " +
                  renamed +
                  "\r\n"
                  "    but when you last ran the Base it was: " +
                  f);
    EXPECT_FALSE(compare("", f, both).ok);                             // empty stored name fails
    EXPECT_TRUE(compare(stamp, renamed, StampCheck{false, true}).ok);  // time and size agree
}

TEST_F(CompareStampTest, OlderDosStampsCompareOnTheirNumber) {
    std::string f = path("old.har");
    writeFile(f, "x");
    std::int64_t t = fileTimeFromLocal(2010, 6, 7, 8, 9, 10);
    ASSERT_TRUE(setFileWriteTime(f, t).isOk());
    std::uint32_t dos = dosDateTimeOfFileTime(t);
    EXPECT_TRUE(compare(std::to_string(dos) + " " + f, f).ok);
    auto r = compare(std::to_string(dos - 1) + " " + f, f);  // 2 seconds earlier
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("was created on 07-Jun-2010 at 08:09:08."), std::string::npos);
}

}  // namespace
}  // namespace vdln
