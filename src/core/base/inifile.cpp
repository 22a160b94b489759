#include "base/inifile.h"

#include <cstddef>
#include <iterator>

#include "base/fileutil.h"
#include "base/strutil.h"
#include "base/textfile.h"

namespace vdln {

IniFile IniFile::parse(std::string_view text) {
    IniFile ini;
    // A first pass counts the lines of each section, so that each section's
    // lines are stored once, without the moves of a growing vector.
    std::vector<size_t> counts(1, 0);
    scanText(text, [&](const TextLine& l) {
        if (l.kind == TextLine::Kind::Header)
            counts.push_back(0);
        else
            ++counts.back();
    });
    ini.m_sections.reserve(counts.size());
    ini.m_sections.push_back(Section{});
    ini.m_sections.back().lines.reserve(counts[0]);
    scanText(text, [&](const TextLine& l) {
        if (l.kind == TextLine::Kind::Header) {
            Section s;
            s.name = std::string(l.name);
            s.hasHeader = true;
            s.lines.reserve(counts[ini.m_sections.size()]);
            ini.m_sections.push_back(std::move(s));
            ini.indexLastSection();
            return;
        }
        Line line;
        if (l.kind == TextLine::Kind::Key) {
            line.isKey = true;
            line.key = std::string(l.name);
            // Values are kept as written apart from the line ending.
            line.value = std::string(l.value);
        } else {
            line.raw = std::string(l.raw);
        }
        ini.m_sections.back().lines.push_back(std::move(line));
    });
    return ini;
}

std::optional<std::string> IniFile::findInText(std::string_view text, std::string_view section,
                                               std::string_view key) {
    // The first section of the name is the one `get` reads; a later section
    // of the same name is never looked at.
    enum class State { Before, In } state = State::Before;
    std::optional<std::string> found;
    scanText(text, [&](const TextLine& l) {
        if (l.kind == TextLine::Kind::Header) {
            if (state == State::In) return false;
            if (iequals(l.name, section)) state = State::In;
        } else if (state == State::In && l.kind == TextLine::Kind::Key && iequals(l.name, key)) {
            found = std::string(l.value);
            return false;
        }
        return true;
    });
    return found;
}

Result<IniFile> IniFile::load(const std::string& path) {
    auto data = readWholeFile(path);
    if (!data) return Result<IniFile>::fail(data.message());
    return parse(*data);
}

Result<IniFile> IniFile::loadOrEmpty(const std::string& path) {
    if (!fileExists(path)) return IniFile();
    return load(path);
}

std::string IniFile::text() const {
    size_t size = 0;
    for (const Section& s : m_sections) {
        if (!s.writtenValid) {
            std::string& w = s.written;
            w.clear();
            if (s.hasHeader) {
                w += '[';
                w += s.name;
                w += "]\r\n";
            }
            for (const Line& l : s.lines) {
                if (l.isKey) {
                    w += l.key;
                    w += '=';
                    w += l.value;
                } else {
                    w += l.raw;
                }
                w += "\r\n";
            }
            s.writtenValid = true;
        }
        size += s.written.size();
    }
    std::string out;
    out.reserve(size);
    for (const Section& s : m_sections) out += s.written;
    return out;
}

Status IniFile::save(const std::string& path) const {
    return writeFileAtomic(path, text());
}

void IniFile::indexLastSection() {
    const Section& s = m_sections.back();
    if (s.hasHeader) m_index.emplace(s.name, m_sections.size() - 1);
}

void IniFile::rebuildIndex() {
    m_index.clear();
    for (size_t k = 0; k < m_sections.size(); ++k)
        if (m_sections[k].hasHeader) m_index.emplace(m_sections[k].name, k);
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
    auto it = m_index.find(name);
    return it == m_index.end() ? nullptr : &m_sections[it->second];
}

IniFile::Section* IniFile::findSection(std::string_view name) {
    auto it = m_index.find(name);
    return it == m_index.end() ? nullptr : &m_sections[it->second];
}

bool IniFile::hasSection(std::string_view section) const {
    return findSection(section) != nullptr;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const {
    return get(section, key).has_value();
}

std::optional<std::string> IniFile::get(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (!s) return std::nullopt;
    for (const Line& l : s->lines)
        if (l.isKey && iequals(l.key, key)) return l.value;
    return std::nullopt;
}

std::string IniFile::getString(std::string_view section, std::string_view key, std::string_view def) const {
    auto v = get(section, key);
    return v ? *v : std::string(def);
}

long long IniFile::getInt(std::string_view section, std::string_view key, long long def) const {
    auto v = get(section, key);
    if (!v) return def;
    auto n = parseInt(*v);
    return n ? *n : def;
}

bool IniFile::getBool(std::string_view section, std::string_view key, bool def) const {
    auto v = get(section, key);
    if (!v) return def;
    std::string t = toLower(trim(*v));
    if (t == "1" || t == "yes" || t == "true") return true;
    if (t == "0" || t == "no" || t == "false") return false;
    return def;
}

// The section to add keys to: the existing one, or a new one at the end
// (after an empty headerless part, so keys never land before the first
// header of a new file).
IniFile::Section* IniFile::sectionForWriting(std::string_view section) {
    if (Section* s = findSection(section)) return s;
    if (m_sections.empty()) m_sections.push_back(Section{});
    Section ns;
    ns.name = std::string(section);
    ns.hasHeader = true;
    m_sections.push_back(std::move(ns));
    indexLastSection();
    return &m_sections.back();
}

void IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = sectionForWriting(section);
    s->changed();
    for (Line& l : s->lines) {
        if (l.isKey && iequals(l.key, key)) {
            l.value = std::string(value);
            return;
        }
    }
    Line l;
    l.isKey = true;
    l.key = std::string(key);
    l.value = std::string(value);
    // Keep trailing blank lines of the section after the new key.
    auto pos = s->lines.end();
    while (pos != s->lines.begin() && !(pos - 1)->isKey && trim((pos - 1)->raw).empty()) --pos;
    s->lines.insert(pos, std::move(l));
}

void IniFile::setInt(std::string_view section, std::string_view key, long long value) {
    set(section, key, std::to_string(value));
}

void IniFile::setBool(std::string_view section, std::string_view key, bool value) {
    set(section, key, value ? "1" : "0");
}

bool IniFile::eraseKey(std::string_view section, std::string_view key) {
    Section* s = findSection(section);
    if (!s) return false;
    for (auto it = s->lines.begin(); it != s->lines.end(); ++it) {
        if (it->isKey && iequals(it->key, key)) {
            s->lines.erase(it);
            s->changed();
            return true;
        }
    }
    return false;
}

bool IniFile::eraseSection(std::string_view section) {
    auto it = m_index.find(section);
    if (it == m_index.end()) return false;
    // The sections after it move up one place, and a later section of the
    // same name becomes the first: the index is built again.
    m_sections.erase(m_sections.begin() + static_cast<std::ptrdiff_t>(it->second));
    rebuildIndex();
    return true;
}

void IniFile::clearSection(std::string_view section) {
    if (Section* s = findSection(section)) {
        s->lines.clear();
        s->changed();
    }
}

void IniFile::appendKeys(std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& keys) {
    if (keys.empty()) return;
    Section* s = sectionForWriting(section);
    s->changed();
    // Keep trailing blank lines of the section after the new keys.
    auto pos = s->lines.end();
    while (pos != s->lines.begin() && !(pos - 1)->isKey && trim((pos - 1)->raw).empty()) --pos;
    std::vector<Line> added;
    added.reserve(keys.size());
    for (const auto& [key, value] : keys) {
        Line l;
        l.isKey = true;
        l.key = key;
        l.value = value;
        added.push_back(std::move(l));
    }
    s->lines.insert(pos, std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

std::vector<std::string> IniFile::sections() const {
    std::vector<std::string> out;
    for (const Section& s : m_sections)
        if (s.hasHeader) out.push_back(s.name);
    return out;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> out;
    if (const Section* s = findSection(section))
        for (const Line& l : s->lines)
            if (l.isKey) out.push_back(l.key);
    return out;
}

std::vector<std::pair<std::string, std::string>> IniFile::entries(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> out;
    if (const Section* s = findSection(section))
        for (const Line& l : s->lines)
            if (l.isKey) out.emplace_back(l.key, l.value);
    return out;
}

}  // namespace vdln
