#include "formats/harfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace vdln {
namespace {

class HarFileTest : public vdln::testing::TempDirTest {
protected:
    HarFile newFile() {
        auto f = NewHarFile("tester", "01/02/2026 10:00:00", false, false);
        EXPECT_TRUE(f) << f.message();
        return std::move(f).value();
    }
    void add(HarFile& f, Result<PHarHeader> h) {
        ASSERT_TRUE(h) << h.message();
        Status s = addHeader(f, std::move(*h));
        ASSERT_TRUE(s) << s.message();
    }
    std::vector<std::string> names(const HarFile& f) {
        std::vector<std::string> out;
        for (const auto& h : f.headers) out.push_back(h->name);
        return out;
    }
};

TEST_F(HarFileTest, LongBlocksOfRealsAreReadWithTheirNonFiniteValuesReplaced) {
    // 3001 x 3 reals are written as a block of two whole columns and a block
    // of the third, which starts at an element that is not on a 16-byte
    // boundary: long runs, their starts and their ends are all read.
    const std::int64_t rows = 3001, cols = 3;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::int64_t> bad = {0, 1, 7, 3000, 3001, 4500, 6001, 6002, 6003, 7777, 9002};
    for (RecordFlavour fl : {RecordFlavour::Lahey, RecordFlavour::Fujitsu}) {
        HarFile f = newFile();
        std::vector<std::string> rowNames, colNames;
        for (std::int64_t r = 1; r <= rows; ++r) rowNames.push_back("r" + std::to_string(r));
        for (std::int64_t c = 1; c <= cols; ++c) colNames.push_back("c" + std::to_string(c));
        auto big = makeREHeader("BIG", "long blocks", {{"ROW", rowNames}, {"COL", colNames}});
        ASSERT_TRUE(big) << big.message();
        float* v = (*big)->HeadMat.Root();
        for (std::int64_t i = 0; i < rows * cols; ++i) v[i] = 0.5f * static_cast<float>(i) + 1.0f;
        for (size_t k = 0; k < bad.size(); ++k) v[bad[k]] = k % 3 == 0 ? nan : (k % 3 == 1 ? inf : -inf);
        add(f, std::move(big));
        f.flavour = fl;
        const std::string file = path("long.har");
        ASSERT_TRUE(WriteHarFile(file, "prog", "now", f));
        auto back = ReadHarFile(file);
        ASSERT_TRUE(back) << back.message();
        const HarHeader* h = back->find("BIG");
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(h->HeadMat.size(), rows * cols);
        EXPECT_EQ(h->replacedCount, static_cast<std::int64_t>(bad.size()));
        const float* got = h->HeadMat.Root();
        for (std::int64_t i = 0; i < rows * cols; ++i) {
            const bool replaced = std::find(bad.begin(), bad.end(), i) != bad.end();
            const float expected = replaced ? 424242.0f : 0.5f * static_cast<float>(i) + 1.0f;
            ASSERT_EQ(got[i], expected) << "element " << i;
        }
    }
}

TEST_F(HarFileTest, RoundTripKeepsEveryHeaderInBothFlavours) {
    for (RecordFlavour fl : {RecordFlavour::Lahey, RecordFlavour::Fujitsu}) {
        SCOPED_TRACE(static_cast<int>(fl));
        HarFile f = newFile();
        f.flavour = fl;
        add(f, makeREHeader("CAPS", "Capital stock", {{"IND", {"AGR", "MAN", "SER"}}}, {400, 900, 1200}));
        add(f, makeREHeader("ALPH", "", {}, {0.3f}));
        add(f, makeStringHeader("note", "some text", {"first line", "", "third"}));
        PHarHeader ints;
        ASSERT_TRUE(CreateUnLabelledRE(ints, "TMP", "", true, {1, 1, 1, 1, 1, 1, 1}, 0));
        PHarHeader im = std::make_unique<HarHeader>();
        im->name = "IMAT";
        im->HeadType = "2I";
        im->rows = 3;
        im->cols = 4000;  // two records of 2333 and 1667 columns
        ASSERT_TRUE(AllocArr(im->intMatrix, 3, 4000, 4));
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 4000; ++c) im->intMatrix->i32(r, c) = r * 10000 + c;
        ASSERT_TRUE(addHeader(f, std::move(im)));
        const std::string file = path("rt.har");
        Status s = WriteHarFile(file, "prog", "now", f);
        ASSERT_TRUE(s) << s.message();

        auto back = ReadHarFile(file);
        ASSERT_TRUE(back) << back.message();
        EXPECT_EQ(back->flavour, fl);
        EXPECT_EQ(names(*back), (std::vector<std::string>{"CAPS", "ALPH", "NOTE", "IMAT"}));
        const HarHeader* caps = back->find("caps");
        ASSERT_TRUE(caps);
        EXPECT_EQ(caps->description, "Capital stock");
        EXPECT_EQ(caps->realValues(), (std::vector<float>{400, 900, 1200}));
        EXPECT_EQ(caps->setName(1), "IND");
        EXPECT_EQ(caps->elementNames(1), (std::vector<std::string>{"AGR", "MAN", "SER"}));
        const HarHeader* alph = back->find("ALPH");
        EXPECT_EQ(alph->NDim, 0);
        EXPECT_EQ(alph->dimsText, "1");
        EXPECT_EQ(alph->description, "ALPH");  // empty description takes the coefficient name
        EXPECT_EQ(alph->realValues(), std::vector<float>{0.3f});
        EXPECT_EQ(back->find("NOTE")->strings, (std::vector<std::string>{"first line", "", "third"}));
        EXPECT_EQ(back->find("NOTE")->dimsText, "3 length 10");
        const HarHeader* mat = back->find("IMAT");
        ASSERT_TRUE(mat && mat->intMatrix);
        EXPECT_EQ(mat->intMatrix->i32(3, 4000), 34000);
        EXPECT_EQ(mat->intMatrix->i32(2, 2334), 22334);
        EXPECT_EQ(back->creationDate->strings, std::vector<std::string>{"at now"});
        EXPECT_EQ(back->creatingProgram->strings, (std::vector<std::string>{"prog", "HARFILE 31/Mar/2008"}));
        EXPECT_EQ(back->history->strings, std::vector<std::string>{"no previous history"});

        // Written again: flavour and history kept, special headers replaced.
        back->history->strings = {"edited once"};
        ASSERT_TRUE(WriteHarFile(file, "prog2", "later", *back));
        auto again = ReadHarFile(file);
        ASSERT_TRUE(again) << again.message();
        EXPECT_EQ(again->flavour, fl);
        EXPECT_EQ(again->history->strings, std::vector<std::string>{"edited once"});
        EXPECT_EQ(again->creationDate->strings, std::vector<std::string>{"at later"});
        EXPECT_EQ(again->creatingProgram->strings[0], "prog2");
        EXPECT_EQ(names(*again), names(*back));
    }
}

