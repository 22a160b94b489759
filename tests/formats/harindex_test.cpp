#include "formats/harindex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "formats/harfile.h"
#include "formats/recbytes.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln {
namespace {

using vdln::testing::le32;
using vdln::testing::le32f;
using vdln::testing::readFile;
using vdln::testing::writeFile;

// The value the tests store at 1-based indices: every index shows in it.
float valueAt(const Dims7& idx) {
    float v = 0;
    float w = 1;
    for (int k = 0; k < 7; ++k, w *= 10) v += static_cast<float>(idx[k]) * w;
    return v;
}

std::vector<std::string> elements(const std::string& prefix, std::int64_t n) {
    std::vector<std::string> out;
    for (std::int64_t i = 1; i <= n; ++i) out.push_back(prefix + std::to_string(i));
    return out;
}

// An "RE" header over `nd` dimensions of the given sizes, filled with
// `valueAt`; with `sparse` most values are zero.
PHarHeader realHeader(const std::string& name, const Dims7& sizes, int nd, bool sparse) {
    std::vector<HarSet> sets;
    for (int k = 0; k < nd; ++k)
        sets.push_back({"S" + std::to_string(k + 1), elements("e" + std::to_string(k + 1) + "_", sizes[k])});
    auto h = makeREHeader(name, "dims " + std::to_string(nd), sets);
    EXPECT_TRUE(h) << h.message();
    HeadMat& m = (*h)->HeadMat;
    Dims7 idx{1, 1, 1, 1, 1, 1, 1};
    for (std::int64_t i = 0; i < m.size(); ++i) {
        m.Root()[i] = (sparse && i % 5 != 0) ? 0.0f : valueAt(idx);
        for (int k = 0; k < 7; ++k) {
            if (++idx[k] <= m.dim(k + 1)) break;
            idx[k] = 1;
        }
    }
    return std::move(*h);
}

void expectSameDetails(const HarHeader& index, const HarHeader& whole) {
    EXPECT_EQ(index.name, whole.name);
    EXPECT_EQ(index.HeadType, whole.HeadType);
    EXPECT_EQ(index.typeRead, whole.typeRead);
    EXPECT_EQ(index.storage, whole.storage);
    EXPECT_EQ(index.description, whole.description);
    EXPECT_EQ(index.NDim, whole.NDim);
    EXPECT_EQ(index.dims, whole.dims);
    EXPECT_EQ(index.dimsText, whole.dimsText);
    EXPECT_EQ(index.shortDimsText, whole.shortDimsText);
    EXPECT_EQ(index.elementCount, whole.elementCount);
    EXPECT_EQ(index.stringCount, whole.stringCount);
    EXPECT_EQ(index.rows, whole.rows);
    EXPECT_EQ(index.cols, whole.cols);
    EXPECT_EQ(index.re.coefName, whole.re.coefName);
    EXPECT_EQ(index.re.RDelst, whole.re.RDelst);
    EXPECT_EQ(index.dimLabels, whole.dimLabels);
    for (int k = 1; k <= 7; ++k) {
        EXPECT_EQ(index.setName(k), whole.setName(k));
        EXPECT_EQ(index.elementNames(k), whole.elementNames(k));
    }
}

void expectSameData(const HarHeader& one, const HarHeader& whole) {
    expectSameDetails(one, whole);
    EXPECT_EQ(one.realValues(), whole.realValues());
    EXPECT_EQ(one.strings, whole.strings);
    EXPECT_EQ(one.replacedCount, whole.replacedCount);
    ASSERT_EQ(static_cast<bool>(one.intMatrix), static_cast<bool>(whole.intMatrix));
    if (one.intMatrix) {
        for (std::int64_t r = 1; r <= whole.rows; ++r)
            for (std::int64_t c = 1; c <= whole.cols; ++c)
                EXPECT_EQ(one.intMatrix->i32(r, c), whole.intMatrix->i32(r, c));
    }
}

class HarIndexTest : public vdln::testing::TempDirTest {
protected:
    // A file with a header of every kind and dimension count the library
    // writes: "RE" of 0 to 7 dimensions (full and, with `useSparse`,
    // sparse), an "RL" (incomplete set information), one with an element
    // dimension, one with a zero size, strings and an integer matrix.
    std::string writeSample(RecordFlavour fl, bool useSparse) {
        HarFile f = NewHarFile("tester", "now", false, false).value();
        f.flavour = fl;
        f.useSparse = useSparse;
        const Dims7 sizes[8] = {{1, 1, 1, 1, 1, 1, 1}, {4, 1, 1, 1, 1, 1, 1}, {3, 5, 1, 1, 1, 1, 1},
                                {3, 4, 2, 1, 1, 1, 1}, {2, 3, 2, 2, 1, 1, 1}, {2, 2, 3, 2, 2, 1, 1},
                                {2, 2, 2, 2, 3, 2, 1}, {2, 2, 2, 2, 2, 3, 2}};
        for (int nd = 0; nd <= 7; ++nd) {
            EXPECT_TRUE(addHeader(f, realHeader("D" + std::to_string(nd), sizes[nd], nd, false)));
            EXPECT_TRUE(addHeader(f, realHeader("S" + std::to_string(nd), sizes[nd], nd, true)));
        }
        // Large enough to need several blocks of 7000 reals.
        EXPECT_TRUE(addHeader(f, realHeader("BIG", {120, 70, 3, 1, 1, 1, 1}, 3, false)));
        PHarHeader rl = realHeader("RL", {3, 2, 1, 1, 1, 1, 1}, 2, false);
        rl->re.setDimsKnown = false;  // incomplete set information: written as "RL"
        EXPECT_TRUE(addHeader(f, std::move(rl)));
        auto one = makeREHeader("ONEM", "one element", {{"IND", {"AGR", "MAN"}}, {"COM", {"mfg"}}}, {1, 2});
        (*one)->re.RDelst[1] = 'e';
        (*one)->re.numbers[1] = 2;
        (*one)->re.eltNames[0] = "mfg";
        (*one)->re.NEltrd = 1;
        (*one)->dimLabels[1] = "mfg";
        EXPECT_TRUE(addHeader(f, std::move(*one)));
        PHarHeader empty;
        EXPECT_TRUE(CreateUnLabelledRE(empty, "ZERO", "no values", true, {3, 0, 1, 1, 1, 1, 1}, 2));
        EXPECT_TRUE(AddHeaderNil(f, empty));
        EXPECT_TRUE(addHeader(f, makeStringHeader("TXT", "text", {"alpha", "beta, gamma", ""}).value()));
        PHarHeader im = std::make_unique<HarHeader>();
        im->name = "IMAT";
        im->HeadType = "2I";
        im->rows = 3;
        im->cols = 4000;
        EXPECT_TRUE(AllocArr(im->intMatrix, 3, 4000, 4));
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 4000; ++c) im->intMatrix->i32(r, c) = r * 10000 + c;
        EXPECT_TRUE(AddHeaderNil(f, im));
        const std::string file = path(std::string("sample_") + (fl == RecordFlavour::Lahey ? "l" : "f") +
                                      (useSparse ? "s" : "") + ".har");
        Status s = WriteHarFile(file, "tester", "now", f);
        EXPECT_TRUE(s) << s.message();
        return file;
    }
};

