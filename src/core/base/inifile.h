#pragma once
/// INI-form files (settings, record of runs, suite report files): sections
/// and keys are matched without regard to letter case; sections, keys,
/// comments and blank lines that the program does not know are kept in their
/// order and written back as they were read.  A file is parsed once; every
/// query works on the parsed form.  Sections are found through an index of
/// their names (folded to lower case), so a query costs the same in a file
/// of a thousand sections as in a file of one; the index follows every
/// edit.  When a name appears twice, the first section of that name is the
/// one every query and edit uses.  The text of each section is kept once
/// written and written again only after the section changes, so saving a
/// large file after a small edit costs little more than copying it (`text`
/// is const but fills that store: one object is not for two threads).

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/result.h"

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
    /// Lower-cased section name -> position in `m_sections` of the first
    /// section with a header of that name.
    std::unordered_map<std::string, size_t> m_index;
};

}  // namespace vdln
