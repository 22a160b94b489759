#pragma once
/// INI-form files (settings, record of runs, suite report files): sections
/// and keys are matched without regard to letter case; sections, keys,
/// comments and blank lines that the program does not know are kept in their
/// order and written back as they were read.  A file is parsed once; every
/// query works on the parsed form.  Sections are found through an index of
/// their names (hashed without regard to case), so a query costs the same in a file
/// of a thousand sections as in a file of one; the index follows every
/// edit.  When a name appears twice, the first section of that name is the
/// one every query and edit uses.  The text of each section is kept once
/// written and written again only after the section changes, so saving a
/// large file after a small edit costs little more than copying it (`text`
/// is const but fills that store: one object is not for two threads).

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "base/result.h"
#include "base/strutil.h"

namespace vdln {

class IniFile {
public:
    IniFile() = default;

    /// Parses INI text (CR LF or LF line endings).  Never fails: lines that
    /// are neither sections nor "key=value" are kept as they are.
    static IniFile parse(std::string_view text);
    /// Reads and parses a file.  A missing file fails with
    /// "Cannot open file <path>".
    static Result<IniFile> load(const std::string& path);
    /// Reads a file when it exists; a missing file gives an empty INI.
    static Result<IniFile> loadOrEmpty(const std::string& path);

    /// One line of INI text as `parse` reads it.  The views point into the
    /// text scanned.
    struct TextLine {
        enum class Kind { Header, Key, Other };
        Kind kind = Kind::Other;
        std::string_view name;   ///< Header: the section name; Key: the key (both trimmed)
        std::string_view value;  ///< Key: the value as written (the line ending removed)
        std::string_view raw;    ///< the whole line without its line ending
    };
    /// Calls `f(const TextLine&)` for every line of `text` in order, by the
    /// rules of `parse`: lines end at LF (a CR before it is dropped); a line
    /// whose trimmed text is "[...]" is a section header; a line that is not
    /// blank, does not start with ';' or '#' and holds '=' is a key.  When
    /// `f` returns a bool, false stops the scan.
    template <class F>
    static void scanText(std::string_view text, F&& f);
    /// The value of the first key `key` in the first section `section` of
    /// `text`, found as `parse(text).get(section, key)` would find it but
    /// without building the parsed form; nullopt when missing.
    static std::optional<std::string> findInText(std::string_view text, std::string_view section,
                                                 std::string_view key);

    /// The text of the whole file, lines ending with CR LF.
    std::string text() const;
    /// Writes the file atomically; the old file stays intact on failure.
    Status save(const std::string& path) const;

    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;
    /// The value of a key, or nullopt when the key (or section) is missing.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    /// The value, or `def` when missing.
    std::string getString(std::string_view section, std::string_view key, std::string_view def = "") const;
    /// An integer value; `def` when missing or not an integer.
    long long getInt(std::string_view section, std::string_view key, long long def) const;
    /// A flag written "1"/"0" (also accepts "yes"/"no", "true"/"false").
    bool getBool(std::string_view section, std::string_view key, bool def) const;

    /// Sets a key, adding the section at the end and the key at the end of
    /// its section when missing; an existing key keeps its place and the
    /// spelling of its name.
    void set(std::string_view section, std::string_view key, std::string_view value);
    void setInt(std::string_view section, std::string_view key, long long value);
    /// Writes "1" or "0".
    void setBool(std::string_view section, std::string_view key, bool value);
    /// Removes a key; true when it existed.
    bool eraseKey(std::string_view section, std::string_view key);
    /// Removes a whole section; true when it existed.
    bool eraseSection(std::string_view section);
    /// Removes every key of a section but keeps the section.
    void clearSection(std::string_view section);
    /// Adds keys at the end of a section (added at the end of the file when
    /// missing) without looking for existing ones, so a long section just
    /// cleared is rewritten in time linear in its length.  A key already in
    /// the section is not replaced: the first one is what `get` returns.
    void appendKeys(std::string_view section, const std::vector<std::pair<std::string, std::string>>& keys);

    /// Section names in file order (as spelled in the file).
    std::vector<std::string> sections() const;
    /// Key names of a section in file order.
    std::vector<std::string> keys(std::string_view section) const;
    /// Key/value pairs of a section in file order.
    std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;
    /// Calls `f(key, value)` (as string views) for every key of a section in
    /// file order, without copying them.
    template <class F>
    void forEachEntry(std::string_view section, F&& f) const;

private:
    struct Line {
        std::string key;  // empty for comments, blank and unparsed lines
        std::string value;
        std::string raw;  // the line as read, for lines that are not keys
        bool isKey = false;
    };
    struct Section {
        std::string name;  // empty for the lines before the first section
        bool hasHeader = false;
        std::vector<Line> lines;
        /// The section as written by `text`, kept until its lines change, so
        /// that a file saved after every small edit is not written out line
        /// by line again each time.
        mutable std::string written;
        mutable bool writtenValid = false;
        void changed() { writtenValid = false; }
    };
    const Section* findSection(std::string_view name) const;
    Section* findSection(std::string_view name);
    Section* sectionForWriting(std::string_view name);
    /// Adds the last section to the index unless a section of its name is
    /// already there.
    void indexLastSection();
    /// Builds the index again from the sections (after a removal).
    void rebuildIndex();
    std::vector<Section> m_sections;
    /// Section name (matched without regard to case) -> position in
    /// `m_sections` of the first section with a header of that name.
    std::unordered_map<std::string, size_t, CaseInsensitiveHash, CaseInsensitiveEqual> m_index;
};

template <class F>
void IniFile::scanText(std::string_view text, F&& f) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t nl = text.find('\n', start);
        const size_t end = nl == std::string_view::npos ? text.size() : nl;
        size_t len = end - start;
        if (len > 0 && text[start + len - 1] == '\r') --len;
        TextLine line;
        line.raw = text.substr(start, len);
        const std::string_view t = trimmedView(line.raw);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            line.kind = TextLine::Kind::Header;
            line.name = trimmedView(t.substr(1, t.size() - 2));
        } else if (!t.empty() && t.front() != ';' && t.front() != '#') {
            const size_t eq = line.raw.find('=');
            if (eq != std::string_view::npos) {
                line.kind = TextLine::Kind::Key;
                line.name = trimmedView(line.raw.substr(0, eq));
                line.value = line.raw.substr(eq + 1);
            }
        }
        if constexpr (std::is_same_v<decltype(f(static_cast<const TextLine&>(line))), bool>) {
            if (!f(static_cast<const TextLine&>(line))) break;
        } else {
            f(static_cast<const TextLine&>(line));
        }
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
}

template <class F>
void IniFile::forEachEntry(std::string_view section, F&& f) const {
    if (const Section* s = findSection(section))
        for (const Line& l : s->lines)
            if (l.isKey) f(std::string_view(l.key), std::string_view(l.value));
}

}  // namespace vdln
