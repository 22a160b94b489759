#include "formats/harheader.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <cmath>
#include <functional>
#include <iomanip>
#include <limits>
#include <sstream>

#include "formats/harfile.h"
#include "formats/recbytes.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using vdln::testing::le32;
using vdln::testing::le32f;

std::string pad(const std::string& s, std::size_t n) {
    std::string o = s.substr(0, std::min(n, s.size()));
    o.resize(n, ' ');
    return o;
}
std::string ints(std::initializer_list<std::int32_t> v) {
    std::string s;
    for (auto x : v) s += le32(x);
    return s;
}

// Writes hand-made header records with the record layer only, so the
// readers can be given any layout, valid or not.
class RawHar {
public:
    RawHar(const std::string& name, RecordFlavour fl = RecordFlavour::Fujitsu) {
        EXPECT_TRUE(CreateLaheyFile(m_f, name, fl));
    }
    void rec(const std::string& data) {
        EXPECT_TRUE(WriteLaheyRec(m_f, data.data(), static_cast<std::int64_t>(data.size())));
    }
    // A structured record: filler + body.
    void srec(const std::string& body) { rec("    " + body); }
    void name(const std::string& n) { rec(pad(n, 4)); }
    void desc(const std::string& type, const std::string& storage, const std::string& text,
              std::initializer_list<std::int32_t> v) {
        srec(type + storage + pad(text, 70) + ints(v));
    }
    void range(std::int32_t krec, std::initializer_list<std::int32_t> loHi) {
        std::string b = le32(krec) + ints(loHi);
        for (std::size_t k = loHi.size(); k < 14; ++k) b += le32(1);
        srec(b);
    }
    void values(std::int32_t krec, const std::vector<float>& v) {
        std::string b = le32(krec);
        for (float x : v) b += le32f(x);
        srec(b);
    }
    void close() { EXPECT_TRUE(m_f.close()); }

private:
    LaheyFile m_f;
};

class HarHeaderTest : public vdln::testing::TempDirTest {
protected:
    // Reads every record after the lead byte: data lengths and bytes.
    std::vector<std::string> records(const std::string& file) {
        LaheyFile f;
        EXPECT_TRUE(OpenLaheyFile(f, file));
        std::vector<std::string> out;
        while (!f.atEnd()) {
            auto r = GetLaheyRec(f);
            if (!r) {
                ADD_FAILURE() << r.message();
                break;
            }
            out.emplace_back(reinterpret_cast<const char*>(r->data), static_cast<std::size_t>(r->length));
        }
        return out;
    }
    // Writes one header alone with WriteHead.
    void writeOne(const std::string& file, HarHeader& h, bool useSparse = false,
                  RecordFlavour fl = RecordFlavour::Fujitsu) {
        LaheyFile f;
        ASSERT_TRUE(CreateLaheyFile(f, file, fl));
        Status s = WriteHead(f, h, useSparse);
        ASSERT_TRUE(s) << s.message();
        ASSERT_TRUE(f.close());
    }
    Result<PHarHeader> readFirst(const std::string& file) { return ReadHeaderFromHarFile(file, "", false); }
};

PHarHeader unlabelled(const Dims7& d, int nd) {
    PHarHeader h;
    EXPECT_TRUE(CreateUnLabelledRE(h, "ARR", "an array", true, d, nd));
    return h;
}

