// Sections found through the index of their names, and the text written
// from the sections kept: every edit keeps both right.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/inifile.h"
#include "base/strutil.h"

namespace vdln {
namespace {

TEST(IniFileIndex, TheFirstOfTwoSectionsOfOneNameAnswersUntilItIsRemoved) {
    IniFile ini = IniFile::parse("[Run]\nk=first\n[Other]\nk=o\n[RUN]\nk=second\nj=only in second\n");
    EXPECT_EQ(ini.getString("run", "k"), "first");
    EXPECT_FALSE(ini.hasKey("Run", "j"));
    ini.set("rUn", "new", "1");  // goes to the first section of the name
    EXPECT_EQ(ini.keys("Run"), (std::vector<std::string>{"k", "new"}));
    EXPECT_TRUE(ini.eraseSection("RUN"));
    // The second section of the name is the first now.
    EXPECT_EQ(ini.getString("run", "k"), "second");
    EXPECT_EQ(ini.getString("run", "j"), "only in second");
    EXPECT_EQ(ini.getString("other", "k"), "o");
    EXPECT_TRUE(ini.eraseSection("run"));
    EXPECT_FALSE(ini.hasSection("Run"));
    EXPECT_FALSE(ini.eraseSection("run"));
    EXPECT_EQ(ini.text(), "[Other]\r\nk=o\r\n");
}

TEST(IniFileIndex, SectionsAfterARemovedOneAreStillFoundWithTheirOwnKeys) {
    // A record of runs has one section per year: remove every third one
    // and every other year must still answer with its own values.
    std::string text = "; years\n";
    for (int y = 2000; y < 2200; ++y) text += "[" + std::to_string(y) + "]\nYear=" + std::to_string(y) + "\n";
    IniFile ini = IniFile::parse(text);
    for (int y = 2000; y < 2200; y += 3) ASSERT_TRUE(ini.eraseSection(std::to_string(y)));
    for (int y = 2000; y < 2200; ++y) {
        const std::string name = std::to_string(y);
        if ((y - 2000) % 3 == 0)
            EXPECT_FALSE(ini.hasSection(name)) << name;
        else
            EXPECT_EQ(ini.getInt(name, "year", 0), y) << name;
    }
    // A removed name added again goes to the end of the file.
    ini.set("2000", "Year", "again");
    EXPECT_EQ(ini.sections().back(), "2000");
    EXPECT_EQ(ini.getString("2000", "YEAR"), "again");
    EXPECT_EQ(ini.getInt("2199", "year", 0), 2199);
}

TEST(IniFileIndex, ACopyHasItsOwnIndex) {
    IniFile a = IniFile::parse("[A]\nx=1\n");
    IniFile b = a;
    b.set("B", "y", "2");
    b.set("a", "x", "changed");
    EXPECT_FALSE(a.hasSection("b"));
    EXPECT_EQ(a.getString("A", "x"), "1");
    EXPECT_EQ(b.getString("A", "x"), "changed");
    IniFile c = std::move(b);
    EXPECT_EQ(c.getString("b", "Y"), "2");
    a = c;
    EXPECT_EQ(a.getString("b", "y"), "2");
    EXPECT_TRUE(a.eraseSection("a"));
    EXPECT_EQ(c.getString("a", "x"), "changed");
}

// The same edits on a plain list of sections searched one by one, to compare
// every answer of the indexed file with.
class ReferenceIni {
public:
    using Keys = std::vector<std::pair<std::string, std::string>>;
    void set(const std::string& section, const std::string& key, const std::string& value) {
        Keys* keys = find(section);
        if (!keys) {
            m_sections.push_back({section, {}});
            keys = &m_sections.back().second;
        }
        for (auto& kv : *keys)
            if (iequals(kv.first, key)) {
                kv.second = value;
                return;
            }
        keys->emplace_back(key, value);
    }
    bool eraseSection(const std::string& section) {
        for (auto it = m_sections.begin(); it != m_sections.end(); ++it)
            if (iequals(it->first, section)) {
                m_sections.erase(it);
                return true;
            }
        return false;
    }
    bool eraseKey(const std::string& section, const std::string& key) {
        Keys* keys = find(section);
        if (!keys) return false;
        for (auto it = keys->begin(); it != keys->end(); ++it)
            if (iequals(it->first, key)) {
                keys->erase(it);
                return true;
            }
        return false;
    }
    void clearSection(const std::string& section) {
        if (Keys* keys = find(section)) keys->clear();
    }
    void appendKeys(const std::string& section, const Keys& added) {
        Keys* keys = find(section);
        if (!keys) {
            m_sections.push_back({section, {}});
            keys = &m_sections.back().second;
        }
        keys->insert(keys->end(), added.begin(), added.end());
    }
    std::optional<std::string> get(const std::string& section, const std::string& key) const {
        for (const auto& s : m_sections) {
            if (!iequals(s.first, section)) continue;
            for (const auto& kv : s.second)
                if (iequals(kv.first, key)) return kv.second;
            return std::nullopt;
        }
        return std::nullopt;
    }
    std::string text() const {
        std::string out;
        for (const auto& [name, keys] : m_sections) {
            out += "[" + name + "]\r\n";
            for (const auto& [k, v] : keys) out += k + "=" + v + "\r\n";
        }
        return out;
    }

private:
    Keys* find(const std::string& section) {
        for (auto& s : m_sections)
            if (iequals(s.first, section)) return &s.second;
        return nullptr;
    }
    std::vector<std::pair<std::string, Keys>> m_sections;
};

TEST(IniFileIndex, AnyRunOfEditsAnswersAsASearchOfEverySectionWould) {
    const std::vector<std::string> names = {"Run", "LastRan", "2024", "2025", "Options", "x"};
    std::mt19937 rng(20261209);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    // A name in a random mix of letter cases.
    auto spelled = [&](const std::string& name) {
        std::string s = name;
        for (char& c : s)
            if (rng() % 2) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    IniFile ini;
    ReferenceIni ref;
    for (int step = 0; step < 2000; ++step) {
        const std::string section = spelled(names[pick(names.size())]);
        const std::string key = "k" + std::to_string(pick(3));
        const std::string value = std::to_string(step);
        switch (pick(7)) {
            case 0:
            case 1:
                ini.set(section, key, value);
                ref.set(section, key, value);
                break;
            case 2:
                EXPECT_EQ(ini.eraseSection(section), ref.eraseSection(section)) << step;
                break;
            case 3:
                ini.clearSection(section);
                ref.clearSection(section);
                break;
            case 4:
                ini.appendKeys(section, {{key, value}});
                ref.appendKeys(section, {{key, value}});
                break;
            case 5:
                EXPECT_EQ(ini.eraseKey(section, key), ref.eraseKey(section, key)) << step;
                break;
            default: {
                // A round trip through the text keeps what the edits made.
                ini = IniFile::parse(ini.text());
                break;
            }
        }
        // The text after every edit: a section whose kept text an edit did
        // not renew shows here.
        ASSERT_EQ(ini.text(), ref.text()) << "after step " << step;
        for (const std::string& n : names)
            for (const char* k : {"k0", "k1", "k2"}) ASSERT_EQ(ini.get(spelled(n), k), ref.get(n, k)) << step;
    }
}

}  // namespace
}  // namespace vdln
