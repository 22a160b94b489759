#include "formats/modelinfo.h"

#include <gtest/gtest.h>

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/strutil.h"
#include "doubles/scripteddialogs.h"
#include "formats/harfile.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

std::string pad(const std::string& s, size_t n) {
    return s + std::string(n > s.size() ? n - s.size() : 0, ' ');
}

std::string setLine(const std::string& name, int size, char status, const std::string& desc) {
    return "      " + pad(name, 12) + " " + std::to_string(size) + "  " + status + " " + desc;
}
std::string varLine(const std::string& name, long size, int nargs, char stat, const std::string& desc) {
    return "      " + pad(name, 15) + " " + std::to_string(size) + " " + std::to_string(nargs) + " " + stat +
           " " + desc;
}
std::string coefLine(const std::string& name, int nargs, char type, const std::string& desc) {
    return "      " + pad(name, 12) + " " + std::to_string(nargs) + " " + type + " a b " + desc;
}
std::string equLine(const std::string& name, long size, int nargs, const std::string& desc) {
    return "      " + pad(name, 20) + " " + std::to_string(size) + " " + std::to_string(nargs) + " " + desc;
}
std::string levLine(const std::string& type, const std::string& var, const std::string& coef) {
    return " " + type + " x " + pad(var, 15) + " " + pad(coef, 16);
}
/// A "#FILES" line: type in 23-25, updated flag in 30, direction in 33-35.
std::string fileLine(const std::string& name, const std::string& type, char upd, const std::string& dir,
                     const std::string& rest = "") {
    return pad(name, 20) + "  " + pad(type, 3) + "    " + upd + "  " + pad(dir, 3) + "  " + rest;
}
std::string join(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}
std::string repeat(char c, int n) {
    return std::string(static_cast<size_t>(n), c);
}

/// A complete, consistent Model Information file.
std::vector<std::string> goodFile() {
    return {
        "#FILES",
        "Logical name         Typ    Upd  Dir  Actual",
        fileLine("BASEDATA", "har", 'y', "in"),
        "Base data for the year",
        fileLine("SUMMARY", "txt", 'n', "out"),
        "  A short summary  ",
        fileLine("(solution)", "sl4", 'y', "out"),
        "#TABFILE",
        "growth.tab",
        "#TMDATE",
        "Created 09-DEC-2026 10:11:12 stamp 123456789",
        "#STIFILE",
        "%none",
        "#SVVER",
        "80000",
        "#PRVER",
        "79000",
        "#SETS",
        "3",
        setLine("IND", 3, 'k', "Industries"),
        "AGR",
        "MAN",
        " SER ",
        setLine("LONGSETNAME1", 2, 'u', ""),
        setLine("UNK", -1, 'u', "size unknown"),
        "#VARIABLES",
        "4",
        varLine("X", 3, 1, 'X', "output"),
        "1",
        varLine("k", 3, 1, 'x', "capital"),
        "1",
        "2",
        pad("1", 10) + pad("1", 10),
        pad("3", 10) + pad("3", 10),
        "0",
        varLine("scal", 1, 0, 'N', "a scalar"),
        varLine("big", 9, 2, 'B', "over IND and UNK"),
        "1 3",
        "#VCSTAT",
        "bCcb",
        "#VCTP",
        "pcnp",
        "#VBDSC",
        "2",
        "first description",
        "second description",
        "#COEFFICIENTS",
        "3",
        coefLine("CAPS", 1, 'r', "capital stock"),
        "1",
        coefLine("MAP", 1, 'i', "a mapping"),
        "1 m 4 7",
        coefLine("ALPH", 0, 'r', "share"),
        "#EQUATIONS",
        "1",
        equLine("E_x", 3, 1, "output equation"),
        "1",
        "#NCVARIABLES",
        "1",
        varLine("nc1", 1, 0, 'N', "not in condensed system"),
        "#FINAL_LEVEL",
        levLine("lv", "k", "CAPS"),
        levLine("pc", "X", ""),
    };
}

MinItemSet allItems() {
    MinItemSet s;
    for (int k : {MinFiles, MinSets, MinVariables, MinVcStat, MinVcTp, MinCoefficients, MinEquations,
                  MinNcVariables, MinVbDsc, MinFinalLevel})
        s.set(static_cast<size_t>(k));
    return s;
}

