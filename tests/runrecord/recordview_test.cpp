// The read-only view of a record-of-runs file, built from its text or from a
// parsed file: both must answer every look-up as the parsed file does, the
// first section and the first key of a name winning, in short sections
// (searched in order) and long ones (found through their index) alike.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/inifile.h"
#include "runrecord/recordfiles.h"

namespace vdln {
namespace {

// A year section of many stamps with some keys written twice in other
// letter cases, short sections with the same, a section written twice, keys
// before any header and lines that are not keys.
std::string awkwardRecord() {
    std::string t = "orphan=before any header\n[Options]\nVardelVersion=330\n";
    t += "[2001i]\n";
    for (int k = 1; k <= 40; ++k) t += "File" + std::to_string(k) + "=stamp " + std::to_string(k) + "\r\n";
    t += "FILE7=second of file7\nfile40=second of file40\n; file1=a comment\n";
    t += "[ Run ]\nSim name=BS1\nsim NAME=again\n\n";
    t += "[run]\nSim name=from the second Run\nOnly here=x\n";
    t += "[2001I]\nFile1=from the second 2001i\n";
    t += "[Empty]\n[empty]\nk=in the second Empty\n";
    return t;
}

TEST(RunRecordView, TextAndParsedFileGiveTheAnswersOfTheParsedFile) {
    const std::string text = awkwardRecord();
    const IniFile ini = IniFile::parse(text);
    const RunRecordView fromText = RunRecordView::fromText(text);
    const RunRecordView fromIni = RunRecordView::fromIni(ini);
    std::vector<std::pair<std::string, std::string>> queries = {
        {"options", "vardelversion"},
        {"RUN", "SIM NAME"},
        {"run", "Only here"},
        {"2001I", "file7"},
        {"2001i", "FILE40"},
        {"2001i", "file1"},
        {"2001i", "nothing"},
        {"", "orphan"},
        {"Missing", "k"},
        {"EMPTY", "k"},
        {"2001i", "; file1"},
    };
    for (int k = 1; k <= 41; ++k) queries.emplace_back("2001i", "file" + std::to_string(k));
    for (const auto& [section, key] : queries) {
        const auto expected = ini.get(section, key);
        for (const RunRecordView* v : {&fromText, &fromIni}) {
            const std::string_view* got = v->find(section, key);
            ASSERT_EQ(got != nullptr, expected.has_value()) << section << "/" << key;
            if (got) {
                EXPECT_EQ(*got, *expected) << section << "/" << key;
            }
        }
    }
    EXPECT_EQ(fromText.get("2001i", "File7"), "stamp 7");
    EXPECT_EQ(fromText.get("2001i", "file40"), "stamp 40");
    EXPECT_EQ(fromText.get("Run", "Sim name"), "BS1");
    EXPECT_FALSE(fromText.has("Run", "Only here"));
    EXPECT_TRUE(fromText.hasSection("empty"));
    EXPECT_FALSE(fromText.has("Empty", "k"));

    // A section's entries: every key once, the first spelling and value,
    // in file order.
    for (const RunRecordView* v : {&fromText, &fromIni}) {
        const auto& year = v->entries("2001I");
        ASSERT_EQ(year.size(), 40u);
        for (int k = 1; k <= 40; ++k) {
            EXPECT_EQ(year[k - 1].first, "File" + std::to_string(k));
            EXPECT_EQ(year[k - 1].second, "stamp " + std::to_string(k));
        }
        EXPECT_EQ(v->entries("run"), (std::vector<RunRecordView::Entry>{{"Sim name", "BS1"}}));
        EXPECT_TRUE(v->entries("Empty").empty());
        EXPECT_TRUE(v->present());
    }
}

TEST(RunRecordView, CopiesAndMovesOutliveTheViewTheyCameFrom) {
    // Names and values are views into text the view holds: a copy or a
    // moved-to view must still read them when the first one is gone, for a
    // short text kept inside its string as for a long one.
    for (const std::string& text : {std::string("[a]\nb=c"), awkwardRecord()}) {
        RunRecordView copy, moved;
        {
            IniFile ini = IniFile::parse(text);
            RunRecordView first = RunRecordView::fromText(text);
            RunRecordView second = RunRecordView::fromIni(ini);
            copy = first;
            moved = std::move(second);
        }
        for (const RunRecordView* v : {&copy, &moved}) {
            if (text.size() < 10) {
                EXPECT_EQ(v->get("A", "B"), "c");
                ASSERT_EQ(v->entries("a").size(), 1u);
                EXPECT_EQ(v->entries("a")[0].first, "b");
            } else {
                EXPECT_EQ(v->get("2001i", "File7"), "stamp 7");
                EXPECT_EQ(v->get("Run", "Sim name"), "BS1");
                EXPECT_TRUE(v->hasSection("Options"));
            }
        }
    }
}

}  // namespace
}  // namespace vdln
