#include "formats/recordfile.h"

#include <gtest/gtest.h>

#include "formats/recbytes.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::fujiBytes;
using testing::laheyBytes;

class RecordFileTest : public vdln::testing::TempDirTest {};

TEST(LaheyMarker, SizeSwitchesAtTheEncodingLimits) {
    struct Case {
        std::int64_t value;
        std::size_t bytes;
    } cases[] = {{0, 1}, {63, 1}, {64, 2}, {16383, 2}, {16384, 3}, {4194303, 3}, {4194304, 4}, {8000006, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        auto m = laheyMarker(c.value);
        ASSERT_EQ(m.size(), c.bytes);
        // Decode by the published rule.
        std::int64_t v = m[0] / 4;
        std::int64_t scale = 64;
        for (std::size_t k = 1; k < m.size(); ++k, scale *= 256) v += m[k] * scale;
        EXPECT_EQ(v, c.value);
        EXPECT_EQ(m[0] % 4, static_cast<int>(c.bytes) - 1);
    }
}

TEST_F(RecordFileTest, WrittenRecordsHaveTheDocumentedBytes) {
    struct Case {
        RecordFlavour flavour;
        std::size_t length;
        std::string head, tail;  // framing bytes before/after the data (after the lead byte)
    } cases[] = {
        {RecordFlavour::Lahey, 4, "\x10", "\x14"},
        {RecordFlavour::Fujitsu, 4, std::string("\x04\0\0\0", 4), std::string("\x04\0\0\0", 4)},
        {RecordFlavour::Lahey, 100, "\x91\x01", "\x01\x99"},
        // M follows the leading marker: 62 bytes -> M 63 (1 byte), 63 -> M 64 (2 bytes).
        {RecordFlavour::Lahey, 62, "\xF8", "\xFC"},
        {RecordFlavour::Lahey, 63, "\xFC", "\x01\x01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string name = path("r.bin");
        LaheyFile f;
        ASSERT_TRUE(CreateLaheyFile(f, name, c.flavour));
        std::string data(c.length, 'a');
        ASSERT_TRUE(WriteLaheyRec(f, data.data(), static_cast<std::int64_t>(data.size())));
        ASSERT_TRUE(f.close());
        std::string expected = (c.flavour == RecordFlavour::Lahey ? std::string("\xFD") : std::string()) +
                               c.head + data + c.tail;
        EXPECT_EQ(vdln::testing::readFile(name), expected);
    }
}

TEST_F(RecordFileTest, FlavourDetection) {
    const std::string head4 = "ABCD";
    struct Case {
        const char* what;
        std::string bytes;
        bool ok;
        RecordFlavour flavour;
        std::string message;  // after the file name, when failing
    } cases[] = {
        {"lahey", laheyBytes({head4, std::string(70, 'x')}), true, RecordFlavour::Lahey, ""},
        {"fujitsu", fujiBytes({head4, std::string(70, 'x'), "12"}), true, RecordFlavour::Fujitsu, ""},
        {"fewer than five records", fujiBytes({head4}), true, RecordFlavour::Fujitsu, ""},
        {"six records, sixth broken", fujiBytes({head4, "a", "b", "c", "d"}) + "\x09", true,
         RecordFlavour::Fujitsu, ""},
        // Refused as Lahey ("First record not length 4"); the 4-byte attempt
        // then reads 0xFD as part of a huge length, and its message is kept.
        {"lahey first record of 5 bytes", laheyBytes({"ABCDE"}), false, RecordFlavour::Lahey,
         "File record too long [IsWhichLaheyFile]"},
        {"first fujitsu record not 4", fujiBytes({"ABC"}), false, RecordFlavour::Lahey,
         "First record not length 4 [IsWhichLaheyFile]"},
        {"empty", "", false, RecordFlavour::Lahey, "Empty file:NAME [IsWhichLaheyFile]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = path("f.bin");
        vdln::testing::writeFile(name, c.bytes);
        auto r = IsWhichLaheyFile(name);
        if (c.ok) {
            ASSERT_TRUE(r) << r.message();
            EXPECT_EQ(*r, c.flavour);
        } else if (!c.message.empty()) {
            ASSERT_FALSE(r);
            std::string expected = c.message;
            if (auto p = expected.find("NAME"); p != std::string::npos) expected.replace(p, 4, name);
            EXPECT_EQ(r.message(), expected);
        }
    }
    auto missing = IsWhichLaheyFile(path("none.bin"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.message(), "No such file:" + path("none.bin") + " [IsWhichLaheyFile]");
}

TEST_F(RecordFileTest, LeadByteFDWhoseLaheyFramingFailsFallsBackToFourByteFraming) {
    // The Lahey attempt fails (no valid marker after 0xFD), so the 4-byte
    // framing is tried; its first record is then 253 bytes long.
    const std::string name = path("fd.bin");
    vdln::testing::writeFile(name, std::string("\xFD\x00\x00\x00", 4) + "ABCD");
    auto r = IsWhichLaheyFile(name);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.message(), "First record not length 4 [IsWhichLaheyFile]");
    // A Lahey file broken within its first five records: neither framing
    // holds, and the 4-byte attempt's message is the one kept.
    vdln::testing::writeFile(name, laheyBytes({"ABCD"}) + "\x0C" + "ab");
    r = IsWhichLaheyFile(name);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.message(), "File record too long [IsWhichLaheyFile]");
}

TEST_F(RecordFileTest, OpenedFilesAreReadFromTheirStartWhereverTheProbeStopped) {
    // The framing is probed on the file as it is opened, over its first
    // five records.  Records longer than the read-ahead take the probe past
    // it, and the records must still come from the first.
    const std::string a(300000, 'a'), b(400000, 'b');
    struct Case {
        const char* what;
        std::string bytes;
        RecordFlavour flavour;
        std::vector<std::string> records;
    } cases[] = {
        {"lahey, long records",
         laheyBytes({"HEAD", a, b, "X", "YZ", "tail"}),
         RecordFlavour::Lahey,
         {"HEAD", a, b, "X", "YZ", "tail"}},
        {"4-byte, long records",
         fujiBytes({"HEAD", a, b, "X", "YZ", "tail"}),
         RecordFlavour::Fujitsu,
         {"HEAD", a, b, "X", "YZ", "tail"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = path("p.bin");
        vdln::testing::writeFile(name, c.bytes);
        LaheyFile f;
        Status s = OpenLaheyFile(f, name);
        ASSERT_TRUE(s) << s.message();
        EXPECT_EQ(f.flavour(), c.flavour);
        for (const std::string& want : c.records) {
            auto rec = GetLaheyRec(f);
            ASSERT_TRUE(rec) << rec.message();
            EXPECT_EQ(
                std::string(reinterpret_cast<const char*>(rec->data), static_cast<std::size_t>(rec->length)),
                want);
        }
        EXPECT_TRUE(f.atEnd());
    }
}

TEST_F(RecordFileTest, RecordLengthLimit) {
    for (std::int64_t len : {MaxHarBuf, MaxHarBuf + 1}) {
        SCOPED_TRACE(len);
        const std::string name = path("big.bin");
        LaheyFile w;
        ASSERT_TRUE(CreateLaheyFile(w, name, RecordFlavour::Lahey));
        // Detection reads five records; the long one comes after them.
        for (int k = 0; k < 5; ++k) ASSERT_TRUE(WriteLaheyRec(w, "HEAD", 4));
        std::string big(static_cast<std::size_t>(len), 'z');
        ASSERT_TRUE(WriteLaheyRec(w, big.data(), len));
        ASSERT_TRUE(w.close());
        LaheyFile f;
        ASSERT_TRUE(OpenLaheyFile(f, name));
        for (int k = 0; k < 5; ++k) ASSERT_TRUE(GetLaheyRec(f));
        auto rec = GetLaheyRec(f);
        if (len == MaxHarBuf) {
            ASSERT_TRUE(rec) << rec.message();
            EXPECT_EQ(rec->length, len);
            EXPECT_EQ(rec->data[len - 1], 'z');
        } else {
            ASSERT_FALSE(rec);
            EXPECT_EQ(rec.message(), "File record too long [GetLaheyRec]");
        }
    }
}

TEST_F(RecordFileTest, StructuredRecords) {
    for (RecordFlavour fl : {RecordFlavour::Lahey, RecordFlavour::Fujitsu}) {
        SCOPED_TRACE(static_cast<int>(fl));
        const std::string name = path("s.bin");
        LaheyFile w;
        ASSERT_TRUE(CreateLaheyFile(w, name, fl));
        ASSERT_TRUE(WriteLaheyRec(w, "NAME", 4));
        const char struc[8] = {'s', 't', 'r', 'u', 'c', 't', '!', '!'};
        std::int32_t elems[3] = {7, -8, 9};
        ASSERT_TRUE(WriteRecBuf(w, struc, 8, 4, 3, elems));
        ASSERT_TRUE(WriteRecBuf(w, struc, 8, 4, 0, nullptr));  // exactly S + 4 bytes
        ASSERT_TRUE(WriteLaheyRec(w, "abc", 3));
        ASSERT_TRUE(WriteLaheyRec(w, "     ab", 7));
        ASSERT_TRUE(WriteLaheyRec(w, "NAME", 4));
        ASSERT_TRUE(w.close());

        LaheyFile f;
        ASSERT_TRUE(OpenLaheyFile(f, name));
        EXPECT_EQ(f.flavour(), fl);
        ASSERT_TRUE(GetLaheyRec(f));
        auto r = GetRecBuf(f, 8, 4);
        ASSERT_TRUE(r) << r.message();
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(r->struc), 8), "struct!!");
        ASSERT_EQ(r->count, 3);
        EXPECT_EQ(readI32(r->elems + 4), -8);
        r = GetRecBuf(f, 8, 4);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->count, 0);
        r = GetRecBuf(f, 0, 4);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.message(), "Record too Short 3/4 [GetRecBuf]");
        r = GetRecBuf(f, 0, 2);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.message(), "Non-Unit Record Length [GetRecBuf]");
        r = GetRecBuf(f, 0, 0);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.message(), "sizelms=0 [GetRecBuf]");
    }
}