TEST_F(HarFileTest, SortingPutsXXHeadersFirst) {
    HarFile f = newFile();
    for (const char* n : {"b", "A", "XXAB"}) add(f, makeStringHeader(n, "", {"x"}));
    HarFile g = newFile();
    for (const char* n : {"b", "A", "C"}) add(g, makeStringHeader(n, "", {"x"}));
    ASSERT_TRUE(WriteHarFile(path("s.har"), "p", "t", g));
    auto sorted = ReadHarFile(path("s.har"), true);
    ASSERT_TRUE(sorted);
    EXPECT_EQ(names(*sorted), (std::vector<std::string>{"A   ", "B   ", "C   "}));
    ASSERT_TRUE(sortheaders(f));
    EXPECT_EQ(names(f), (std::vector<std::string>{"XXAB", "A   ", "B   "}));
    // Headers beginning with XX are written before the others.
    ASSERT_TRUE(WriteHarFile(path("x.har"), "p", "t", f));
    auto back = ReadHarFile(path("x.har"));
    ASSERT_TRUE(back) << back.message();
    EXPECT_EQ(names(*back), (std::vector<std::string>{"XXAB", "A   ", "B   "}));
}

TEST_F(HarFileTest, CombSortOrdersManyNames) {
    HarFile f = newFile();
    std::vector<std::string> want;
    for (int i = 0; i < 200; ++i) {
        std::string n = "H" + std::to_string((i * 7919) % 997);
        add(f, makeStringHeader(n, "", {"x"}));
        n.resize(4, ' ');
        want.push_back(n);
    }
    std::sort(want.begin(), want.end());
    ASSERT_TRUE(sortheaders(f));
    EXPECT_EQ(names(f), want);
}

