#include "formats/hartool.h"

#include <gtest/gtest.h>

#include <sstream>

#include "formats/harfile.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class HarToolTest : public vdln::testing::TempDirTest {
protected:
    struct Run {
        int status;
        std::string out, err;
    };
    Run run(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        int st = runHarTool(args, out, err);
        return {st, out.str(), err.str()};
    }
    // A file with one header of every kind the writer produces.
    std::string makeSample(RecordFlavour fl) {
        auto f = NewHarFile("sample", "then", false, false).value();
        f.flavour = fl;
        auto add = [&](Result<PHarHeader> h) {
            ASSERT_TRUE(h) << h.message();
            ASSERT_TRUE(addHeader(f, std::move(*h)));
        };
        add(makeREHeader("CAPS", "Capital stock", {{"IND", {"AGR", "MAN", "SER"}}}, {400, 900, 1200}));
        add(makeREHeader("TRAD", "Trade",
                         {{"REG", {"N", "S"}}, {"REG", {"N", "S"}}, {"COM", {"food", "mfg"}}},
                         {1, 2, 3, 4, 5, 6, 7, 8}));
        add(makeStringHeader("TXT", "text", {"alpha", "beta, gamma"}));
        PHarHeader big;
        EXPECT_TRUE(CreateUnLabelledRE(big, "BIG", "", true, {9000, 2, 1, 1, 1, 1, 1}, 2));
        for (std::int64_t i = 0; i < big->HeadMat.size(); ++i)
            big->HeadMat.Root()[i] = (i % 3 == 0) ? 0.0f : static_cast<float>(i) / 7;
        EXPECT_TRUE(AddHeaderNil(f, big));
        PHarHeader im = std::make_unique<HarHeader>();
        im->name = "IMAT";
        im->HeadType = "2I";
        im->rows = 2;
        im->cols = 3;
        EXPECT_TRUE(AllocArr(im->intMatrix, 2, 3, 4));
        for (int r = 1; r <= 2; ++r)
            for (int c = 1; c <= 3; ++c) im->intMatrix->i32(r, c) = 10 * r + c;
        EXPECT_TRUE(AddHeaderNil(f, im));
        PHarHeader elt;
        auto one = makeREHeader("ONEM", "one element", {{"IND", {"AGR", "MAN"}}, {"COM", {"mfg"}}}, {1, 2});
        EXPECT_TRUE(one);
        // The second dimension is the single element "mfg" of COM.
        (*one)->re.RDelst[1] = 'e';
        (*one)->re.numbers[1] = 2;
        (*one)->re.eltNames[0] = "mfg";
        (*one)->re.NEltrd = 1;
        (*one)->dimLabels[1] = "mfg";
        add(std::move(one));
        const std::string file = path(fl == RecordFlavour::Lahey ? "sample_l.har" : "sample_f.har");
        Status s = WriteHarFile(file, "sample", "then", f);
        EXPECT_TRUE(s) << s.message();
        return file;
    }
};

void expectSameHeaders(const HarFile& a, const HarFile& b) {
    ASSERT_EQ(a.count(), b.count());
    for (std::int64_t i = 0; i < a.count(); ++i) {
        const HarHeader& x = *a.headers[static_cast<std::size_t>(i)];
        const HarHeader* y = b.find(x.name);
        SCOPED_TRACE(x.name);
        ASSERT_TRUE(y);
        EXPECT_EQ(x.HeadType, y->HeadType);
        EXPECT_EQ(x.description, y->description);
        EXPECT_EQ(x.dimsText, y->dimsText);
        EXPECT_EQ(x.realValues(), y->realValues());
        EXPECT_EQ(x.strings, y->strings);
        for (int k = 1; k <= 7; ++k) {
            EXPECT_EQ(x.setName(k), y->setName(k));
            EXPECT_EQ(x.elementNames(k), y->elementNames(k));
        }
        EXPECT_EQ(x.re.RDelst, y->re.RDelst);
        EXPECT_EQ(x.re.coefName, y->re.coefName);
        if (x.intMatrix) {
            ASSERT_TRUE(y->intMatrix);
            for (std::int64_t r = 1; r <= x.rows; ++r)
                for (std::int64_t c = 1; c <= x.cols; ++c)
                    EXPECT_EQ(x.intMatrix->i32(r, c), y->intMatrix->i32(r, c));
        }
    }
    EXPECT_EQ(a.history->strings, b.history->strings);
}