TEST_F(HarIndexTest, IndexAndOneHeaderReadsAgreeWithTheWholeRead) {
    for (RecordFlavour fl : {RecordFlavour::Lahey, RecordFlavour::Fujitsu})
        for (bool sparse : {false, true}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(fl)) + (sparse ? " sparse" : " full"));
            const std::string file = writeSample(fl, sparse);
            auto whole = ReadHarFile(file);
            ASSERT_TRUE(whole) << whole.message();
            HarReader reader;
            Status s = reader.open(file);
            ASSERT_TRUE(s) << s.message();
            EXPECT_EQ(reader.flavour(), fl);
            // Every header, special ones included, in file order.
            std::vector<std::string> names;
            for (const auto& e : reader.entries()) names.push_back(e.name());
            std::vector<std::string> expected{"XXCD", "XXCR", "XXHS"};
            for (const auto& h : whole->headers) expected.push_back(h->name);
            EXPECT_EQ(names, expected);
            int sparseSeen = 0;
            for (const auto& e : reader.entries()) {
                SCOPED_TRACE(e.name());
                ASSERT_TRUE(e.readable()) << e.problem;
                const HarHeader* w = whole->find(e.name());
                ASSERT_TRUE(w);
                expectSameDetails(e.header(), *w);
                EXPECT_FALSE(e.header().HeadMat.allocated());
                EXPECT_FALSE(e.header().intMatrix);
                EXPECT_TRUE(e.header().strings.empty());
                sparseSeen += e.header().storage == "SPSE";
                auto one = reader.readHeader(e);
                ASSERT_TRUE(one) << one.message();
                expectSameData(**one, *w);
            }
            // With the sparse setting the mostly-zero arrays were written sparse.
            EXPECT_EQ(sparseSeen > 0, sparse);
            EXPECT_EQ(reader.find("s3")->header().storage, sparse ? "SPSE" : "FULL");
            EXPECT_EQ(reader.find("D3")->coefficient(), "D3");
            EXPECT_EQ(reader.find("RL")->header().typeRead, "RL");
            EXPECT_EQ(reader.find("ONEM")->header().dimsText, "IND*mfg");
            EXPECT_EQ(reader.find("D7")->header().dimsText, "S1*S2*S3*S4*S5*S6*S7");
            EXPECT_EQ(reader.find("TXT")->header().dimsText, "3 length 11");
            EXPECT_EQ(reader.find("IMAT")->header().dimsText, "3*4000");
            EXPECT_EQ(reader.find("nothing"), nullptr);
            // Entries tile the file: each begins where the previous ended.
            for (std::size_t i = 1; i < reader.entries().size(); ++i)
                EXPECT_EQ(reader.entries()[i].offset, reader.entries()[i - 1].endOffset);
            EXPECT_EQ(reader.entries().back().endOffset, reader.fileSize());
        }
}