TEST_F(HarHeaderTest, FullLayoutBlocking) {
    struct Case {
        Dims7 dims;
        int nd;
        std::vector<std::int64_t> blockSizes;
    } cases[] = {
        {{10000, 1, 1, 1, 1, 1, 1}, 1, {7000, 3000}},
        {{5000, 10, 1, 1, 1, 1, 1}, 2, std::vector<std::int64_t>(10, 5000)},
        {{0, 3, 1, 1, 1, 1, 1}, 2, {0}},
        {{3, 4, 2, 1, 1, 1, 1}, 3, {24}},
        {{100, 100, 2, 1, 1, 1, 1}, 3, {7000, 3000, 7000, 3000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dims[0]);
        auto h = unlabelled(c.dims, c.nd);
        // Fill with the linear position so misplaced blocks show.
        for (std::int64_t i = 0; i < h->HeadMat.size(); ++i) h->HeadMat.Root()[i] = static_cast<float>(i + 1);
        const std::string file = path("b.har");
        writeOne(file, *h);
        auto recs = records(file);
        // name, description, dimension record, then range/value pairs (an
        // "RL" description since the sets are not named).
        ASSERT_GE(recs.size(), 3u);
        EXPECT_EQ(recs[1].substr(4, 2), "RL");
        const auto nblocks = static_cast<std::int32_t>(c.blockSizes.size());
        EXPECT_EQ(readI32(reinterpret_cast<const std::uint8_t*>(recs[2].data()) + 4), 2 * nblocks + 1);
        ASSERT_EQ(recs.size(), 3u + 2u * c.blockSizes.size());
        for (std::size_t b = 0; b < c.blockSizes.size(); ++b) {
            const auto& range = recs[3 + 2 * b];
            const auto& vals = recs[4 + 2 * b];
            EXPECT_EQ(readI32(reinterpret_cast<const std::uint8_t*>(range.data()) + 4),
                      2 * nblocks - 2 * static_cast<std::int32_t>(b));
            EXPECT_EQ(static_cast<std::int64_t>(vals.size()), 8 + 4 * c.blockSizes[b]);
        }
        auto back = readFirst(file);
        ASSERT_TRUE(back) << back.message();
        ASSERT_TRUE(*back);
        EXPECT_EQ((*back)->HeadMat.dims(), c.dims);
        EXPECT_EQ((*back)->realValues(), h->realValues());
    }
}

TEST_F(HarHeaderTest, SparseChoiceAndLayout) {
    struct Case {
        const char* what;
        std::int64_t size;
        std::vector<std::int64_t> nonZeroAt;  // 0-based
        bool useSparse;
        std::string storage;
        std::size_t dataRecords;  // records after the sparse header record
    } cases[] = {
        {"all zeros, sparse on", 50, {}, true, "SPSE", 1},
        {"all zeros, sparse off", 50, {}, false, "FULL", 2},
        {"39% zeros is full", 100, {}, true, "FULL", 2},
        {"5000 entries in 3 records", 100000, {}, true, "SPSE", 3},
        {"exactly 2333 entries", 10000, {}, true, "SPSE", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto h = unlabelled({c.size, 1, 1, 1, 1, 1, 1}, 1);
        std::int64_t want = std::string(c.what).find("39%") != std::string::npos    ? 61
                            : std::string(c.what).find("5000") != std::string::npos ? 5000
                            : std::string(c.what).find("2333") != std::string::npos ? 2333
                                                                                    : 0;
        for (std::int64_t i = 0; i < want; ++i)
            h->HeadMat.Root()[i * (c.size / std::max<std::int64_t>(want, 1))] = 1.5f + static_cast<float>(i);
        const std::string file = path("s.har");
        writeOne(file, *h, c.useSparse);
        EXPECT_EQ(h->storage, c.storage);
        auto recs = records(file);
        EXPECT_EQ(recs[1].substr(6, 4), c.storage);
        if (c.storage == "SPSE") {
            ASSERT_EQ(recs.size(), 3 + c.dataRecords);
            EXPECT_EQ(readI32(reinterpret_cast<const std::uint8_t*>(recs[2].data()) + 4), want);
            if (want == 0) {
                EXPECT_EQ(recs[3], "    " + ints({1, 0, 0}));
            }
            // Last record carries KREC 1 and only it may be short.
            EXPECT_EQ(readI32(reinterpret_cast<const std::uint8_t*>(recs.back().data()) + 4), 1);
        }
        auto back = readFirst(file);
        ASSERT_TRUE(back) << back.message();
        EXPECT_EQ((*back)->realValues(), h->realValues());
    }
}

TEST_F(HarHeaderTest, SetInformationRoundTrip) {
    // Two dimensions over the same set write one element record and read
    // back sharing the names; an 'e' dimension keeps its element.
    auto made = makeREHeader(
        "TRAD", "trade",
        {{"REG", {"north", "south"}}, {"REG", {"north", "south"}}, {"COM", {"food", "mfg", "svc"}}},
        {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    ASSERT_TRUE(made) << made.message();
    HarHeader& h = **made;
    const std::string file = path("t.har");
    writeOne(file, h, false, RecordFlavour::Lahey);
    auto recs = records(file);
    // name, description, set information, two element records (REG, COM), dim record...
    ASSERT_GE(recs.size(), 6u);
    EXPECT_EQ(recs[1].substr(4, 2), "RE");
    EXPECT_EQ(readI32(reinterpret_cast<const std::uint8_t*>(recs[2].data()) + 4), 2);  // SetsToRead
    EXPECT_EQ(recs[3].substr(16), pad("north", 12) + pad("south", 12));
    EXPECT_EQ(recs[4].substr(16), pad("food", 12) + pad("mfg", 12) + pad("svc", 12));
    auto back = readFirst(file);
    ASSERT_TRUE(back) << back.message();
    const HarHeader& b = **back;
    EXPECT_EQ(b.HeadType, "RE");
    EXPECT_EQ(b.NDim, 3);
    EXPECT_EQ(b.dimsText, "REG*REG*COM");
    EXPECT_EQ(b.shortDimsText, "2*2*3");
    EXPECT_EQ(b.elementNames(1), (std::vector<std::string>{"north", "south"}));
    EXPECT_EQ(b.elementNames(2), b.elementNames(1));
    EXPECT_EQ(b.elementNames(3), (std::vector<std::string>{"food", "mfg", "svc"}));
    EXPECT_EQ(b.re.coefName, "TRAD");
    EXPECT_EQ(b.HeadMat.at(2, 1, 3), 10.0f);
    EXPECT_EQ(b.realValues(), h.realValues());
}

// Builds an "RE" header file by hand with the given set-information bytes.
void writeRE(RawHar& w, const std::string& setInfo, const std::vector<std::string>& elementRecords,
             std::int32_t d1, std::int32_t d2) {
    w.name("SETS");
    w.desc("RE", "FULL", "", {7, d1, d2, 1, 1, 1, 1, 1});
    w.srec(setInfo);
    for (const auto& e : elementRecords) w.srec(e);
    w.srec(ints({3, 7, d1, d2, 1, 1, 1, 1, 1}));
    w.range(2, {1, d1, 1, d2});
    std::vector<float> v(static_cast<std::size_t>(d1 * d2), 1.0f);
    w.values(1, v);
}

std::string setInfo(std::int32_t setsToRead, std::int32_t nd, const std::vector<std::string>& names,
                    const std::string& status, const std::vector<std::int32_t>& numbers,
                    const std::vector<std::string>& elts) {
    std::string b = le32(setsToRead) + le32(-1) + le32(nd) + pad("COEF", 12) + le32(-1);
    for (const auto& n : names) b += pad(n, 12);
    b += status;
    for (auto n : numbers) b += le32(n);
    b += le32(static_cast<std::int32_t>(elts.size()));
    for (const auto& e : elts) b += pad(e, 12);
    return b;
}

std::string elementRecord(const std::vector<std::string>& names) {
    auto n = static_cast<std::int32_t>(names.size());
    std::string b = ints({1, n, n});
    for (const auto& s : names) b += pad(s, 12);
    return b;
}

TEST_F(HarHeaderTest, SetInformationReading) {
    struct Case {
        const char* what;
        std::string info;
        std::vector<std::string> elementRecords;
        std::int32_t d1, d2;
        std::string error;  // empty: success
        std::string dimsText;
    } cases[] = {
        {"unk name in any case is dropped",
         setInfo(0, 2, {"UNK5", "uNk2"}, "uu", {0, 0}, {}),
         {},
         5,
         2,
         "",
         "5*2"},
        {"unk with another size stays",
         setInfo(0, 2, {"Unk4", "S2"}, "uu", {0, 0}, {}),
         {},
         5,
         2,
         "",
         "Unk4*S2"},
        {"n is read as u", setInfo(0, 1, {"A"}, "n", {0}, {}), {}, 3, 1, "", "A"},
        {"single element dimension",
         setInfo(1, 2, {"REG", "COM"}, "ke", {0, 2}, {"mfg"}),
         {elementRecord({"r1", "r2", "r3"})},
         3,
         1,
         "",
         "REG*mfg"},
        {"names are cleaned", setInfo(0, 1, {"a-b c!"}, "u", {0}, {}), {}, 3, 1, "", "abc"},
        {"bad status",
         setInfo(0, 1, {"A"}, "x", {0}, {}),
         {},
         3,
         1,
         "RDelst not k, e, u or n [GetOrgREData]",
         ""},
        {"sets to read mismatch",
         setInfo(2, 1, {"A"}, "k", {0}, {}),
         {elementRecord({"a", "b", "c"})},
         3,
         1,
         "SetsToRead mismatch [GetOrgREData]",
         ""},
        {"element names mismatch",
         setInfo(0, 1, {"A"}, "e", {1}, {}),
         {},
         1,
         1,
         "neltrd mismatch: J=1,NEltrd=0 [GetOrgREData]",
         ""},
        {"same set two sizes",
         setInfo(1, 2, {"A", "A"}, "kk", {0, 0}, {}),
         {elementRecord({"a", "b", "c"}), elementRecord({"a", "b"})},
         3,
         2,
         "Set A has 2 different sizes in same header.  [GetOrgREData]",
         ""},
        {"eight dimensions",
         setInfo(0, 8, {}, "", {}, {}),
         {},
         3,
         1,
         "Set information describes 8 dimensions: max is 7 [GetOrgREData]",
         ""},
        {"too many element names",
         le32(0) + le32(-1) + le32(0) + pad("C", 12) + le32(-1) + le32(9),
         {},
         3,
         1,
         "Set information holds 9 element names: max is 7 [GetOrgREData]",
         ""},
        {"record cut short",
         le32(0) + le32(-1) + le32(2) + pad("C", 12),
         {},
         3,
         1,
         "Set information record too short [GetOrgREData]",
         ""},
        {"element record with more strings than the set",
         setInfo(1, 1, {"A"}, "k", {0}, {}),
         {ints({1, 3, 4}) + std::string(48, 'x')},
         3,
         1,
         "Too many strings in 1C record [GetHarStrings] [GetOrgREData]",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = path("si.har");
        {
            RawHar w(file);
            writeRE(w, c.info, c.elementRecords, c.d1, c.d2);
            w.close();
        }
        auto r = readFirst(file);
        if (c.error.empty()) {
            ASSERT_TRUE(r) << r.message();
            EXPECT_EQ((*r)->dimsText, c.dimsText);
        } else {
            ASSERT_FALSE(r);
            EXPECT_EQ(r.message(),
                      "At header SETS\r\n" + c.error + " [GetHeaderDetails] [ReadHeaderFromHarFile:]");
        }
    }
}

TEST_F(HarHeaderTest, ConvertedTypesAndReplacedReals) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::string file = path("c.har");
    {
        RawHar w(file, RecordFlavour::Lahey);
        // "RL": becomes "RE" with every dimension unknown.
        w.name("rl");
        w.desc("RL", "FULL", "real list", {7, 2, 2, 1, 1, 1, 1, 1});
        w.srec(ints({3, 7, 2, 2, 1, 1, 1, 1, 1}));
        w.range(2, {1, 2, 1, 2});
        w.values(1, {1, nan, 3, -inf});
        // "2R" 1 x 4: a vector of 4.
        w.name("R2");
        w.desc("2R", "FULL", "matrix", {2, 1, 4});
        w.srec(ints({1, 1, 4, 1, 1, 1, 4}) + le32f(5) + le32f(6) + le32f(inf) + le32f(8));
        // "2R" 3 x 2 over two records.
        w.name("R3");
        w.desc("2R", "FULL", "", {2, 3, 2});
        w.srec(ints({2, 3, 2, 1, 3, 1, 1}) + le32f(1) + le32f(2) + le32f(3));
        w.srec(ints({1, 3, 2, 1, 3, 2, 2}) + le32f(4) + le32f(5) + le32f(6));
        // "2I" 2 x 3.
        w.name("INT");
        w.desc("2I", "FULL", "ints", {2, 2, 3});
        w.srec(ints({1, 2, 3, 1, 2, 1, 3, 11, 21, 12, 22, 13, 23}));
        // "RL" in sparse storage.
        w.name("SPRL");
        w.desc("RL", "SPSE", "", {7, 10, 1, 1, 1, 1, 1, 1});
        w.srec(ints({2, 4, 4}) + std::string(80, ' '));
        w.srec(ints({1, 2, 2, 3, 10}) + le32f(nan) + le32f(9));
        w.close();
    }
    bool skipped = false;
    auto f = ReadHarFile(file, false, false, &skipped);
    ASSERT_TRUE(f) << f.message();
    EXPECT_FALSE(skipped);
    EXPECT_EQ(f->flavour, RecordFlavour::Lahey);
    const HarHeader* rl = f->find("RL");
    ASSERT_TRUE(rl);
    EXPECT_EQ(rl->HeadType, "RE");
    EXPECT_EQ(rl->typeRead, "RL");
    EXPECT_EQ(rl->re.RDelst[0], 'u');
    EXPECT_EQ(rl->re.RDelst[1], 'u');
    EXPECT_FALSE(rl->re.setNamesKnown);
    EXPECT_EQ(rl->replacedCount, 2);
    EXPECT_EQ(rl->realValues(), (std::vector<float>{1, kReplacedReal, 3, kReplacedReal}));
    const HarHeader* r2 = f->find("r2");
    ASSERT_TRUE(r2);
    EXPECT_EQ(r2->HeadType, "RE");
    EXPECT_EQ(r2->NDim, 1);
    EXPECT_EQ(r2->HeadMat.dims(), (Dims7{4, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(r2->realValues(), (std::vector<float>{5, 6, kReplacedReal, 8}));
    EXPECT_EQ(r2->replacedCount, 1);
    EXPECT_EQ(r2->dimsText, "4");
    const HarHeader* r3 = f->find("R3");
    ASSERT_TRUE(r3);
    EXPECT_EQ(r3->NDim, 2);
    EXPECT_EQ(r3->dimsText, "3*2");
    EXPECT_EQ(r3->HeadMat.at(2, 2), 5.0f);
    const HarHeader* in = f->find("INT");
    ASSERT_TRUE(in && in->intMatrix);
    EXPECT_EQ(in->dimsText, "2*3");
    EXPECT_EQ(in->intMatrix->i32(2, 3), 23);
    EXPECT_EQ(in->intMatrix->i32(1, 2), 12);
    const HarHeader* sp = f->find("SPRL");
    ASSERT_TRUE(sp);
    EXPECT_EQ(sp->HeadMat.at(3), kReplacedReal);
    EXPECT_EQ(sp->HeadMat.at(10), 9.0f);
    EXPECT_EQ(sp->HeadMat.at(1), 0.0f);
}

TEST_F(HarHeaderTest, MalformedDataIsRefused) {
    struct Case {
        const char* what;
        std::function<void(RawHar&)> write;
        std::string message;
    };
    std::vector<Case> cases = {
        {"range outside the dimensions",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("RL", "FULL", "", {7, 2, 1, 1, 1, 1, 1, 1});
             w.srec(ints({3, 7, 2, 1, 1, 1, 1, 1, 1}));
             w.range(2, {2, 3});
             w.values(1, {1, 2});
         },
         "Range record outside the array's dimensions [GetRLData] [ReadHeaderData:BAD ]"},
        {"values not matching the range",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("RL", "FULL", "", {7, 2, 1, 1, 1, 1, 1, 1});
             w.srec(ints({3, 7, 2, 1, 1, 1, 1, 1, 1}));
             w.range(2, {1, 2});
             w.values(1, {1, 2, 3});
         },
         "RL record wrong length [GetRLData] [ReadHeaderData:BAD ]"},
        {"sparse position beyond the array",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("RL", "SPSE", "", {7, 4, 1, 1, 1, 1, 1, 1});
             w.srec(ints({1, 4, 4}) + std::string(80, ' '));
             w.srec(ints({1, 1, 1, 5}) + le32f(1));
         },
         "Sparse position 5 outside 1..4 [GetRLSparseData] [ReadHeaderData:BAD ]"},
        {"sparse position zero",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("RL", "SPSE", "", {7, 4, 1, 1, 1, 1, 1, 1});
             w.srec(ints({1, 4, 4}) + std::string(80, ' '));
             w.srec(ints({1, 1, 1, 0}) + le32f(1));
         },
         "Sparse position 0 outside 1..4 [GetRLSparseData] [ReadHeaderData:BAD ]"},
        {"sparse sizes",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("RL", "SPSE", "", {7, 4, 1, 1, 1, 1, 1, 1});
             w.srec(ints({1, 8, 4}) + std::string(80, ' '));
         },
         "Expected 4 byte integer and reals: found 8  4 [GetRLSparseData] [ReadHeaderData:BAD ]"},
        {"sparse count mismatch",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("RL", "SPSE", "", {7, 4, 1, 1, 1, 1, 1, 1});
             w.srec(ints({2, 4, 4}) + std::string(80, ' '));
             w.srec(ints({1, 2, 1, 3}) + le32f(1));
         },
         "NRead(1) <> NNZ(2) [GetRLSparseData] [ReadHeaderData:BAD ]"},
        {"sparse entries odd",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("RL", "SPSE", "", {7, 4, 1, 1, 1, 1, 1, 1});
             w.srec(ints({1, 4, 4}) + std::string(80, ' '));
             w.srec(ints({1, 1, 2, 3}) + le32f(1));
         },
         "Nhere(2) <>(Extra(2) div 2) at KREC=1 [GetRLSparseData] [ReadHeaderData:BAD ]"},
        {"matrix record outside",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("2I", "FULL", "", {2, 2, 2});
             w.srec(ints({1, 2, 2, 2, 3, 1, 1, 5, 6}));
         },
         "Matrix record outside the declared rows and columns [Get2IData] [ReadHeaderData:BAD ]"},
        {"too many strings",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("1C", "FULL", "", {2, 2, 3});
             w.srec(ints({2, 2, 2}) + "abcdef");
             w.srec(ints({1, 2, 1}) + "ghi");
         },
         "Too many strings in 1C record [GetHarStrings] [Get1CData] [ReadHeaderData:BAD ]"},
        {"too few strings",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("1C", "FULL", "", {2, 2, 3});
             w.srec(ints({1, 2, 1}) + "abc");
         },
         "Too few strings in 1C record [GetHarStrings] [Get1CData] [ReadHeaderData:BAD ]"},
        {"strings too large for the buffer",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("1C", "FULL", "", {2, 200000, 50});
         },
         "Cannot read 200000 strings length 50 (total size 10000000) since buffer size MaxHarBuf is set to "
         "just 8000000 "
         "[GetHarStrings] [Get1CData] [ReadHeaderData:BAD ]"},
        {"truncated data",
         [](RawHar& w) {
             w.name("BAD");
             w.desc("RL", "FULL", "", {7, 2, 1, 1, 1, 1, 1, 1});
         },
         "Unexpected end-of-file [FileRead] [FujiGetRecLen] [GetLaheyRec] [GetRLData] [ReadHeaderData:BAD ]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = path("m.har");
        {
            RawHar w(file);
            c.write(w);
            w.close();
        }
        auto r = ReadHarFile(file);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.message(), c.message + " [ReadMoreIntoHarFile] [ReadHarFile]");
    }
}

