// The line rules of INI text, as the parser, the single-value look-up in the
// text and the line scanner apply them: all three must read a file alike.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/inifile.h"

namespace vdln {
namespace {

// Text that touches every rule: CR LF and LF endings, blanks around names,
// comments with '=', a key before the first header, a header with no name,
// a value holding '=' and trailing blanks, keys and sections written twice
// in other letter cases, and a last line without its line ending.
const char* const kAwkward =
    "top=before any header\r\n"
    "; comment=not a key\n"
    "  # also=not a key\n"
    "[ Options ]\r\n"
    "  VardelVersion  = 330  \r\n"
    "vardelversion=999\n"
    "no equals sign here\n"
    "\n"
    "[]\n"
    "empty name=1\n"
    "[Run]\n"
    "Sim name=BS1=x \n"
    "[OPTIONS]\n"
    "VardelVersion=111\n"
    "Later=only in the second\n"
    "[Last]\n"
    "k=no line end";

TEST(IniFileScan, LinesAreClassifiedAsTheParserReadsThem) {
    using Kind = IniFile::TextLine::Kind;
    std::vector<std::pair<Kind, std::string>> seen;
    IniFile::scanText(kAwkward, [&](const IniFile::TextLine& l) {
        std::string what(l.name);
        if (l.kind == Kind::Key) what += "|" + std::string(l.value);
        if (l.kind == Kind::Other) what = std::string(l.raw);
        seen.emplace_back(l.kind, what);
    });
    const std::vector<std::pair<Kind, std::string>> expected = {
        {Kind::Key, "top|before any header"},
        {Kind::Other, "; comment=not a key"},
        {Kind::Other, "  # also=not a key"},
        {Kind::Header, "Options"},
        {Kind::Key, "VardelVersion| 330  "},
        {Kind::Key, "vardelversion|999"},
        {Kind::Other, "no equals sign here"},
        {Kind::Other, ""},
        {Kind::Header, ""},
        {Kind::Key, "empty name|1"},
        {Kind::Header, "Run"},
        {Kind::Key, "Sim name|BS1=x "},
        {Kind::Header, "OPTIONS"},
        {Kind::Key, "VardelVersion|111"},
        {Kind::Key, "Later|only in the second"},
        {Kind::Header, "Last"},
        {Kind::Key, "k|no line end"},
    };
    EXPECT_EQ(seen, expected);
    // The parsed file writes every line back as it was read.
    EXPECT_EQ(IniFile::parse(kAwkward).text(),
              "top=before any header\r\n; comment=not a key\r\n  # also=not a key\r\n[Options]\r\n"
              "VardelVersion= 330  \r\nvardelversion=999\r\nno equals sign here\r\n\r\n[]\r\n"
              "empty name=1\r\n[Run]\r\nSim name=BS1=x \r\n[OPTIONS]\r\nVardelVersion=111\r\n"
              "Later=only in the second\r\n[Last]\r\nk=no line end\r\n");
}

TEST(IniFileScan, ALookUpInTheTextFindsWhatTheParsedFileGives) {
    const IniFile ini = IniFile::parse(kAwkward);
    const std::vector<std::pair<std::string, std::string>> queries = {
        {"options", "VARDELVERSION"},               // the first key of the first section
        {"Options", "Later"},                       // only in the second section of the name: not read
        {"", "empty name"},           {"", "top"},  // before any header: in no section
        {"RUN", "sim NAME"},          {"Last", "k"}, {"Missing", "k"}, {"Run", "missing"},
        {"Options", "; comment"},
    };
    for (const auto& [section, key] : queries)
        EXPECT_EQ(IniFile::findInText(kAwkward, section, key), ini.get(section, key))
            << section << "/" << key;
    EXPECT_EQ(IniFile::findInText(kAwkward, "Options", "VardelVersion"),
              std::optional<std::string>(" 330  "));
    EXPECT_EQ(IniFile::findInText(kAwkward, "Options", "Later"), std::nullopt);
    EXPECT_EQ(IniFile::findInText("", "Options", "VardelVersion"), std::nullopt);
}

}  // namespace
}  // namespace vdln