TEST_F(RecordFileTest, HeaderScanSkipsOtherRecordsAndUpperCases) {
    for (RecordFlavour fl : {RecordFlavour::Lahey, RecordFlavour::Fujitsu}) {
        SCOPED_TRACE(static_cast<int>(fl));
        const std::string name = path("h.bin");
        LaheyFile w;
        ASSERT_TRUE(CreateLaheyFile(w, name, fl));
        ASSERT_TRUE(WriteLaheyRec(w, "ab1 ", 4));
        std::string mid(20000, 'q');  // 3-byte Lahey marker
        ASSERT_TRUE(WriteLaheyRec(w, mid.data(), 20000));
        ASSERT_TRUE(WriteLaheyRec(w, "12345", 5));
        ASSERT_TRUE(WriteLaheyRec(w, "xYz_", 4));
        ASSERT_TRUE(WriteLaheyRec(w, "tail record", 11));
        ASSERT_TRUE(w.close());
        LaheyFile f;
        ASSERT_TRUE(OpenLaheyFile(f, name));
        std::vector<std::string> names;
        for (;;) {
            bool found = false;
            std::string n;
            ASSERT_TRUE(GetHead(f, found, n));
            if (!found) break;
            names.push_back(n);
        }
        EXPECT_EQ(names, (std::vector<std::string>{"AB1 ", "XYZ_"}));
    }
}