// A real matrix ("2R") is never written by the library; the index must
// describe it as the whole read does, as a real array.
TEST_F(HarIndexTest, RealMatrixIsListedAsTheArrayItBecomes) {
    auto ints = [](std::initializer_list<std::int32_t> v) {
        std::string s;
        for (auto x : v) s += le32(x);
        return s;
    };
    auto desc = [](const std::string& type, std::initializer_list<std::int32_t> v) {
        std::string s = "    " + type + "FULL" + std::string(70, ' ');
        for (auto x : v) s += le32(x);
        return s;
    };
    const std::string bytes = vdln::testing::fujiBytes({
        "R2  ",
        desc("2R", {2, 1, 4}),
        "    " + ints({1, 1, 4, 1, 1, 1, 4}) + le32f(5) + le32f(6) + le32f(7) + le32f(8),
        "R3  ",
        desc("2R", {2, 3, 2}),
        "    " + ints({2, 3, 2, 1, 3, 1, 1}) + le32f(1) + le32f(2) + le32f(3),
        "    " + ints({1, 3, 2, 1, 3, 2, 2}) + le32f(4) + le32f(5) + le32f(6),
    });
    writeFile(path("r.har"), bytes);
    auto whole = ReadHarFile(path("r.har"));
    ASSERT_TRUE(whole) << whole.message();
    HarReader reader;
    ASSERT_TRUE(reader.open(path("r.har")));
    ASSERT_EQ(reader.entries().size(), 2u);
    for (const auto& e : reader.entries()) {
        SCOPED_TRACE(e.name());
        expectSameDetails(e.header(), *whole->find(e.name()));
        auto one = reader.readHeader(e);
        ASSERT_TRUE(one) << one.message();
        expectSameData(**one, *whole->find(e.name()));
    }
    EXPECT_EQ(reader.find("R3")->header().dimsText, "3*2");
    auto slice = reader.readSlice(*reader.find("R3"), {2, 1, {1, 1, 1, 1, 1, 1, 1}});
    ASSERT_TRUE(slice) << slice.message();
    EXPECT_EQ(slice->reals, (std::vector<float>{1, 2, 3, 4, 5, 6}));  // transposed: 2 rows of 3
}

