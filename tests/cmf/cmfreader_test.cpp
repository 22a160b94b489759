#include "cmf/cmfreader.h"

#include <gtest/gtest.h>

#include "doubles/scripteddialogs.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::writeFile;

std::vector<std::string> tokensOf(std::vector<std::string> lines) {
    TOpenCMFFile cmf;
    cmf.OpenCMFLines(std::move(lines));
    std::vector<std::string> out;
    while (cmf.NextToken()) out.push_back(cmf.Token);
    return out;
}

TEST(CmfTokenizer, WordsAndTokens) {
    int next = 0, start = 0;
    EXPECT_EQ(cmfWord(" \tabc=d ef", 1, next, &start), "abc=d");
    EXPECT_EQ(start, 3);
    EXPECT_EQ(next, 8);
    EXPECT_EQ(cmfWord("abc", 4, next), "");
    EXPECT_EQ(next, 4);
    EXPECT_EQ(cmfWord("abc", 99, next), "");  // beyond the line
    EXPECT_EQ(next, 4);
    EXPECT_EQ(cmfWord("", -5, next), "");
    EXPECT_EQ(next, 1);

    struct Case {
        std::string line;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"shock x(\"MAN\") = 10 ;", {"shock", "x", "(", "\"MAN\"", ")", "=", "10", ";"}},
        {"file BASEDATA=\"a b/c d.har\";", {"file", "BASEDATA", "=", "\"a b/c d.har\"", ";"}},
        {"exo a;b", {"exo", "a", ";", "b"}},
        {"x = \"unterminated to end", {"x", "=", "\"unterminated to end"}},
        {"\"", {"\""}},
        {"a\tb  \t", {"a", "b"}},
        {"((;;))", {"(", "(", ";", ";", ")", ")"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(tokensOf({c.line}), c.tokens);
    }
}

TEST(CmfTokenizer, CommentsAndLabels) {
    struct Case {
        std::string raw;
        std::string line;
    };
    const Case cases[] = {
        {"swap a = b ; ! exchange them", "swap a = b ; "},
        {"a!!b", "ab"},
        {"a!!b!c", "ab"},
        {"a!!!b", "a!b"},  // the character after a pair is not a comment start
        {"!!! whole", "! whole"},
        {"#label# exo x ;", " exo x ;"},
        {"exo #one# x #two# y", "exo  x  y"},
        {"exo x # open label", "exo x "},
        {"! comment only", ""},
        {"exo x ! #a# remark", "exo x "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(removeCmfComments(c.raw), c.line);
    }
    EXPECT_EQ(cmfCommentStart("a!!b!c"), 4u);
    EXPECT_EQ(cmfCommentStart("a!!!b"), 5u);
    EXPECT_EQ(cmfCommentStart("no comment"), 10u);
}

TEST(CmfReader, StatementsAcrossLinesAndCounters) {
    TOpenCMFFile cmf;
    cmf.OpenCMFLines({"! header", "exogenous x", "   l t ;  rest", "endogenous ; ;", "shock x = 1"});
    EXPECT_EQ(cmf.Token, ";");
    EXPECT_EQ(cmf.ListIndex, -1);
    ASSERT_TRUE(cmf.NextStatement());
    EXPECT_EQ(cmf.Keyword, "exogenous");
    EXPECT_EQ(cmf.LineCount, 2);
    ASSERT_TRUE(cmf.NextToken());
    EXPECT_EQ(cmf.Token, "x");
    EXPECT_EQ(cmf.PrevToken, "exogenous");
    ASSERT_TRUE(cmf.NextStatement());
    EXPECT_EQ(cmf.Keyword, "rest");
    EXPECT_EQ(cmf.LineCount, 3);
    EXPECT_EQ(cmf.TokenStart, 11);
    ASSERT_TRUE(cmf.NextStatement());  // the empty statement is skipped
    EXPECT_EQ(cmf.Keyword, "shock");
    EXPECT_FALSE(cmf.NextStatement());  // no ";" before the end

    ASSERT_TRUE(cmf.Rewind());
    CmfStatement st;
    std::vector<std::vector<std::string>> all;
    std::vector<bool> terminated;
    while (cmf.ReadStatement(st)) {
        all.push_back(st.tokens);
        terminated.push_back(st.terminated);
    }
    EXPECT_EQ(all, (std::vector<std::vector<std::string>>{
                       {"exogenous", "x", "l", "t"}, {"rest", "endogenous"}, {"shock", "x", "=", "1"}}));
    EXPECT_EQ(terminated, (std::vector<bool>{true, true, false}));
}

TEST(CmfReader, NormaliseKeyword) {
    struct Case {
        const char* word;
        const char* keyword;
    };
    const Case cases[] = {
        {"Exo", "exogenous"},
        {"modi", "modify"},
        {"mod", "mod"},
        {"SHOCK", "shock"},
        {"ashock", "ashock"},
        {"fil", "file"},
        {"files", "file"},
        {"xfile", "xfile"},
        {"final", "final_level"},
        {"ts", "tshock"},
        {"tf", "tfinal_level"},
        {"ach", "achange"},
        {"tc", "tchange"},
        {"ap", "apercent_change"},
        {"tp", "tpercent_change"},
        {"usE", "use"},
        {"env", "environment"},
        {"lu", "lu"},
        {"endo", "endogenous"},
        {"rest", "rest"},
        {"ta", "take"},
        {"chan", "change"},
        {"perc", "percent_change"},
        {"swap", "swap"},
        {"e", "e"},
        {"", ""},
        {"t", "t"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(NormaliseKeyword(c.word), c.keyword);
    }
}

TEST(CmfReader, FileTable) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::vector<TFileXFileGroup> groups;
    };
    auto g = [](char k, std::string l, std::string a, std::string s) {
        return TFileXFileGroup{k, std::move(l), std::move(a), std::move(s)};
    };
    const Case cases[] = {
        {"xfile new then file",
         {"xfile (new) work ;", "file work = work.har ;"},
         {g('b', "work", "work.har", "new")}},
        {"file then xfile old",
         {"File WORK = \"my work.har\";", "xfile work;"},
         {g('b', "WORK", "my work.har", "old")}},
        {"xfile with quoted name", {"xfile (new,old) w2 \"w 2.har\" ;"}, {g('b', "w2", "w 2.har", "old")}},
        {"list option order", {"xfile (old, new) w3 ;"}, {g('x', "w3", "", "new")}},
        {"unknown option", {"xfile (temp) w4 ;"}, {g('x', "w4", "", "old")}},
        {"file only",
         {"file basedata = b.har ; file params = p.har;"},
         {g('f', "basedata", "b.har", ""), g('f', "params", "p.har", "")}},
        {"file statement cut short", {"file a ;", "file b = ;", "file"}, {}},
        {"xfile cut short", {"xfile ( new", ";", "xfile ;"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TOpenCMFFile cmf;
        cmf.OpenCMFLines(c.lines);
        ASSERT_EQ(cmf.Files.Count(), static_cast<int>(c.groups.size()));
        for (size_t i = 0; i < c.groups.size(); ++i) {
            EXPECT_EQ(cmf.Files.Groups[i].Kind, c.groups[i].Kind);
            EXPECT_EQ(cmf.Files.Groups[i].LogicalName, c.groups[i].LogicalName);
            EXPECT_EQ(cmf.Files.Groups[i].ActualName, c.groups[i].ActualName);
            EXPECT_EQ(cmf.Files.Groups[i].Status, c.groups[i].Status);
        }
        // The source is rewound after the table is built.
        EXPECT_EQ(cmf.LineCount, 0);
        EXPECT_EQ(cmf.Token, ";");
    }
}

TEST(CmfReader, FileTableHoldsAtMost200Groups) {
    std::vector<std::string> lines;
    for (int i = 1; i <= 205; ++i) lines.push_back("file f" + std::to_string(i) + " = f.har ;");
    TOpenCMFFile cmf;
    cmf.OpenCMFLines(lines);
    ASSERT_EQ(cmf.Files.Count(), 200);
    EXPECT_EQ(cmf.Files.Groups.back().LogicalName, "f200");
}

TEST(CmfReader, VeryLongLinesAndOddBytes) {
    // One statement on a line of a million characters, then a quoted string
    // that never closes, NUL and other control bytes.
    std::string longLine = "exogenous";
    size_t names = 0;
    while (longLine.size() < 1000000) {
        longLine += " x";
        ++names;
    }
    longLine += " ;";
    TOpenCMFFile cmf;
    cmf.OpenCMFLines({longLine, "shock " + std::string("\0\x01\x7f\xff", 4) + " = \"never closed ;", "file"});
    CmfStatement st;
    ASSERT_TRUE(cmf.ReadStatement(st));
    EXPECT_EQ(st.tokens.size(), 1u + names);
    ASSERT_TRUE(cmf.ReadStatement(st));
    EXPECT_EQ(st.tokens, (std::vector<std::string>{"shock", std::string("\0\x01\x7f\xff", 4), "=",
                                                   "\"never closed ;", "file"}));
    EXPECT_FALSE(st.terminated);  // "file" joins it; the source ends first
    EXPECT_FALSE(cmf.ReadStatement(st));
}

class CmfFilesTest : public testing::TempDirTest {};

TEST_F(CmfFilesTest, OpenFailsForMissingFile) {
    TOpenCMFFile cmf;
    const Status s = cmf.OpenCMF(path("none.cls"));
    ASSERT_FALSE(s);
    EXPECT_NE(s.message().find("Cannot open file " + path("none.cls")), std::string::npos);
    EXPECT_NE(s.message().find("[OpenCMF]"), std::string::npos);
    EXPECT_FALSE(cmf.NextToken());
}

TEST_F(CmfFilesTest, ReadsFileWithCrLfAndRewinds) {
    writeFile(path("a.cls"), "exogenous x ;\r\nrest endogenous ;\r\n");
    TOpenCMFFile cmf;
    ASSERT_TRUE(cmf.OpenCMF(path("a.cls")));
    EXPECT_EQ(cmf.ListIndex, 0);
    ASSERT_TRUE(cmf.NextStatement());
    EXPECT_EQ(cmf.Keyword, "exogenous");
    ASSERT_TRUE(cmf.NextStatement());
    EXPECT_EQ(cmf.Keyword, "rest");
    EXPECT_EQ(cmf.Line, "rest endogenous ;");  // no CR left
    EXPECT_FALSE(cmf.NextStatement());
    ASSERT_TRUE(cmf.Rewind());
    ASSERT_TRUE(cmf.NextStatement());
    EXPECT_EQ(cmf.Keyword, "exogenous");
}

TEST_F(CmfFilesTest, CheckConstituents) {
    writeFile(path("base.en4"), "");
    writeFile(path("old.har"), "");
    writeFile(path("shk.har"), "");
    const std::string cmfName = path("c.cmf");
    writeFile(cmfName,
              "xfile (new) work ; file work = missing.har ;\n"  // new: not checked
              "xfile (old) in1 ; file in1 = old.har ;\n"        // old: checked, exists
              "use environment file base ;\n"                   // base.en4
              "shock x = file shk.har header \"X\" ;\n");
    ScriptedDialogs dlg;
    std::vector<std::string> msgs;
    EXPECT_TRUE(CheckConstituents(cmfName, true, false, dlg, &msgs));
    EXPECT_TRUE(dlg.messages().empty());

    std::vector<std::string> list;
    ASSERT_TRUE(ListConstituents(dir(), "c.cmf", list));
    EXPECT_EQ(list, (std::vector<std::string>{"c.cmf", "old.har", "base.en4", "shk.har"}));
    EXPECT_TRUE(ListConstituents(dir(), "", list));
    EXPECT_EQ(list.size(), 4u);
    EXPECT_FALSE(ListConstituents(dir(), "nothere.cmf", list));

    // A missing file, and a name with folder details when short names are required.
    writeFile(cmfName,
              "modify lu file gone ;\n"
              "take final_level file \"sub/d.har\" ;\n");
    writeFile(path("sub/d.har"), "");
    msgs.clear();
    EXPECT_FALSE(CheckConstituents(cmfName, true, true, dlg, &msgs));
    EXPECT_TRUE(dlg.messages().empty());  // quiet
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0], "The Command file\r\n   " + cmfName +
                           "\r\n includes a \"modify\" statement which refers to file\r\n   " +
                           path("gone.lu4") + "\r\nThis latter file does not exist.");
    EXPECT_EQ(msgs[1], "The Command file\r\n   " + cmfName +
                           "\r\n includes a \"take\" statement which refers to file\r\n   sub/d.har\r\n"
                           "The name of files invoked here must be short file\r\n"
                           "  names (so cannot contain any directory details).\r\n"
                           "[Technically, these names must not contain \"\\\", \".\" or \":\".]");
    // Without the short-name rule the folder name is accepted; messages shown when not quiet.
    msgs.clear();
    EXPECT_FALSE(CheckConstituents(cmfName, false, false, dlg, &msgs));
    EXPECT_EQ(msgs.size(), 1u);
    EXPECT_EQ(dlg.messages(), msgs);

    // With (old) the xfile group is checked.
    writeFile(cmfName, "xfile (old) work ; file work = missing.har ;\n");
    EXPECT_FALSE(CheckConstituents(cmfName, true, true, dlg));
}

TEST_F(CmfFilesTest, CheckControlZ) {
    struct Case {
        const char* name;
        std::string text;
        bool ok;
    };
    const Case cases[] = {
        {"single final code 26", "exo x ;\r\n\x1a", true},
        {"code 26 then blanks", "exo x ;\x1a   \r\n   \r\n", true},
        {"code 26 then text", "exo x ;\x1a y\r\n", false},
        {"code 26 then later line", "exo x ;\r\n\x1a\r\nrest endo ;\r\n", false},
        {"code 26 inside a comment", "exo x ; ! \x1a stray\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(path("z.cls"), c.text);
        TOpenCMFFile cmf;
        ASSERT_TRUE(cmf.OpenCMF(path("z.cls")));
        EXPECT_EQ(cmf.CheckControlZ("in closure file \r\nz.cls").isOk(), c.ok);
    }
    writeFile(path("z.cls"), "exo x ;\r\nab\x1a c\r\n");
    TOpenCMFFile cmf;
    ASSERT_TRUE(cmf.OpenCMF(path("z.cls")));
    EXPECT_EQ(
        cmf.CheckControlZ("in closure file \r\nz.cls").message(),
        "ControlZ found in text in closure file \r\nz.cls\r\nin position 3 in line number 2\r\n"
        "\"ab\x1a c\"\r\n Please remove ControlZ to fix this.\r\n"
        "[Having such a character before the end of the file will\r\n  confuse some compilers and editors.]");
}

TEST_F(CmfFilesTest, KeywordChecks) {
    ScriptedDialogs dlg;
    const std::string f = path("k.cls");
    writeFile(f, "exo x l t ;\nswap a = b ; ! remark\nrest endo ;\nxfile (new) w ;\n");
    EXPECT_TRUE(CheckClosureFile(f, false, false, dlg));
    writeFile(f, "exo x ;\nmod y ;\n");
    Status s = CheckClosureFile(f, false, false, dlg);
    EXPECT_EQ(s.message(),
              "Key word \"mod\" must not be in closure file\r\n" + f + "\r\nPlease change this file.");
    ASSERT_EQ(dlg.records().size(), 1u);
    EXPECT_EQ(dlg.records()[0].kind, MsgKind::Error);
    EXPECT_TRUE(dlg.records()[0].buttons & BtnHelp);

    writeFile(f, "save environment file x ;\n");
    EXPECT_FALSE(CheckClosureFile(f, false, true, dlg));
    EXPECT_TRUE(CheckClosureFile(f, true, true, dlg));

    writeFile(f, "shock x = 1 ;\nashock t(\"MAN\") = 10 ;\n");
    EXPECT_TRUE(CheckShockFile(f, true, true, dlg));
    EXPECT_EQ(CheckShockFile(f, false, true, dlg).message(),
              "Key word \"ashock\" must not be in shocks file\r\n" + f + "\r\nPlease change this file.");

    writeFile(f, "file x = y ;\nmethod = gragg ;\nEndo x ;\n");
    EXPECT_EQ(
        CheckCMFStartFile(f, true, dlg).message(),
        "Key word \"endogenous\" must not be in CMFSTART file\r\n  " + f + "\r\nPlease change this file.");

    // A Control-Z failure ends the check with its own message only.
    writeFile(f, "exo x ;\x1a mod\n");
    dlg.clear();
    s = CheckClosureFile(f, false, false, dlg);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message().rfind("ControlZ found in text in closure file \r\n" + f, 0), 0u);
    EXPECT_EQ(dlg.messages().size(), 1u);

    // A missing file passes; a malformed list is an internal error.
    EXPECT_TRUE(CheckClosureFile(path("none.cls"), false, false, dlg));
    EXPECT_EQ(CheckKeyWords(f, "@exo@", "", "closure file", "", "", true, dlg).message(),
              internalErrorText("Interntal error - AllowedKeyWords not ok"));
    EXPECT_EQ(CheckKeyWords(f, "", "@exo@", "closure file", "", "", true, dlg).message(),
              internalErrorText("Interntal error - NotAllowedKeyWords not ok"));
}

}  // namespace
}  // namespace vdln