TEST_F(HarHeaderTest, DetailsThatCannotBeReadAndFatalDetails) {
    const std::string file = path("d.har");
    {
        RawHar w(file);
        w.name("GOOD");
        w.desc("1C", "FULL", "ok", {2, 1, 2});
        w.srec(ints({1, 1, 1}) + "hi");
        w.name("ODD");
        w.desc("1C", "FULL", "too many ints", {2, 1, 2, 9});
        w.name("LAST");
        w.desc("1C", "FULL", "", {2, 1, 2});
        w.srec(ints({1, 1, 1}) + "yo");
        w.close();
    }
    auto r = ReadHarFile(file);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.message(),
              "Bad details at header \"ODD \"\r\nDescription Record wrong length [GetDesc] [GetHeaderRecord] "
              "[ReadMoreIntoHarFile] [ReadHarFile]");
    bool skipped = false;
    r = ReadHarFile(file, false, true, &skipped);
    ASSERT_TRUE(r) << r.message();
    EXPECT_TRUE(skipped);
    EXPECT_EQ(r->count(), 2);
    EXPECT_EQ(r->find("LAST")->strings, std::vector<std::string>{"yo"});

    struct Fatal {
        std::initializer_list<std::int32_t> dims;
        std::string message;
    } fatals[] = {
        {{7, 3, -1, 1, 1, 1, 1, 1}, "At header NEG \r\nDimension < 0 [FindNDim] [GetHeaderDetails]"},
        {{7, 100000, 100000, 1, 1, 1, 1, 1},
         "At header NEG \r\nArray size (100000*100000) too large: max is 268435455 elements "
         "[GetHeaderDetails]"},
    };
    for (const auto& c : fatals) {
        SCOPED_TRACE(c.message);
        {
            RawHar w(file);
            w.name("NEG");
            w.srec(std::string("RLFULL") + pad("", 70) + ints(c.dims));
            w.close();
        }
        auto f = ReadHarFile(file, false, true);
        ASSERT_FALSE(f);
        EXPECT_EQ(f.message(), c.message + " [ReadMoreIntoHarFile] [ReadHarFile]");
    }
}