TEST_F(HarFileTest, HeaderNameChecks) {
    struct Case {
        std::vector<std::string> names;
        std::string message;
    } cases[] = {
        {{"abc", "ABC"}, "Header \"ABC \" appears twice, at positions 1 and 2"},
        {{"OK", "A-B"},
         "Header no 2, \"A-B \" is illegal: \r\nHeader must only contain letters A-Z or digits 0-9"},
        {{"A B"}, ""},
        {{"a_@9"}, ""},
        {{"AB", "A B"}, "Header \"AB  \" appears twice, at positions 1 and 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        HarFile f = newFile();
        for (const auto& n : c.names) add(f, makeStringHeader(n, "", {"x"}));
        Status s = WriteHarFile(path("n.har"), "p", "t", f);
        if (c.message.empty()) {
            EXPECT_TRUE(s) << s.message();
        } else {
            ASSERT_FALSE(s);
            EXPECT_EQ(s.message(), c.message + " [WriteHarFile]");
        }
    }
    std::string checked;
    EXPECT_EQ(checkHeaderName("    ", checked), "Header must not be blank or all spaces");
    EXPECT_EQ(checkHeaderName(" XX1", checked),
              "Header names beginning with \"XX\" are reserved for Solvane internal use");
    EXPECT_EQ(checkHeaderName("a b", checked), "");
    EXPECT_EQ(checked, "AB  ");
}

TEST_F(HarFileTest, HistoryOfWrongLengthCannotBeWritten) {
    HarFile f = newFile();
    ASSERT_TRUE(Create1C(f.history, "XXHS", "File History", 70, 1, {"long history"}));
    Status s = WriteHarFile(path("h.har"), "p", "t", f);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(), "History strings are of length 70 should be 60. [WriteHarFile]");
}

TEST_F(HarFileTest, FailedWriteKeepsThePreviousFile) {
    HarFile good = newFile();
    add(good, makeStringHeader("KEEP", "", {"kept"}));
    const std::string file = path("k.har");
    ASSERT_TRUE(WriteHarFile(file, "p", "t", good));
    const std::string before = vdln::testing::readFile(file);
    HarFile bad = newFile();
    add(bad, makeStringHeader("OK", "", {"x"}));
    PHarHeader noArray;
    ASSERT_TRUE(CreateUnLabelledRE(noArray, "NOAR", "", false, {2, 1, 1, 1, 1, 1, 1}, 1));
    ASSERT_TRUE(AddHeaderNil(bad, noArray));
    EXPECT_FALSE(noArray);
    Status s = WriteHarFile(file, "p", "t", bad);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(), "HeadMat.Root=nil [WriteRealStart] [WriteRLData] [WriteHead:NOAR] [WriteHarFile]");
    EXPECT_EQ(vdln::testing::readFile(file), before);
}

TEST_F(HarFileTest, PlaceholderAndSpecialHeaders) {
    auto f = NewHarFile("maker", "today", true, false);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->count(), 1);
    const HarHeader* temp = f->find("TEMP");
    ASSERT_TRUE(temp);
    EXPECT_EQ(temp->description, "String Data");
    EXPECT_EQ(temp->stringLength, 42);
    EXPECT_EQ(temp->strings,
              (std::vector<std::string>{"If", "all", "else", "fails,", "read the", "online", "help"}));
    EXPECT_EQ(f->creationDate->strings, std::vector<std::string>{"at today"});
    EXPECT_EQ(f->creatingProgram->description, "Creating Program");
    EXPECT_EQ(f->history->stringLength, 60);

    HarFile empty;
    ASSERT_TRUE(CompleteHarFile(empty, false));
    EXPECT_EQ(empty.creationDate->strings, std::vector<std::string>{"at unknown time"});
    EXPECT_EQ(empty.creatingProgram->strings[0], "unknown");
}

