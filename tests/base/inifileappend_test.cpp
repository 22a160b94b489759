// Adding keys to the end of a section without looking for existing ones.
#include <gtest/gtest.h>

#include "base/inifile.h"

namespace vdln {
namespace {

TEST(IniFileAppend, AddsKeysWhereSetWould) {
    struct Case {
        const char* what;
        const char* before;
        const char* section;
        bool clearFirst;
        std::vector<std::pair<std::string, std::string>> keys;
        const char* after;
    };
    const Case cases[] = {
        {"before the blank lines that end the section",
         "[A]\nx=1\n\n[B]\ny=2\n",
         "a",
         false,
         {{"p", "1"}, {"q", "2"}},
         "[A]\r\nx=1\r\np=1\r\nq=2\r\n\r\n[B]\r\ny=2\r\n"},
        {"a new section at the end",
         "[A]\nx=1\n",
         "New",
         false,
         {{"k", "v"}},
         "[A]\r\nx=1\r\n[New]\r\nk=v\r\n"},
        {"into an empty file", "", "S", false, {{"0", ""}}, "[S]\r\n0=\r\n"},
        {"nothing to add", "[A]\nx=1\n", "B", false, {}, "[A]\r\nx=1\r\n"},
        {"a cleared section keeps its place",
         "[A]\nx=1\n\n[B]\ny=2\n",
         "A",
         true,
         {{"z", "3"}},
         "[A]\r\nz=3\r\n[B]\r\ny=2\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IniFile ini = IniFile::parse(c.before);
        if (c.clearFirst) ini.clearSection(c.section);
        ini.appendKeys(c.section, c.keys);
        EXPECT_EQ(ini.text(), c.after);
    }
}

TEST(IniFileAppend, AnExistingKeyStaysTheOneRead) {
    IniFile ini = IniFile::parse("[A]\nx=1\n");
    ini.appendKeys("A", {{"X", "2"}});
    EXPECT_EQ(ini.getString("A", "x"), "1");
    EXPECT_EQ(ini.entries("A").size(), 2u);
}

}  // namespace
}  // namespace vdln