TEST_F(HarHeaderTest, ValidREDetailsMessages) {
    auto base = makeREHeader("X", "", {{"A", {"a1", "a2"}}, {"B", {"b"}}});
    ASSERT_TRUE(base);
    EXPECT_TRUE(ValidREDetails(**base));
    struct Case {
        const char* message;
        std::function<void(HarHeader&)> spoil;
    };
    std::vector<Case> cases = {
        {"stknow false", [](HarHeader& h) { h.re.setNamesKnown = false; }},
        {"acdmkn false", [](HarHeader& h) { h.re.setDimsKnown = false; }},
        {"acdim<>OrigNDim", [](HarHeader& h) { h.re.OrigNDim = 1; }},
        {"StName blank", [](HarHeader& h) { h.re.setNames[1].clear(); }},
        {"RDelst not e,u, or k", [](HarHeader& h) { h.re.RDelst[0] = 'z'; }},
        {"elno<=0", [](HarHeader& h) { h.re.RDelst[1] = 'e'; }},
        {"eltnam blank",
         [](HarHeader& h) {
             h.re.RDelst[1] = 'e';
             h.re.numbers[1] = 1;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        PHarHeader h;
        ASSERT_TRUE(CloneHeader(**base, h));
        c.spoil(*h);
        Status s = ValidREDetails(*h);
        ASSERT_FALSE(s);
        EXPECT_EQ(s.message(), std::string(c.message) + " [ValidREDetails]");
    }
}

TEST_F(HarHeaderTest, WriteRefusesInconsistentHeaders) {
    auto h = makeREHeader("X", "", {{"A", {"a1", "a2"}}, {"A", {"a1", "a2"}}});
    ASSERT_TRUE(h);
    (*h)->SetElements[1]->push_back("a3");  // list no longer matches the size
    LaheyFile f;
    ASSERT_TRUE(CreateLaheyFile(f, path("w.har"), RecordFlavour::Fujitsu));
    Status s = WriteHead(f, **h, false);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(),
              "Set A has 3 elements but dimension 2 has size 2 [WriteOrgREData] [WriteRealStart] "
              "[WriteRLData] [WriteHead:X   ]");

    PHarHeader two;
    ASSERT_TRUE(CreateUnLabelledRE(two, "Y", "", true, {2, 3, 1, 1, 1, 1, 1}, 2));
    two->re.setNames = {"S", "S"};
    two->re.setNamesKnown = true;
    s = WriteHead(f, *two, false);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(),
              "Header Y    has two sets named S with different sizes. [WriteRealStart] [WriteRLData] "
              "[WriteHead:Y   ]");

    HarHeader bad;
    bad.name = "Z   ";
    bad.HeadType = "2R";
    s = WriteHead(f, bad, false);
    EXPECT_EQ(s.message(), "unknown header type: \"2R\" [WriteHead:Z   ]");
    ASSERT_TRUE(f.close());
}