TEST_F(HarFileTest, TooManyHeaders) {
    HarFile f = newFile();
    for (int i = 0; i < 8000; ++i) {
        PHarHeader h;
        const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        std::string n = {'H', digits[i / 1296], digits[(i / 36) % 36], digits[i % 36]};
        ASSERT_TRUE(Create1C(h, n, "", 1, 1, {"x"}));
        ASSERT_TRUE(AddHeaderNil(f, h));
    }
    PHarHeader extra;
    ASSERT_TRUE(Create1C(extra, "MORE", "", 1, 1, {"x"}));
    Status s = AddHeaderNil(f, extra);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(), "Too many headers: max is 8000 [AddHeaderNil]");
    // A file with 8001 ordinary headers: write 8000, then append one in the
    // 4-byte framing by hand.
    const std::string file = path("many.har");
    ASSERT_TRUE(WriteHarFile(file, "p", "t", f));
    {
        std::string bytes = vdln::testing::readFile(file);
        auto rec = [](const std::string& d) {
            std::string len(4, '\0');
            len[0] = static_cast<char>(d.size());
            return len + d + len;
        };
        std::string desc = std::string("    1CFULL") + std::string(70, ' ');
        desc += std::string("\x02\0\0\0\x01\0\0\0\x01\0\0\0", 12);
        bytes += rec("LAST") + rec(desc) + rec(std::string("    \x01\0\0\0\x01\0\0\0\x01\0\0\0", 16) + "z");
        vdln::testing::writeFile(file, bytes);
    }
    auto r = ReadHarFile(file);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.message(), "Too many headers: max is 8000 [ReadMoreIntoHarFile] [ReadHarFile]");
}

TEST_F(HarFileTest, UnnamedSetsAreWrittenAsUnkAndDroppedOnReading) {
    HarFile f = newFile();
    PHarHeader h;
    ASSERT_TRUE(CreateUnLabelledRE(h, "UNL", "unlabelled", true, {3, 5, 1, 1, 1, 1, 1}, 2));
    h->HeadMat.at(3, 5) = 15;
    ASSERT_TRUE(AddHeaderNil(f, h));
    ASSERT_TRUE(WriteHarFile(path("u.har"), "p", "t", f));
    EXPECT_EQ(f.find("UNL")->re.setNames[0], "Unk3");
    EXPECT_EQ(f.find("UNL")->re.setNames[1], "Unk5");
    auto back = ReadHarFile(path("u.har"));
    ASSERT_TRUE(back);
    const HarHeader* u = back->find("UNL");
    EXPECT_EQ(u->typeRead, "RE");
    EXPECT_EQ(u->setName(1), "");
    EXPECT_EQ(u->setName(2), "");
    EXPECT_EQ(u->dimsText, "3*5");
    EXPECT_EQ(u->HeadMat.at(3, 5), 15.0f);
}

TEST_F(HarFileTest, ReadOneHeader) {
    HarFile f = newFile();
    add(f, makeREHeader("ONE", "", {}, {1}));
    add(f, makeREHeader("TWO", "", {{"S", {"a", "b"}}}, {2, 3}));
    ASSERT_TRUE(WriteHarFile(path("o.har"), "p", "t", f));
    struct Case {
        std::string wanted;
        std::string name;  // empty: not present
    } cases[] = {{"two", "TWO "}, {" T W O", "TWO "}, {"", "XXCD"}, {"NONE", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wanted);
        auto h = ReadHeaderFromHarFile(path("o.har"), c.wanted);
        ASSERT_TRUE(h) << h.message();
        if (c.name.empty()) {
            EXPECT_FALSE(*h);
        } else {
            ASSERT_TRUE(*h);
            EXPECT_EQ((*h)->name, c.name);
        }
    }
    auto missing = ReadHeaderFromHarFile(path("none.har"), "ONE");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.message(), "No such file:" + path("none.har") +
                                     " [IsWhichLaheyFile] [OpenLaheyFile] [ReadHeaderFromHarFile:ONE]");
}