TEST_F(RecordFileTest, DamagedFramingIsReportedWithTheRoutineChain) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string message;
    } cases[] = {
        // Each damaged record follows five good ones (read by flavour detection).
        {"lahey bad trailing value", std::string("\xFD\x10") + "ABCD" + "\x14" + "\x0C" + "abc" + "\x0C",
         "Bad RecLenCheck value [ChkRecLen] [GetLaheyRec]"},
        {"lahey bad trailing count", std::string("\xFD\x10") + "ABCD" + "\x14" + "\x0C" + "abc" + "\x11",
         "Bad NExtraCheck value [ChkRecLen] [GetLaheyRec]"},
        {"lahey truncated data", std::string("\xFD\x10") + "ABCD" + "\x14" + "\x0C" + "ab",
         "Unexpected end-of-file [FileRead] [GetLaheyRec]"},
        {"fujitsu bad trailing", fujiBytes({"ABCD"}) + std::string("\x03\0\0\0abc\x04\0\0\0", 11),
         "Bad RecLenCheck value [FujiChkRecLen] [GetLaheyRec]"},
        {"fujitsu negative length", fujiBytes({"ABCD"}) + std::string("\xFF\xFF\xFF\xFF", 4),
         "RecLen<0 [FujiGetRecLen] [GetLaheyRec]"},
        {"fujitsu truncated marker", fujiBytes({"ABCD"}) + std::string("\x03\0", 2),
         "Unexpected end-of-file [FileRead] [FujiGetRecLen] [GetLaheyRec]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = path("d.bin");
        const bool lahey = c.bytes[0] == '\xFD';
        const std::string good4 =
            lahey ? laheyBytes({"ABCD", "a", "b", "c", "d"}) : fujiBytes({"ABCD", "a", "b", "c", "d"});
        // Replace the first record of the case by five good records.
        const std::size_t firstLen = lahey ? 7 : 12;
        vdln::testing::writeFile(name, good4 + c.bytes.substr(firstLen));
        LaheyFile f;
        ASSERT_TRUE(OpenLaheyFile(f, name));
        for (int k = 0; k < 5; ++k) ASSERT_TRUE(GetLaheyRec(f));
        auto r = GetLaheyRec(f);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.message(), c.message);
    }
}

TEST_F(RecordFileTest, OpenAndCreateFailures) {
    LaheyFile f;
    Status s = OpenLaheyFile(f, path("missing.har"));
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(), "No such file:" + path("missing.har") + " [IsWhichLaheyFile] [OpenLaheyFile]");
    s = CreateLaheyFile(f, path("no/such/dir/x.har"), RecordFlavour::Lahey);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(), "Can't create file: " + path("no/such/dir/x.har") + " [CreateLaheyFile]");
}

}  // namespace
}  // namespace vdln