// Large full arrays are read straight into place when their blocks lie as
// the writer lays them out; these cases check that every layout, the
// writer's or not, gives the array the record-by-record reading gives.
namespace inplace {

// The writer cuts blocks of 10 columns of 700 rows (7,000 reals).  An
// array of 400 columns (40 blocks, 1.1 MB) is checked for non-finite reals
// on the reader's thread; one of 6,000 columns (600 blocks, 16.8 MB) on a
// thread of its own, while the reader reads on in batches of about 150
// blocks that shrink towards the end.
constexpr std::int32_t kRows = 700;

struct Size {
    const char* what;
    std::int32_t cols;
    std::int32_t late;  // a block (0-based) of a later batch
};
constexpr Size kSmall{"1.1 MB", 400, 25}, kLarge{"16.8 MB", 6000, 400};

// A distinct value per cell, exact as a float (below 2^23, in halves).
float cell(std::int64_t r, std::int64_t c) {
    return static_cast<float>(static_cast<double>(r) * 0.5 + static_cast<double>(c) * 1000.0 + 1.0);
}

struct Columns {
    std::int32_t from, to;
};

std::vector<Columns> writersBlocks(std::int32_t cols) {
    std::vector<Columns> b;
    for (std::int32_t c = 1; c <= cols; c += 10) b.push_back({c, c + 9});
    return b;
}

// Writes an "RL" header of kRows x cols whose blocks are the given column
// stretches (all rows each), with its own record numbers counting down.
void writeColumnBlocks(const std::string& file, RecordFlavour fl, std::int32_t cols,
                       const std::vector<Columns>& blocks,
                       const std::function<float(std::int64_t, std::int64_t)>& value = cell) {
    RawHar w(file, fl);
    w.name("BIGA");
    w.desc("RL", "FULL", "large array", {7, kRows, cols, 1, 1, 1, 1, 1});
    const auto n = static_cast<std::int32_t>(blocks.size());
    w.srec(ints({2 * n + 1, 7, kRows, cols, 1, 1, 1, 1, 1}));
    std::int32_t krec = 2 * n;
    std::vector<float> v;
    for (const Columns& b : blocks) {
        w.range(krec--, {1, kRows, b.from, b.to});
        v.clear();
        for (std::int64_t c = b.from; c <= b.to; ++c)
            for (std::int64_t r = 1; r <= kRows; ++r) v.push_back(value(r, c));
        w.values(krec--, v);
    }
    w.close();
}

// The first cell that differs from `expected`, or "" when all agree.
std::string firstDifference(const HarHeader& h, std::int32_t cols,
                            const std::function<float(std::int64_t, std::int64_t)>& expected) {
    if (h.HeadMat.dims()[0] != kRows || h.HeadMat.dims()[1] != cols) return "wrong dimensions";
    const float* v = h.HeadMat.Root();
    for (std::int64_t c = 1; c <= cols; ++c)
        for (std::int64_t r = 1; r <= kRows; ++r) {
            const float got = v[(c - 1) * kRows + (r - 1)];
            const float want = expected(r, c);
            if (!(got == want)) {
                std::ostringstream out;
                out << std::setprecision(9) << "(" << r << "," << c << "): " << got << " instead of " << want;
                return out.str();
            }
        }
    return "";
}

}  // namespace inplace