TEST_F(HarFileTest, AddADimAndClone) {
    auto base = makeREHeader("VAR", "a variable", {{"IND", {"i1", "i2"}}}, {1, 2});
    ASSERT_TRUE(base);
    setCoefficientName(**base, "x");
    for (bool asFirst : {true, false}) {
        SCOPED_TRACE(asFirst);
        auto years = std::make_unique<TSetRec>();
        years->name = "YEARS";
        years->size = 3;
        years->ElmsKnown = true;
        years->SetElms = std::vector<std::string>{"y1", "y2", "y3"};
        PHarHeader out;
        Status s = AddADim(**base, std::move(years), asFirst, out, true);
        ASSERT_TRUE(s) << s.message();
        EXPECT_EQ(out->NDim, 2);
        EXPECT_EQ(out->dimsText, asFirst ? "YEARS*IND" : "IND*YEARS");
        EXPECT_EQ(out->elementNames(asFirst ? 1 : 2), (std::vector<std::string>{"y1", "y2", "y3"}));
        EXPECT_EQ(out->re.coefName, "x");
        EXPECT_EQ(out->HeadMat.size(), 6);
        EXPECT_EQ(out->realValues(), std::vector<float>(6, 0.0f));
    }
    auto bad = std::make_unique<TSetRec>();
    bad->name = "E";
    bad->size = 0;
    PHarHeader out;
    Status s = AddADim(**base, std::move(bad), true, out, false);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(), "Bad new set length [AddADim]");
    PHarHeader unl;
    ASSERT_TRUE(CreateUnLabelledRE(unl, "U", "", false, {2, 1, 1, 1, 1, 1, 1}, 1));
    s = AddADim(*unl, std::make_unique<TSetRec>(), true, out, false);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(), "InHed:stknow false [ValidREDetails] [AddADim]");

    PHarHeader copy;
    ASSERT_TRUE(CloneHeader(**base, copy));
    (*base)->HeadMat.at(1) = 99;
    (*base)->SetElements[0]->at(0) = "changed";
    EXPECT_EQ(copy->HeadMat.at(1), 1.0f);
    EXPECT_EQ(copy->elementNames(1)[0], "i1");
    HarHeader odd;
    odd.HeadType = "2R";
    s = CloneHeader(odd, copy);
    EXPECT_EQ(s.message(), "Unrecognized Header Type \"2R\" [CloneHeader]");
}

TEST_F(HarFileTest, CreateUnLabelledREChecks) {
    struct Case {
        Dims7 dims;
        int nd;
        std::string message;
    } cases[] = {
        {{2, 1, 1, 1, 1, 1, 1}, -1, "NDim<0 [CreateUnLabelledRE]"},
        {{2, 1, 1, 1, 1, 1, 1}, 8, "NDim>7 [CreateUnLabelledRE]"},
        {{2, 3, 1, 1, 1, 1, 1}, 1, "unused dims should=1 [CreateUnLabelledRE]"},
        {{2, 3, 1, 1, 1, 1, 1}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        PHarHeader h;
        Status s = CreateUnLabelledRE(h, "A", "", true, c.dims, c.nd);
        if (c.message.empty()) {
            ASSERT_TRUE(s);
            EXPECT_EQ(h->dimsText, "2*3");
            EXPECT_EQ(h->re.RDelst[1], 'u');
        } else {
            EXPECT_EQ(s.message(), c.message);
        }
    }
    auto wrong = makeREHeader("W", "", {{"S", {"a", "b"}}}, {1, 2, 3});
    ASSERT_FALSE(wrong);
    EXPECT_EQ(wrong.message(), "3 values given, 2 expected [makeREHeader]");
}

}  // namespace
}  // namespace vdln