class ModelInfoTest : public testing::TempDirTest {
protected:
    std::string write(const std::vector<std::string>& lines, const std::string& name = "m.min") {
        testing::writeFile(path(name), join(lines));
        return path(name);
    }
    Status read(const std::vector<std::string>& lines, SolInfoRec& rec, MinItemSet req = allItems(),
                bool developer = false) {
        return RequestSolInfo(write(lines), req, true, true, rec, developer);
    }
};

TEST_F(ModelInfoTest, ReadsEveryImplementedSection) {
    SolInfoRec rec;
    Status s = read(goodFile(), rec);
    ASSERT_TRUE(s) << s.message();

    EXPECT_EQ(rec.tabFile, "growth.tab");
    EXPECT_EQ(rec.tmDate, "Created 09-DEC-2026 10:11:12 stamp 123456789");
    EXPECT_EQ(rec.stiFile, "%none");
    EXPECT_EQ(rec.svVer, 80000);
    EXPECT_EQ(rec.prVer, 79000);

    ASSERT_EQ(rec.files.size(), 3u);
    EXPECT_EQ(rec.files[0].name, "BASEDATA");
    EXPECT_EQ(rec.files[0].fileType, "har");
    EXPECT_EQ(rec.files[0].direction, "in");
    EXPECT_TRUE(rec.files[0].updated);
    EXPECT_EQ(rec.files[0].line2, "Base data for the year");
    EXPECT_EQ(rec.files[1].line2, "A short summary");
    EXPECT_FALSE(rec.files[1].updated);
    EXPECT_EQ(rec.files[2].name, "(solution)");
    EXPECT_EQ(rec.files[2].line2, "");

    ASSERT_EQ(rec.sets.size(), 3u);
    EXPECT_TRUE(rec.sets[0].ElmsKnown);
    EXPECT_EQ(rec.sets[0].SetElms, (std::vector<std::string>{"AGR", "MAN", "SER"}));
    EXPECT_EQ(rec.sets[0].size, 3);
    EXPECT_FALSE(rec.sets[1].ElmsKnown);
    EXPECT_EQ(rec.sets[1].SetElms, (std::vector<std::string>{"LONGSETNA1", "LONGSETNA2"}));
    EXPECT_EQ(rec.sets[1].description, "LONGSETNAME1");  // empty description takes the name
    EXPECT_EQ(rec.sets[2].size, -1);
    EXPECT_FALSE(rec.sets[2].SetElms.has_value());

    EXPECT_EQ(rec.numOrdinaryVars, 4);
    ASSERT_EQ(rec.vars.size(), 5u);
    const TVarRec& x = rec.vars[0];
    EXPECT_EQ(x.name, "x");
    EXPECT_EQ(x.upperName, "X");
    EXPECT_EQ(x.argNames, "IND");
    EXPECT_EQ(x.numExog, 3);
    EXPECT_EQ(x.exoFlags, (std::vector<bool>{true, true, true}));
    const TVarRec& k = rec.vars[1];
    EXPECT_EQ(k.numExog, 2);
    EXPECT_EQ(k.exoFlags, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(rec.vars[2].exoFlags, (std::vector<bool>{false}));
    EXPECT_EQ(rec.vars[3].size, -1);  // one argument set of unknown size
    EXPECT_EQ(rec.vars[3].argNames, "IND*UNK");
    EXPECT_TRUE(rec.vars[3].exoFlags.empty());
    std::string vc, tp;
    for (int v = 0; v < 4; ++v) {
        vc += rec.vars[static_cast<size_t>(v)].vcStat;
        tp += rec.vars[static_cast<size_t>(v)].vcTp;
    }
    EXPECT_EQ(vc, "bccb");
    EXPECT_EQ(tp, "pccp");
    EXPECT_TRUE(rec.vars[4].fromNC);
    EXPECT_EQ(rec.vars[4].vcStat, 'N');  // taken from its status character

    EXPECT_EQ(rec.findVariable("K"), 2);
    EXPECT_EQ(rec.findVariable("nc1"), 5);
    EXPECT_EQ(rec.findVariable("nothere"), 0);

    EXPECT_EQ(rec.descLines, (TDesclines{"first description", "second description"}));

    ASSERT_EQ(rec.coeffs.size(), 3u);
    EXPECT_EQ(rec.coeffs[1].mapChar, 'm');
    EXPECT_EQ(rec.coeffs[1].map1, 4);
    EXPECT_EQ(rec.coeffs[1].map2, 7);
    EXPECT_EQ(rec.coeffs[2].numArgs, 0);
    EXPECT_EQ(rec.findCoefficient("alph"), 3);

    ASSERT_EQ(rec.equs.size(), 1u);
    EXPECT_EQ(rec.equs[0].name, "e_x");
    EXPECT_EQ(rec.equs[0].upperName, "E_X");
    EXPECT_EQ(rec.equs[0].argNames, "IND");

    EXPECT_EQ(rec.numLevAssoc, 1);
    EXPECT_EQ(k.levType, "lv");
    EXPECT_EQ(k.levCoefNo, 1);
    EXPECT_EQ(rec.coeffs[0].levVarNo, 2);
    EXPECT_EQ(x.levType, "pc");
    EXPECT_EQ(x.levCoefNo, 0);

    for (int item :
         {MinFiles, MinTabFile, MinTmDate, MinStiFile, MinSets, MinVariables, MinVcStat, MinVcTp,
          MinCoefficients, MinEquations, MinNcVariables, MinVbDsc, MinSvVer, MinPrVer, MinFinalLevel})
        EXPECT_TRUE(rec.itemsRead.test(static_cast<size_t>(item))) << minItemKeyword(item);
}

TEST_F(ModelInfoTest, UnrequestedSectionsAreSkippedButSingleValuesAlwaysRead) {
    SolInfoRec rec;
    MinItemSet req;
    req.set(MinSets);
    ASSERT_TRUE(read(goodFile(), rec, req));
    EXPECT_EQ(rec.sets.size(), 3u);
    EXPECT_TRUE(rec.vars.empty());
    EXPECT_TRUE(rec.files.empty());
    EXPECT_EQ(rec.svVer, 80000);
    EXPECT_EQ(rec.tabFile, "growth.tab");

    // In developer mode "#FILES" is read even when not asked for.
    ASSERT_TRUE(read(goodFile(), rec, req, true));
    EXPECT_EQ(rec.files.size(), 3u);
}

TEST_F(ModelInfoTest, NamesKeepTheirCaseWhenNotLowered) {
    SolInfoRec rec;
    ASSERT_TRUE(RequestSolInfo(write(goodFile()), allItems(), false, false, rec, false));
    EXPECT_EQ(rec.vars[0].name, "X");
    EXPECT_EQ(rec.findVariable("X"), 1);
    EXPECT_EQ(rec.findVariable("x"), 0);
    EXPECT_TRUE(rec.vars[0].exoFlags.empty());  // not asked for
}

TEST_F(ModelInfoTest, RequestReleasesThePreviousContents) {
    SolInfoRec rec;
    ASSERT_TRUE(read(goodFile(), rec));
    MinItemSet req;
    req.set(MinSets);
    ASSERT_TRUE(read(goodFile(), rec, req));
    EXPECT_TRUE(rec.vars.empty());
    EXPECT_EQ(rec.varIndex.size(), 0u);
    EXPECT_EQ(rec.sets.size(), 3u);  // not doubled
}

std::vector<std::string> vcstatFile(int nvars, const std::vector<int>& lineLengths) {
    std::vector<std::string> l = {"#SETS", "0", "#VARIABLES", std::to_string(nvars)};
    for (int v = 1; v <= nvars; ++v) l.push_back(varLine("v" + std::to_string(v), 1, 0, 'N', ""));
    l.push_back("#VCSTAT");
    for (int n : lineLengths) l.push_back(repeat('c', n));
    return l;
}

TEST_F(ModelInfoTest, VcstatSpreadOverSeveralLines) {
    SolInfoRec rec;
    MinItemSet req;
    req.set(MinSets).set(MinVariables).set(MinVcStat);
    Status ok = read(vcstatFile(83, {40, 40, 3}), rec, req);
    ASSERT_TRUE(ok) << ok.message();
    EXPECT_EQ(rec.vars[82].vcStat, 'c');

    const std::string tail =
        "[ReadVCSTAT][GetModelInfo][AddSolInfo:" + path("m.min") + "][RequestSolInfo:" + path("m.min") + "]";
    Status bad = read(vcstatFile(83, {40, 39}), rec, req);
    EXPECT_EQ(bad.message(), "Expected 83 chars in #VCSTAT data\r\nfound only 79 chars" + tail);
    Status eof = read(vcstatFile(83, {40, 40}), rec, req);
    EXPECT_EQ(eof.message(), "Unexpected end of file" + tail);
    Status more = read(vcstatFile(3, {5}), rec, req);
    EXPECT_FALSE(more);
}

TEST_F(ModelInfoTest, DuplicateNamesAfterLowering) {
    SolInfoRec rec;
    std::vector<std::string> f = {
        "#SETS", "0", "#VARIABLES", "2", varLine("A", 1, 0, 'N', ""), varLine("a", 1, 0, 'N', "")};
    Status s = read(f, rec);
    EXPECT_EQ(s.message(), "Duplicate name: \"a\"[ReadVarDetails][ReadVarInfo][GetModelInfo][AddSolInfo:" +
                               path("m.min") + "][RequestSolInfo:" + path("m.min") + "]");
    // Without lower-casing the two names differ.
    EXPECT_TRUE(RequestSolInfo(write(f), allItems(), false, false, rec, false));
}

TEST_F(ModelInfoTest, UnimplementedRequestFailsBeforeReading) {
    SolInfoRec rec;
    MinItemSet req;
    req.set(MinSubsets);
    // The file's sections are broken, but the request is refused first.
    Status s = read({"#SETS", "not a number"}, rec, req);
    EXPECT_EQ(s.message().rfind("Requested UnImplemented Data Item #SUBSETS[GetModelInfo][AddSolInfo:", 0),
              0u)
        << s.message();
}

/// Broken files, each with the start of the expected message.
TEST_F(ModelInfoTest, BrokenSectionsGiveTheirMessages) {
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::string message;  // the text before "[GetModelInfo]"
    };
    const std::string sets1 = "#SETS";
    const std::vector<Case> cases = {
        {"set count", {"#SETS", "x"}, "cannot read NSlvSet [ReadSetInfo]"},
        {"too many sets", {"#SETS", "1001"}, "Too many sets - max is 1000 [ReadSetInfo]"},
        {"short set line", {"#SETS", "1", "      IND"}, "cannot read Set data line [ReadSetInfo]"},
        {"missing element",
         {"#SETS", "1", setLine("IND", 2, 'k', ""), "AGR"},
         "cannot read Set data line [ReadSetInfo]"},
        {"sets twice", {"#SETS", "1", setLine("S", 1, 'u', ""), "#SETS", "0"}, "SetData<>nil [ReadSetInfo]"},
        {"variables before sets", {"#VARIABLES", "0"}, "Data Item #SETS is not read"},
        {"vcstat before variables", {"#SETS", "0", "#VCSTAT", "c"}, "Data Item #VARIABLES is not read"},
        {"var count", {"#SETS", "0", "#VARIABLES", "?"}, "cannot read NSlvVar[ReadVarInfo]"},
        {"too many vars", {"#SETS", "0", "#VARIABLES", "19884108"}, "Too many variables[ReadVarInfo]"},
        {"blank var name",
         {"#SETS", "0", "#VARIABLES", "1", varLine("", 1, 0, 'N', "")},
         "Variable name is blank[ReadVarDetails][ReadVarInfo]"},
        {"dum1",
         {"#SETS", "0", "#VARIABLES", "1", "      " + pad("v", 15) + " 1 0xN"},
         "Dum1 should be blank[ReadVarDetails][ReadVarInfo]"},
        {"short var line",
         {"#SETS", "0", "#VARIABLES", "1", "      " + pad("v", 15) + " 1 0"},
         "read error[ReadVarDetails][ReadVarInfo]"},
        {"exostat",
         {"#SETS", "0", "#VARIABLES", "1", varLine("v", 1, 0, 'q', "")},
         "For variable v ExoStat was \"q\"; should be X, N, B, ?, s, o or x. [ReadVarDetails][ReadVarInfo]"},
        {"no set list",
         {"#SETS", "0", "#VARIABLES", "1", varLine("v", 3, 1, 'N', ""), "1"},
         "SetData=nil[ReadVarDetails][ReadVarInfo]"},
        {"missing set",
         {"#SETS", "1", setLine("S", 1, 'u', ""), "#VARIABLES", "1", varLine("v", 3, 1, 'N', ""), "2"},
         "SetPtr=nil[ReadVarDetails][ReadVarInfo]"},
        {"set number out of range",
         {"#SETS", "1", setLine("S", 1, 'u', ""), "#VARIABLES", "1", varLine("v", 3, 1, 'N', ""), "1001"},
         "Set number 1001 out of range 1..1000[ReadVarDetails][ReadVarInfo]"},
        {"range reversed",
         {"#SETS", "1", setLine("S", 3, 'u', ""), "#VARIABLES", "1", varLine("v", 3, 1, 'x', ""), "1", "1",
          pad("3", 10) + pad("2", 10), "0"},
         "1st exog component > 2nd for var v[ReadVarDetails][ReadVarInfo]"},
        {"range miscount",
         {"#SETS", "1", setLine("S", 3, 'u', ""), "#VARIABLES", "1", varLine("v", 3, 1, 'x', ""), "1", "2",
          pad("2", 10) + pad("2", 10), "0"},
         "NExog Miscount for var v[ReadVarDetails][ReadVarInfo]"},
        {"range outside variable",
         {"#SETS", "1", setLine("S", 3, 'u', ""), "#VARIABLES", "1", varLine("v", 3, 1, 'x', ""), "1", "2",
          pad("3", 10) + pad("4", 10), "0"},
         "Exog component range 3-4 outside 1..3 for var v[ReadVarDetails][ReadVarInfo]"},
        {"range not integers",
         {"#SETS", "1", setLine("S", 3, 'u', ""), "#VARIABLES", "1", varLine("v", 3, 1, 'x', ""), "1", "1",
          pad("1", 10) + "one"},
         "2I read error[ReadVarDetails][ReadVarInfo]"},
        {"range line short",
         {"#SETS", "1", setLine("S", 3, 'u', ""), "#VARIABLES", "1", varLine("v", 3, 1, 'x', ""), "1", "1",
          "1"},
         "2I read error[ReadVarDetails][ReadVarInfo]"},
        {"vcstat char",
         {"#SETS", "0", "#VARIABLES", "1", varLine("v", 1, 0, 'N', ""), "#VCSTAT", "z"},
         "Unexpected char \"z\"in #VCSTAT data[ReadVCSTAT]"},
        {"vctp char",
         {"#SETS", "0", "#VARIABLES", "1", varLine("v", 1, 0, 'N', ""), "#VCTP", "P"},
         "Unexpected char \"P\"in #VCTP data[ReadVCTP]"},
        {"vctp short",
         {"#SETS", "0", "#VARIABLES", "2", varLine("v", 1, 0, 'N', ""), varLine("w", 1, 0, 'N', ""), "#VCTP",
          "p"},
         "Expected 2 chars in #VCTP data\r\nfound only 1 chars[ReadVCTP]"},
        {"desc count", {"#VBDSC", "x"}, "cannot read NDescLine[ReadDescNLinesUnKnown]"},
        {"desc negative", {"#VBDSC", "-1"}, "NumToRead<0[ReadDescNLinesUnKnown]"},
        {"desc eof", {"#VBDSC", "2", "one"}, "Unexpected end of file[ReadDescNLinesUnKnown]"},
        {"equ count", {"#SETS", "0", "#EQUATIONS", "26843546"}, "Too many Equations[ReadEquInfo]"},
        {"equ line",
         {"#SETS", "0", "#EQUATIONS", "1", "      E1"},
         "cannot read equation data line[ReadEquDetails][ReadEquInfo]"},
        {"coef count", {"#SETS", "0", "#COEFFICIENTS", "5001"}, "Too many Coefficients[ReadCoeffInfo]"},
        {"coef count text", {"#SETS", "0", "#COEFFICIENTS", "many"}, "cannot read NSlvCoeff[ReadCoeffInfo]"},
        {"coef blanks",
         {"#SETS", "0", "#COEFFICIENTS", "1", "      " + pad("C", 12) + " 0 rxa b d"},
         "Unexpected characters: should be blank[ReadCoeffDetails][ReadCoeffInfo]"},
        {"coef type",
         {"#SETS", "0", "#COEFFICIENTS", "1", coefLine("C", 0, 'q', "")},
         "Unexpected CSTP \"q\" (expect i/r)[ReadCoeffDetails][ReadCoeffInfo]"},
        {"map blank",
         {"#SETS", "1", setLine("S", 1, 'u', ""), "#COEFFICIENTS", "1", coefLine("C", 1, 'i', ""), "1xc"},
         "Unexpected character: should be blank[ReadCoeffDetails][ReadCoeffInfo]"},
        {"map char",
         {"#SETS", "1", setLine("S", 1, 'u', ""), "#COEFFICIENTS", "1", coefLine("C", 1, 'i', ""), "1 z"},
         "Unexpected MapChar \"z\" (expect c/m)[ReadCoeffDetails][ReadCoeffInfo]"},
        {"map ints",
         {"#SETS", "1", setLine("S", 1, 'u', ""), "#COEFFICIENTS", "1", coefLine("C", 1, 'i', ""), "1 m 4"},
         "read error[ReadCoeffDetails][ReadCoeffInfo]"},
        {"nc count",
         {"#SETS", "0", "#VARIABLES", "0", "#NCVARIABLES", "-1"},
         "NewNVar < 0[ExpandVarInfo][ReadNCVarInfo]"},
        {"nc before variables", {"#SETS", "0", "#NCVARIABLES", "1"}, "Data Item #VARIABLES is not read"},
        {"svver", {"#SVVER", "eighty"}, "Could not read SVVER field."},
        {"prver", {"#PRVER"}, "Could not read PRVER field."},
        {"tmdate", {"#TMDATE"}, "Could not read TMDATE field."},
        {"stifile", {"#STIFILE"}, "Could not read STIFILE field."},
        {"tabfile", {"#TABFILE"}, "Could not read TABFILE field."},
        {"short file line",
         {"#FILES", "header", "SHORT   in"},
         "Line too short for a logical file: \"SHORT   in\"[ReadFileInfo]"},
        {"final level before coefficients",
         {"#SETS", "0", "#VARIABLES", "0", "#FINAL_LEVEL"},
         "Data Item #COEFFICIENTS is not read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SolInfoRec rec;
        TxtFile f;
        std::string p = write(c.lines);
        ASSERT_TRUE(TxtOpen(f, p));
        Status s = GetModelInfo(f, allItems(), true, true, rec, false);
        (void)TxtClose(f);
        EXPECT_EQ(s.message(), c.message + "[GetModelInfo]");
    }
}

TEST_F(ModelInfoTest, DamagedFilesFailCleanly) {
    // Every file made by dropping one line, or by cutting every line short,
    // is either read or refused with a message that carries the whole chain.
    const std::vector<std::string> good = goodFile();
    const std::string tail = "[RequestSolInfo:" + path("m.min") + "]";
    for (size_t drop = 0; drop < good.size(); ++drop) {
        SCOPED_TRACE("without line " + std::to_string(drop + 1));
        std::vector<std::string> f = good;
        f.erase(f.begin() + static_cast<std::ptrdiff_t>(drop));
        SolInfoRec rec;
        Status s = read(f, rec);
        if (!s) {
            EXPECT_EQ(s.message().substr(s.message().size() - tail.size()), tail);
        }
    }
    for (size_t cut : {1u, 5u, 12u, 20u, 26u}) {
        SCOPED_TRACE("lines cut to " + std::to_string(cut));
        std::vector<std::string> f = good;
        for (auto& l : f)
            if (l[0] != '#') l = l.substr(0, cut);
        SolInfoRec rec;
        Status s = read(f, rec);
        EXPECT_FALSE(s);
        EXPECT_EQ(s.message().substr(s.message().size() - tail.size()), tail);
    }
}

TEST_F(ModelInfoTest, TooManyFiles) {
    std::vector<std::string> l = {"#FILES", "header"};
    for (int k = 1; k <= 51; ++k) {
        l.push_back(fileLine("F" + std::to_string(k), "har", 'n', "in"));
        l.push_back("description");
    }
    SolInfoRec rec;
    MinItemSet req;
    req.set(MinFiles);
    Status s = read(l, rec, req);
    EXPECT_EQ(s.message().rfind("Too many files[ReadFileInfo][GetModelInfo]", 0), 0u) << s.message();
    l.resize(l.size() - 2);
    EXPECT_TRUE(read(l, rec, req));
    EXPECT_EQ(rec.files.size(), 50u);
}

TEST_F(ModelInfoTest, FinalLevelFailureIsFatalOnlyInDeveloperMode) {
    std::vector<std::string> f = goodFile();
    f.push_back(levLine("lv", "nosuch", "CAPS"));
    SolInfoRec rec;
    ASSERT_TRUE(read(f, rec));
    EXPECT_FALSE(rec.itemsRead.test(MinFinalLevel));
    EXPECT_TRUE(rec.itemsRead.test(MinVariables));

    Status dev = read(f, rec, allItems(), true);
    EXPECT_EQ(dev.message().rfind(
                  "Could not find variable \"nosuch\" in FinalLevelInfo entry 3 [ReadFinalLevelInfo]"
                  "[GetModelInfo]",
                  0),
              0u)
        << dev.message();

    std::vector<std::string> g = goodFile();
    g.back() = levLine("lv", "X", "NOCOEF");
    dev = read(g, rec, allItems(), true);
    EXPECT_EQ(dev.message().rfind("Could not find associated levels coefficient \"NOCOEF\" for variable \"X\""
                                  " [ReadFinalLevelInfo]",
                                  0),
              0u)
        << dev.message();

    g.back() = " lvx x " + pad("X", 15);
    dev = read(g, rec, allItems(), true);
    EXPECT_EQ(dev.message().rfind("Dums should be blank [ReadFinalLevelInfo]", 0), 0u) << dev.message();
}

TEST_F(ModelInfoTest, FileLinesInEitherColumnOrder) {
    struct Case {
        std::string line;
        std::string type, dir;
        bool updated;
        std::string rest;
    };
    const std::vector<Case> cases = {
        {fileLine("BASEDATA", "har", 'y', "in"), "har", "in", true, ""},
        {fileLine("BASEDATA", "in", 'Y', "HAR"), "har", "in", true, ""},
        {fileLine("SUMMARY", "OUT", 'n', "txt", "fixed.txt"), "txt", "out", false, "fixed.txt"},
        {pad("(terminal)", 20) + "  in ", "", "in", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto r = parseMinFileLine(c.line);
        ASSERT_TRUE(r) << r.message();
        EXPECT_EQ(r->fileType, c.type);
        EXPECT_EQ(r->direction, c.dir);
        EXPECT_EQ(r->updated, c.updated);
        EXPECT_EQ(r->rest, c.rest);
    }
    EXPECT_FALSE(parseMinFileLine("NAME"));
}

TEST_F(ModelInfoTest, TextTimeStamps) {
    std::string withStamp =
        write({"#FILES", "x", "#TMDATE", "  stamp of forty characters then more text here  "}, "a.min");
    auto r = GetTimeDateStamp("text", withStamp, "#TMDATE");
    ASSERT_TRUE(r) << r.message();
    EXPECT_TRUE(r->found);
    EXPECT_EQ(r->stamp, "  stamp of forty characters then more te");

    std::string blanks = write({"#TMDATE", "short stamp      "}, "b.min");
    r = GetTimeDateStamp("text", blanks, "#TMDATE");
    EXPECT_EQ(r->stamp, "short stamp");

    std::string none = write({"#FILES", "x"}, "c.min");
    r = GetTimeDateStamp("text", none, "#TMDATE");
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->found);
    EXPECT_EQ(r->stamp, "?");

    EXPECT_EQ(GetTimeDateStamp("words", none, "#TMDATE").message(), "Unexpected file type[GetTimeDateStamp]");
    auto missing = GetTimeDateStamp("text", path("nothere.min"), "#TMDATE");
    EXPECT_EQ(missing.message(), "Cannot open file " + path("nothere.min") + "[TxtOpen][GetTimeDateStamp]");
}

/// A header array file with one "1C" header of the given strings.
void writeStampFile(const std::string& p, const std::string& name, const std::vector<std::string>& strings,
                    std::int64_t length) {
    auto file = NewHarFile("test", "", false, false);
    ASSERT_TRUE(file) << file.message();
    PHarHeader h;
    ASSERT_TRUE(
        Create1C(h, name, "Time and date stamp", length, static_cast<std::int64_t>(strings.size()), strings));
    ASSERT_TRUE(AddHeaderNil(file.value(), h));
    Status s = WriteHarFile(p, "test", "now", file.value());
    ASSERT_TRUE(s) << s.message();
}

TEST_F(ModelInfoTest, HeaderTimeStamps) {
    writeStampFile(path("good.axt"), "DTXT", {pad("GROWTH 09-DEC-2026", 40)}, 40);
    writeStampFile(path("short.axt"), "DTXT", {"GROWTH 09-DEC-2026"}, 30);
    writeStampFile(path("two.axt"), "DTXT", {pad("A", 40), pad("B", 40)}, 40);
    testing::writeFile(path("text.axt"), "not a header array file");
    struct Case {
        std::string file, kind, key;
        bool found;
        std::string stamp;
    };
    const std::vector<Case> cases = {
        {"good.axt", "binary", "DTXT", true, "GROWTH 09-DEC-2026"},
        {"good.axt", "header", "dtxt", true, "GROWTH 09-DEC-2026"},
        {"good.axt", "binary", "XXXX", false, "?"},
        {"short.axt", "binary", "DTXT", false, "?"},
        {"two.axt", "binary", "DTXT", false, "?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " " + c.kind + " " + c.key);
        auto r = GetTimeDateStamp(c.kind, path(c.file), c.key);
        ASSERT_TRUE(r) << r.message();
        EXPECT_EQ(r->found, c.found);
        EXPECT_EQ(r->stamp, c.stamp);
    }
    auto bad = GetTimeDateStamp("binary", path("text.axt"), "DTXT");
    EXPECT_FALSE(bad);
    EXPECT_EQ(bad.message().substr(bad.message().size() - 18), "[GetTimeDateStamp]");
}

TEST_F(ModelInfoTest, MinAndAxtStampsCompared) {
    const std::string stamp = "GROWTH 09-DEC-2026 10:11:12";
    writeStampFile(path("m.axt"), "DTXT", {pad(stamp, 40)}, 40);
    std::string same = write({"#TMDATE", stamp + "   "}, "same.min");
    std::string other = write({"#TMDATE", "GROWTH 01-JAN-2020"}, "other.min");
    std::string none = write({"#FILES"}, "none.min");

    ScriptedDialogs dlg;
    auto r = MinAxtCompatible(same, path("m.axt"), false, dlg);
    ASSERT_TRUE(r);
    EXPECT_TRUE(*r);
    EXPECT_TRUE(dlg.messages().empty());

    r = MinAxtCompatible(other, path("m.axt"), false, dlg);
    ASSERT_TRUE(r);
    EXPECT_FALSE(*r);
    EXPECT_EQ(dlg.lastMessage(), "Model Information File " + toUpper(other) +
                                     " was not created at the same time as the Auxiliary Table File " +
                                     toUpper(path("m.axt")));
    EXPECT_TRUE(dlg.records().back().buttons & BtnHelp);

    dlg.clear();
    r = MinAxtCompatible(none, path("m.axt"), true, dlg);  // no "#TMDATE": not the same
    ASSERT_TRUE(r);
    EXPECT_FALSE(*r);
    EXPECT_TRUE(dlg.messages().empty());

    r = MinAxtCompatible(same, path("missing.axt"), false, dlg);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.message().substr(r.message().size() - 36), "[GetTimeDateStamp][MinAxtCompatible]");
}

TEST_F(ModelInfoTest, FileIdentityIsTheDosTimeOfTheFile) {
    EXPECT_EQ(fileIdentity(path("none.min")), 0u);
    std::string p = write({"#FILES"});
    ASSERT_TRUE(setFileWriteTime(p, fileTimeFromUnix(1700000000, 0)));
    std::uint32_t id = fileIdentity(p);
    EXPECT_EQ(id, dosDateTimeOfFileTime(fileTimeFromUnix(1700000000, 0)));
    EXPECT_EQ(id >> 25, 2023u - 1980u);  // the year field of the packed date
}

}  // namespace
}  // namespace vdln