TEST_F(HarHeaderTest, LargeArraysReadTheSameWhateverTheirBlocks) {
    using namespace inplace;
    for (const Size& size : {kSmall, kLarge}) {
        const std::int32_t n = size.cols / 10, late = size.late;
        const std::int32_t lateCol = 10 * late + 1;  // the first column of block `late`
        // The layouts that leave the writer's part way keep its blocks, so
        // that the blocks before agree with it to the byte, record numbers
        // included, and are read into place first.
        std::vector<Columns> split = writersBlocks(size.cols);  // block `late` in two, the last two in one
        split[late] = {lateCol, lateCol + 4};
        split.insert(split.begin() + late + 1, Columns{lateCol + 5, lateCol + 9});
        split.pop_back();
        split.back() = {size.cols - 19, size.cols};
        std::vector<Columns> swapped = writersBlocks(size.cols);  // two blocks in the other order
        std::swap(swapped[late - 5], swapped[late - 4]);
        std::vector<Columns> halfLeftOut = writersBlocks(size.cols);  // 5 columns never written
        halfLeftOut[late] = {lateCol, lateCol + 4};
        auto halfLeftOutValue = [=](std::int64_t r, std::int64_t c) {
            return c >= lateCol + 5 && c <= lateCol + 9 ? 0.0f : cell(r, c);
        };
        std::vector<Columns> narrow;  // another writer's blocks of 7 columns
        for (std::int32_t c = 1; c <= size.cols; c += 7) narrow.push_back({c, std::min(c + 6, size.cols)});
        std::vector<Columns> leftOut = writersBlocks(size.cols);  // block `late` never written
        leftOut.erase(leftOut.begin() + late);
        auto leftOutValue = [=](std::int64_t r, std::int64_t c) {
            return c >= lateCol && c <= lateCol + 9 ? 0.0f : cell(r, c);
        };
        std::vector<Columns> tailLeftOut =
            writersBlocks(size.cols);  // the one before last, among short batches
        tailLeftOut.erase(tailLeftOut.end() - 2);
        auto tailLeftOutValue = [=](std::int64_t r, std::int64_t c) {
            return c > size.cols - 20 && c <= size.cols - 10 ? 0.0f : cell(r, c);
        };

        struct Case {
            const char* what;
            std::vector<Columns> blocks;
            std::function<float(std::int64_t, std::int64_t)> expected;
        } cases[] = {
            {"the writer's blocks", writersBlocks(size.cols), cell},
            {"a block split in two", split, cell},
            {"two blocks swapped", swapped, cell},
            // What was read ahead into the place of columns never written is
            // cleared again.
            {"half a block left out", halfLeftOut, halfLeftOutValue},
            {"narrower blocks", narrow, cell},
            {"a block left out", leftOut, leftOutValue},
            {"a block near the end left out", tailLeftOut, tailLeftOutValue},
        };
        ASSERT_EQ(static_cast<std::int32_t>(writersBlocks(size.cols).size()), n);
        for (RecordFlavour fl : {RecordFlavour::Fujitsu, RecordFlavour::Lahey}) {
            for (const Case& c : cases) {
                SCOPED_TRACE(std::string(size.what) + ", " + c.what +
                             (fl == RecordFlavour::Lahey ? " (Lahey)" : " (Fujitsu)"));
                const std::string file = path("big.har");
                writeColumnBlocks(file, fl, size.cols, c.blocks);
                auto back = readFirst(file);
                ASSERT_TRUE(back) << back.message();
                EXPECT_EQ(firstDifference(**back, size.cols, c.expected), "");
                EXPECT_EQ((*back)->replacedCount, 0);
            }
        }
    }
}

