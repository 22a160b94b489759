#include "base/textfile.h"

#include <sys/stat.h>

#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

class TextFileTest : public testing::TempDirTest {};

TEST_F(TextFileTest, WritesCrLfAndReadsBothEndings) {
    TxtFile out;
    ASSERT_TRUE(TxtCreate(out, path("a.txt")));
    ASSERT_TRUE(out.writeLine("first"));
    ASSERT_TRUE(out.writeLine(""));
    ASSERT_TRUE(out.writeLine("third"));
    ASSERT_TRUE(TxtClose(out));
    EXPECT_EQ(readFile(path("a.txt")), "first\r\n\r\nthird\r\n");

    writeFile(path("b.txt"), "one\ntwo\r\nthree");
    TxtFile in;
    ASSERT_TRUE(TxtOpen(in, path("b.txt")));
    std::string line;
    std::vector<std::string> got;
    while (in.readLine(line)) got.push_back(line);
    EXPECT_EQ(got, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(in.checkNotAtEnd().message(), "Unexpected end of file");
    EXPECT_TRUE(TxtClose(in));
}

// Lines are read in pieces: lines of every length around the piece size,
// a CR that ends a piece, and NUL bytes come through whole.
TEST_F(TextFileTest, LongLinesAndNulBytesAreReadWhole) {
    std::vector<std::string> want;
    std::string text;
    for (size_t len : {255u, 256u, 257u, 511u, 512u, 513u, 5000u}) {
        std::string line;
        for (size_t k = 0; k < len; ++k) line.push_back(static_cast<char>('a' + k % 26));
        line[len / 2] = '\0';
        want.push_back(line);
        text += line + (len % 2 ? "\r\n" : "\n");
    }
    // A line of 256 characters whose CR is the 257th.
    want.emplace_back(256, 'x');
    text += std::string(256, 'x') + "\r\n";
    writeFile(path("long.txt"), text);
    TxtFile in;
    ASSERT_TRUE(TxtOpen(in, path("long.txt")));
    std::string line;
    std::vector<std::string> got;
    while (in.readLine(line)) got.push_back(line);
    EXPECT_EQ(got, want);
    EXPECT_FALSE(in.failed());
    EXPECT_TRUE(TxtClose(in));
}

TEST_F(TextFileTest, OpenCreateAndCloseMessages) {
    TxtFile f;
    EXPECT_EQ(TxtOpen(f, "").message(), "Blank File Name[TxtOpen]");
    std::string missing = path("missing.txt");
    EXPECT_EQ(TxtOpen(f, missing).message(), "Cannot open file " + missing + "[TxtOpen]");
    std::string bad = path("no/such/dir/x.txt");
    EXPECT_EQ(TxtCreate(f, bad).message(), "Cannot create file " + bad + "[TxtCreate]");
    // Closing a file never opened, or closed twice, succeeds.
    TxtFile never;
    EXPECT_TRUE(TxtClose(never));
    ASSERT_TRUE(TxtCreate(f, path("c.txt")));
    EXPECT_TRUE(TxtClose(f));
    EXPECT_TRUE(TxtClose(f));
}

TEST_F(TextFileTest, AppendCopiesLinesAndCleansControlCharacters) {
    writeFile(path("src.txt"),
              "a\tb\x01"
              "c\nplain~\n");
    TxtFile out;
    ASSERT_TRUE(TxtCreate(out, path("out.txt")));
    ASSERT_TRUE(TxtAppend(out, path("src.txt")));
    ASSERT_TRUE(TxtAppend2(out, path("src.txt"), true));
    ASSERT_TRUE(TxtClose(out));
    EXPECT_EQ(readFile(path("out.txt")),
              "a\tb\x01"
              "c\r\nplain~\r\na b c\r\nplain~\r\n");

    TxtFile out2;
    ASSERT_TRUE(TxtCreate(out2, path("out2.txt")));
    std::string missing = path("nope.txt");
    EXPECT_EQ(TxtAppend(out2, missing).message(), "Cannot open file " + missing + "[TxtOpen][TxtAppend]");
    EXPECT_EQ(TxtAppend2(out2, missing, false).message(),
              "Cannot open file " + missing + "[TxtOpen][TxtAppend2]");
    EXPECT_TRUE(TxtClose(out2));
}

TEST(SplitLines, HandlesMixedEndingsAndFinalLine) {
    EXPECT_EQ(splitLines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(splitLines("a\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(splitLines("\n\n"), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(splitLines("").empty());
}

}  // namespace
}  // namespace vdln