TEST_F(HarToolTest, CopyPreservesEverythingInBothFlavours) {
    for (RecordFlavour from : {RecordFlavour::Lahey, RecordFlavour::Fujitsu}) {
        const std::string in = makeSample(from);
        auto original = ReadHarFile(in);
        ASSERT_TRUE(original) << original.message();
        struct Case {
            std::vector<std::string> options;
            RecordFlavour flavour;
        } cases[] = {{{}, from},
                     {{"--lahey"}, RecordFlavour::Lahey},
                     {{"--fujitsu", "--sort"}, RecordFlavour::Fujitsu}};
        for (const auto& c : cases) {
            SCOPED_TRACE(static_cast<int>(from) * 10 + static_cast<int>(c.flavour));
            std::vector<std::string> args{"copy", in, path("out.har")};
            args.insert(args.end(), c.options.begin(), c.options.end());
            Run r = run(args);
            ASSERT_EQ(r.status, 0) << r.err;
            auto copied = ReadHarFile(path("out.har"));
            ASSERT_TRUE(copied) << copied.message();
            EXPECT_EQ(copied->flavour, c.flavour);
            expectSameHeaders(*original, *copied);
            // And copying the copy changes nothing more.
            ASSERT_EQ(run({"copy", path("out.har"), path("out2.har")}).status, 0);
            auto again = ReadHarFile(path("out2.har"));
            ASSERT_TRUE(again);
            expectSameHeaders(*copied, *again);
        }
    }
}