TEST_F(HarHeaderTest, LargeArraysReplaceNonFiniteRealsAndRefuseDamage) {
    using namespace inplace;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const Size& size : {kSmall, kLarge}) {
        SCOPED_TRACE(size.what);
        const std::int32_t lateCol = 10 * size.late + 1;
        // Non-finite reals in the first block, in a later batch, in the
        // block before last and in the last cell.
        auto withBad = [&](std::int64_t r, std::int64_t c) {
            if (r == 5 && c == 3) return nan;
            if (r == 1 && c == lateCol + 4) return -inf;
            if (r == 350 && c == size.cols - 15) return -nan;
            if (r == kRows && c == size.cols) return inf;
            return cell(r, c);
        };
        auto replaced = [&](std::int64_t r, std::int64_t c) {
            const float v = withBad(r, c);
            return std::isfinite(v) ? v : kReplacedReal;
        };
        const std::string file = path("big.har");
        writeColumnBlocks(file, RecordFlavour::Fujitsu, size.cols, writersBlocks(size.cols), withBad);
        {
            auto back = readFirst(file);
            ASSERT_TRUE(back) << back.message();
            EXPECT_EQ(firstDifference(**back, size.cols, replaced), "");
            EXPECT_EQ((*back)->replacedCount, 4);
        }
        {
            // Held to one processor, the reader checks on its own thread.
            cpu_set_t all, one;
            ASSERT_EQ(::sched_getaffinity(0, sizeof all, &all), 0);
            CPU_ZERO(&one);
            CPU_SET(::sched_getcpu(), &one);
            ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
            auto back = readFirst(file);
            ASSERT_EQ(::sched_setaffinity(0, sizeof all, &all), 0);
            ASSERT_TRUE(back) << back.message();
            EXPECT_EQ(firstDifference(**back, size.cols, replaced), "");
            EXPECT_EQ((*back)->replacedCount, 4);
        }

        std::string bytes = vdln::testing::readFile(file);
        // The range record of the block after the late one is found by its
        // numbers; the value record of the late block ends just before its
        // framing.
        const std::int32_t n = size.cols / 10;
        const std::string rangeNext =
            le32(2 * n - 2 * (size.late + 1)) + ints({1, kRows, lateCol + 10, lateCol + 19});
        const std::size_t at = bytes.find(rangeNext);
        ASSERT_NE(at, std::string::npos);
        {
            std::string damaged = bytes;
            damaged[at - 4 - 4 - 4] ^= 1;  // the trailing marker of the late block's values
            vdln::testing::writeFile(file, damaged);
            auto back = readFirst(file);
            ASSERT_FALSE(back);
            EXPECT_NE(back.message().find("Bad RecLenCheck value"), std::string::npos) << back.message();
            EXPECT_NE(back.message().find("[GetRLData]"), std::string::npos) << back.message();
        }
        {
            vdln::testing::writeFile(file, bytes.substr(0, at - 1000));  // cut inside the late block
            auto back = readFirst(file);
            ASSERT_FALSE(back);
            EXPECT_NE(back.message().find("end-of-file"), std::string::npos) << back.message();
        }
    }
}