TEST_F(HarIndexTest, SlicesOfAThreeDimensionalHeader) {
    for (bool sparse : {false, true}) {
        SCOPED_TRACE(sparse ? "sparse" : "full");
        const std::string file = writeSample(RecordFlavour::Fujitsu, sparse);
        HarReader reader;
        ASSERT_TRUE(reader.open(file));
        for (const char* name : {"D3", "S3", "BIG"}) {
            const HarIndexEntry& e = *reader.find(name);
            const Dims7 d = e.header().dims;
            for (int r = 1; r <= 3; ++r)
                for (int c = 1; c <= 3; ++c) {
                    if (r == c) continue;
                    const int other = 6 - r - c;
                    for (std::int64_t fix = 1; fix <= d[other - 1]; ++fix) {
                        SCOPED_TRACE(std::string(name) + " rows " + std::to_string(r) + " cols " +
                                     std::to_string(c) + " fixed " + std::to_string(fix));
                        HarSliceChoice choice{r, c, {1, 1, 1, 1, 1, 1, 1}};
                        choice.fixed[other - 1] = fix;
                        auto s = reader.readSlice(e, choice);
                        ASSERT_TRUE(s) << s.message();
                        ASSERT_EQ(s->rows, d[r - 1]);
                        ASSERT_EQ(s->cols, d[c - 1]);
                        EXPECT_EQ(s->rowTitle, std::string(name) == "BIG" ? "S" + std::to_string(r)
                                                                          : "S" + std::to_string(r));
                        EXPECT_EQ(s->rowLabel(0), "e" + std::to_string(r) + "_1");
                        EXPECT_EQ(s->colLabel(s->cols - 1),
                                  "e" + std::to_string(c) + "_" + std::to_string(d[c - 1]));
                        // The sample stores only every fifth value of the sparse
                        // headers ("S.."); the position decides which.
                        const bool sparseHeader = name[0] == 'S';
                        int wrong = 0;
                        for (std::int64_t i = 1; i <= s->rows; ++i)
                            for (std::int64_t j = 1; j <= s->cols; ++j) {
                                Dims7 idx{1, 1, 1, 1, 1, 1, 1};
                                idx[r - 1] = i;
                                idx[c - 1] = j;
                                idx[other - 1] = fix;
                                const std::int64_t linear =
                                    (idx[0] - 1) + d[0] * ((idx[1] - 1) + d[1] * (idx[2] - 1));
                                const float want = sparseHeader && linear % 5 != 0 ? 0.0f : valueAt(idx);
                                wrong += s->reals[s->index(i - 1, j - 1)] != want;
                            }
                        EXPECT_EQ(wrong, 0);
                    }
                }
        }
        // Bad slices are refused with a message.
        const HarIndexEntry& d3 = *reader.find("D3");
        struct Bad {
            HarSliceChoice choice;
            std::string message;
        } bad[] = {
            {{1, 1, {1, 1, 1, 1, 1, 1, 1}},
             "The row and column dimensions must differ [ReadHeaderSlice:D3  ]"},
            {{4, 1, {1, 1, 1, 1, 1, 1, 1}},
             "Row dimension 4 is not a dimension of the header [ReadHeaderSlice:D3  ]"},
            {{1, 2, {1, 1, 3, 1, 1, 1, 1}},
             "Element 3 of dimension 3 is outside 1..2 [ReadHeaderSlice:D3  ]"},
        };
        for (const auto& b : bad) {
            auto s = reader.readSlice(d3, b.choice);
            ASSERT_FALSE(s);
            EXPECT_EQ(s.message(), b.message);
        }
    }
}