TEST_F(HarToolTest, ListAndDump) {
    const std::string file = makeSample(RecordFlavour::Lahey);
    Run l = run({"list", file});
    ASSERT_EQ(l.status, 0) << l.err;
    std::istringstream lines(l.out);
    std::string first, line;
    std::getline(lines, first);
    EXPECT_EQ(first, "Lahey");
    std::vector<std::string> all;
    while (std::getline(lines, line)) all.push_back(line);
    ASSERT_EQ(all.size(), 3u + 6u);
    EXPECT_EQ(all[0].substr(0, 4), "XXCD");
    EXPECT_EQ(all[3], "CAPS  RE  FULL  IND                   Capital stock");
    EXPECT_EQ(all[5], "TXT   1C  FULL  2 length 11           text");
    EXPECT_EQ(all[6].substr(0, 16), "BIG   RE  FULL  ");

    struct Case {
        std::string header, csv;
    } cases[] = {
        {"caps", "AGR,400\nMAN,900\nSER,1200\n"},
        {"TXT", "alpha\nbeta, gamma\n"},
        {"IMAT", "11,12,13\n21,22,23\n"},
        {"ONEM", "AGR,mfg,1\nMAN,mfg,2\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        Run d = run({"dump", file, c.header});
        ASSERT_EQ(d.status, 0) << d.err;
        EXPECT_EQ(d.out, c.csv);
    }
    Run t = run({"dump", file, "TRAD"});
    EXPECT_EQ(t.out.substr(0, 26), "N,N,food,1\nS,N,food,2\nN,S,");
    Run big = run({"dump", file, "BIG"});
    EXPECT_EQ(big.out.substr(0, 24), "1,1,0\n2,1,0.142857149\n3,");
}

TEST_F(HarToolTest, CsvOfHeadersAndSlices) {
    const std::string file = makeSample(RecordFlavour::Fujitsu);
    // TRAD is REG*REG*COM (2 x 2 x 2) holding 1..8 in file order.
    auto trad = [](int r1, int r2, int c) {
        return std::to_string(1 + (r1 - 1) + 2 * (r2 - 1) + 4 * (c - 1));
    };
    struct Case {
        std::vector<std::string> args;
        std::string csv;
    } cases[] = {
        {{"caps"}, "IND,CAPS\nAGR,400\nMAN,900\nSER,1200\n"},
        {{"IMAT"}, ",1,2,3\n1,11,12,13\n2,21,22,23\n"},
        {{"IMAT", "--tsv"}, "\t1\t2\t3\n1\t11\t12\t13\n2\t21\t22\t23\n"},
        {{"TXT"}, ",TXT\n1,alpha\n2,\"beta, gamma\"\n"},  // strings labelled by their number
        // More than two dimensions without a slice: one line per value.
        {{"TRAD"},
         "REG,REG,COM,value\nN,N,food," + trad(1, 1, 1) + "\nS,N,food," + trad(2, 1, 1) + "\nN,S,food," +
             trad(1, 2, 1) + "\nS,S,food," + trad(2, 2, 1) + "\nN,N,mfg," + trad(1, 1, 2) + "\nS,N,mfg," +
             trad(2, 1, 2) + "\nN,S,mfg," + trad(1, 2, 2) + "\nS,S,mfg," + trad(2, 2, 2) + "\n"},
        // Commodities down, the second REG across, the first REG at S.
        {{"TRAD", "--slice", "COM,2,1=S"},
         "COM,N,S\nfood," + trad(2, 1, 1) + "," + trad(2, 2, 1) + "\nmfg," + trad(2, 1, 2) + "," +
             trad(2, 2, 2) + "\n"},
        {{"TRAD", "--slice=1,2,com=MFG"},
         "REG,N,S\nN," + trad(1, 1, 2) + "," + trad(1, 2, 2) + "\nS," + trad(2, 1, 2) + "," + trad(2, 2, 2) +
             "\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"csv", file};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(args[2] + " " + (args.size() > 3 ? args[3] : ""));
        Run r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.csv);
    }
    Run bad = run({"csv", file, "TRAD", "--slice", "REG"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "Bad --slice REG: Set REG names more than one dimension: use its number\n");
    Run none = run({"csv", file, "NONE"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "Header NONE not found on file " + file + "\n");
    Run help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("SLICE is a comma-separated list"), std::string::npos);
}

TEST_F(HarToolTest, ListShowsDamageButKeepsWhatCanBeRead) {
    const std::string file = makeSample(RecordFlavour::Fujitsu);
    std::string bytes = vdln::testing::readFile(file);
    // Cut in the middle of the last header's records.
    vdln::testing::writeFile(path("cut.har"), bytes.substr(0, bytes.size() - 7));
    Run r = run({"list", path("cut.har")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unexpected end-of-file [FileRead] [SkipHead] [ReadHarIndex]\n");
    EXPECT_NE(r.out.find("CAPS  RE  FULL  IND                   Capital stock\n"), std::string::npos)
        << r.out;
}

TEST_F(HarToolTest, FailuresGoToStandardErrorWithTheMessageChain) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{}, 2, ""},
        {{"list"}, 2, ""},
        {{"copy", "a", "b", "--bogus"}, 2, "unknown option --bogus\n"},
        {{"list", "NOFILE"}, 1, "No such file:NOFILE [IsWhichLaheyFile] [OpenLaheyFile] [ReadHarIndex]\n"},
        {{"dump", "NOFILE", "X"},
         1,
         "No such file:NOFILE [IsWhichLaheyFile] [OpenLaheyFile] [ReadHeaderFromHarFile:X]\n"},
    };
    for (auto c : cases) {
        for (auto& a : c.args)
            if (a == "NOFILE") a = path("missing.har");
        std::string expected = c.err;
        if (auto p = expected.find("NOFILE"); p != std::string::npos)
            expected.replace(p, 6, path("missing.har"));
        Run r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        if (c.status == 2) {
            EXPECT_NE(r.err.find("usage: vdlnhar"), std::string::npos);
        }
        if (!expected.empty()) {
            EXPECT_EQ(r.err.substr(0, expected.size()), expected);
        }
        EXPECT_EQ(r.out, "");
    }
    const std::string file = makeSample(RecordFlavour::Fujitsu);
    Run r = run({"dump", file, "NONE"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Header NONE not found on file " + file + "\n");
}

}  // namespace
}  // namespace vdln