TEST_F(HarHeaderTest, LargeArraysOfSeveralDimensionsRoundTrip) {
    // 300 x 40 x 30: 23 columns of 300 per block, two blocks per index of
    // the third dimension.
    const Dims7 dims{300, 40, 30, 1, 1, 1, 1};
    for (RecordFlavour fl : {RecordFlavour::Fujitsu, RecordFlavour::Lahey}) {
        SCOPED_TRACE(fl == RecordFlavour::Lahey ? "Lahey" : "Fujitsu");
        auto h = unlabelled(dims, 3);
        float* v = h->HeadMat.Root();
        for (std::int64_t i = 0; i < h->HeadMat.size(); ++i) v[i] = static_cast<float>(i % 9973) - 17.25f;
        const std::string file = path("big3.har");
        writeOne(file, *h, false, fl);
        auto back = readFirst(file);
        ASSERT_TRUE(back) << back.message();
        constexpr std::int64_t kSize = std::int64_t{300} * 40 * 30;
        ASSERT_EQ((*back)->HeadMat.size(), kSize);
        const float* w = (*back)->HeadMat.Root();
        std::int64_t wrong = 0;
        for (std::int64_t i = 0; i < kSize; ++i)
            if (w[i] != static_cast<float>(i % 9973) - 17.25f) ++wrong;
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
}  // namespace vdln