TEST_F(HarIndexTest, SliceTextAndSliceSyntax) {
    const std::string file = writeSample(RecordFlavour::Lahey, false);
    HarReader reader;
    ASSERT_TRUE(reader.open(file));
    const HarIndexEntry& d3 = *reader.find("D3");
    struct Case {
        std::string text;
        int rows, cols;
        Dims7 fixed;
        std::string message;
    } cases[] = {
        {"S2,S1,S3=e3_2", 2, 1, {1, 1, 2, 1, 1, 1, 1}, ""},
        {"3,1,2=e2_4", 3, 1, {1, 4, 1, 1, 1, 1, 1}, ""},
        {"s3", 3, 1, {1, 1, 1, 1, 1, 1, 1}, ""},
        {"S1,S2,S3=2", 1, 2, {1, 1, 2, 1, 1, 1, 1}, ""},
        {"S1,S2,S4=1", 0, 0, {}, "No dimension of the header is named S4"},
        {"S1,S2,S3=e3_9", 0, 0, {}, "Dimension S3 has no element e3_9"},
        {"S1,S2,S1=e1_1", 0, 0, {}, "Dimension 1 is shown and fixed at once in slice S1,S2,S1=e1_1"},
        {"S1,S2,S3", 0, 0, {}, "More than two dimensions to show in slice S1,S2,S3"},
        {"9", 0, 0, {}, "Dimension 9 is not a dimension of the header (it has 3)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto choice = parseSliceChoice(d3.header(), c.text);
        if (!c.message.empty()) {
            ASSERT_FALSE(choice);
            EXPECT_EQ(choice.message(), c.message);
            continue;
        }
        ASSERT_TRUE(choice) << choice.message();
        EXPECT_EQ(choice->rowDim, c.rows);
        EXPECT_EQ(choice->colDim, c.cols);
        for (int k = 1; k <= 3; ++k)
            if (k != c.rows && k != c.cols) {
                EXPECT_EQ(choice->fixed[k - 1], c.fixed[k - 1]) << k;
            }
    }
    // A set name used by two dimensions must be given by number.
    auto twice = makeREHeader("TRAD", "", {{"REG", {"N", "S"}}, {"REG", {"N", "S"}}});
    auto sp = parseSliceChoice(**twice, "REG");
    ASSERT_FALSE(sp);
    EXPECT_EQ(sp.message(), "Set REG names more than one dimension: use its number");

    // Reals read back exactly from their text, written no longer than needed.
    HarSlice reals;
    reals.rows = 1;
    reals.cols = 4;
    reals.reals = {2.8f, -1e-7f, 1e20f, 0.1f + 0.2f};
    EXPECT_EQ(reals.cellText(0, 0), "2.8");
    EXPECT_EQ(reals.cellText(0, 1), "-1e-07");
    EXPECT_EQ(reals.cellText(0, 2), "1e+20");
    EXPECT_EQ(std::stof(reals.cellText(0, 3)), 0.1f + 0.2f);
    EXPECT_EQ(reals.cellText(1, 0), "");  // outside the slice

    // The text: labels quoted when they hold the separator.
    auto onem = reader.readSlice(*reader.find("ONEM"), defaultSliceChoice(reader.find("ONEM")->header()));
    ASSERT_TRUE(onem) << onem.message();
    EXPECT_EQ(sliceText(*onem, ','), "IND,mfg\nAGR,1\nMAN,2\n");
    auto txt = reader.readSlice(*reader.find("TXT"), defaultSliceChoice(reader.find("TXT")->header()));
    ASSERT_TRUE(txt) << txt.message();
    EXPECT_EQ(sliceText(*txt, ','), ",TXT\n1,alpha\n2,\"beta, gamma\"\n3,\n");
    EXPECT_EQ(sliceText(*txt, '\t', true), "\tTXT\r\n1\talpha\r\n2\tbeta, gamma\r\n3\t\r\n");
    auto d0 = reader.readSlice(*reader.find("D0"), defaultSliceChoice(reader.find("D0")->header()));
    ASSERT_TRUE(d0) << d0.message();
    EXPECT_EQ(sliceText(*d0, ','), ",D0\n,1111111\n");
    auto im = reader.readSlice(*reader.find("IMAT"), {2, 1, {1, 1, 1, 1, 1, 1, 1}});
    ASSERT_TRUE(im) << im.message();
    EXPECT_EQ(im->rows, 4000);
    EXPECT_EQ(im->cellText(2333, 2), "32334");
}

TEST_F(HarIndexTest, DamagedFilesGiveTheReadersMessages) {
    const std::string good = writeSample(RecordFlavour::Fujitsu, false);
    const std::string bytes = readFile(good);
    HarReader probe;
    ASSERT_TRUE(probe.open(good));
    const HarIndexEntry& big = *probe.find("BIG");
    // BIG's records: name, description, set information, three element
    // records, then the dimension record and the blocks.
    std::vector<std::size_t> recs;
    for (std::size_t p = static_cast<std::size_t>(big.offset); recs.size() < 9;) {
        recs.push_back(p);
        std::uint32_t len = 0;
        std::memcpy(&len, bytes.data() + p, 4);
        p += 8 + len;
    }
    const std::size_t dimRecord = recs[6], firstValues = recs[8];

    // Cut at every 211th byte: never a crash.  The index stops with its
    // message at a record that was cut; every header before the last one it
    // lists reads on its own, the last one reads or gives the reader's message.
    for (std::size_t cut = 0; cut < bytes.size(); cut += 211) {
        SCOPED_TRACE(cut);
        writeFile(path("cut.har"), bytes.substr(0, cut));
        HarReader r;
        Status s = r.open(path("cut.har"));
        if (!s) {
            EXPECT_EQ(s.message().substr(s.message().size() - 15), " [ReadHarIndex]");
        }
        const std::size_t n = r.entries().size();
        for (std::size_t i = 0; i < n; ++i) {
            const HarIndexEntry& e = r.entries()[i];
            auto h = r.readHeader(e);
            const bool last = i + 1 == n;
            // A cut between two records of the last header's data leaves
            // whole records: only reading that header finds it short.
            if (!last) {
                EXPECT_TRUE(h) << e.name() << ": " << h.message();
            } else if (!h) {
                EXPECT_NE(h.message().find(" [ReadHeaderAt:" + e.name() + "]"), std::string::npos)
                    << h.message();
            }
        }
    }
    struct Case {
        const char* what;
        std::string bytes;
        std::string openMessage;  // expected open() message; empty: success
        std::string entry;        // entry whose read is checked
        std::string readMessage;  // expected start of its problem or read message
    } cases[] = {
        {"cut inside BIG's data", bytes.substr(0, firstValues + 5000),
         "Unexpected end-of-file [FileRead] [SkipHead] [ReadHarIndex]", "BIG",
         "Unexpected end-of-file [FileRead] [GetLaheyRec] [GetRecBuf] [GetRLData] [ReadHeaderData:BIG ] "
         "[ReadHeaderAt:BIG ]"},
        {"trailing length of a data record damaged",
         [&] {
             std::string b = bytes;
             // The dimension record holds 40 bytes: its trailing length
             // follows them.
             b[dimRecord + 4 + 40] ^= 0x01;
             return b;
         }(),
         "Bad RecLenCheck value [FujiChkRecLen] [SkipHead] [ReadHarIndex]", "BIG",
         "Bad RecLenCheck value [FujiChkRecLen] [GetLaheyRec] [GetRLData] [ReadHeaderData:BIG ] "
         "[ReadHeaderAt:BIG ]"},
        {"description of BIG unreadable",
         [&] {
             std::string b = bytes;
             b[recs[1] + 4 + 4] = 'Q';  // type "RE" -> "QE"
             return b;
         }(),
         "", "BIG",
         "Bad details at header \"BIG \"\r\nUnrecognized Data Type QE [GetIntsExpected] [GetDesc] "
         "[GetHeaderRecord] "
         "[ReadHeaderAt:BIG ]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path("bad.har"), c.bytes);
        HarReader r;
        Status s = r.open(path("bad.har"));
        if (c.openMessage.empty()) {
            EXPECT_TRUE(s) << s.message();
        } else {
            ASSERT_FALSE(s);
            EXPECT_EQ(s.message(), c.openMessage);
        }
        const HarIndexEntry* e = r.find(c.entry);
        ASSERT_TRUE(e);
        auto h = r.readHeader(*e);
        ASSERT_FALSE(h);
        EXPECT_EQ(h.message(), c.readMessage);
        // The headers before the damage are still listed and readable.
        ASSERT_TRUE(r.find("D7"));
        EXPECT_TRUE(r.readHeader(*r.find("D7")));
    }
    HarReader missing;
    Status s = missing.open(path("none.har"));
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(),
              "No such file:" + path("none.har") + " [IsWhichLaheyFile] [OpenLaheyFile] [ReadHarIndex]");
}

// The regression inputs of the header array reader (the index reader's
// fuzz finds among them), read through the index without a crash.
TEST(HarIndexRegressions, KeptInputsIndexCleanly) {
    std::size_t seen = 0;
    for (const char* dir : {"/tests/formats/har_regressions", "/fuzz/corpus/har_reader"}) {
        for (const auto& entry : std::filesystem::directory_iterator(vdln::testing::testSourceDir() + dir)) {
            SCOPED_TRACE(entry.path().string());
            ++seen;
            HarReader r;
            Status s = r.open(entry.path().string());
            if (!s) {
                EXPECT_FALSE(s.message().empty());
            }
            for (const auto& e : r.entries()) {
                // A dimension of size 0 beside one of millions of elements
                // once made the slice's labels take gigabytes.
                auto slice = r.readSlice(e, defaultSliceChoice(e.header()));
                if (slice) {
                    EXPECT_LE(slice->rowLabels.size() + slice->colLabels.size(),
                              static_cast<std::size_t>(2 + 2 * e.header().elementCount));
                }
                auto h = r.readHeader(e);
                if (!h) {
                    EXPECT_FALSE(h.message().empty());
                }
            }
        }
    }
    EXPECT_GE(seen, 5u);
}

}  // namespace
}  // namespace vdln
