#pragma once
/// The record-of-runs files ("base.ini", "rbase.ini", "pol.ini" in the keep
/// directory), a parsed read-only view of one of them for the checks, their
/// durable copies (".ds3", ".ds4", ".ds5" in the working directory) and the
/// backups made when a job starts.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/inifile.h"
#include "base/result.h"
#include "base/strutil.h"

namespace vdln {

class RunRecordStore;

/// The program version written to, and required of, record-of-runs files.
inline constexpr int kRunRecordVersion = 330;
/// Durable copies written by an older version than this are not restored.
inline constexpr int kMinRestorableVersion = 300;

/// The names of the three record-of-runs files, in run order.
struct TKeepRunInfo {
    std::string BaseFile;    ///< run 1: "base.ini"
    std::string RerunFile;   ///< run 2: "rbase.ini"
    std::string PolicyFile;  ///< run 3: "pol.ini"

    /// The files in the keep directory `keepDir`.
    static TKeepRunInfo inDirectory(const std::string& keepDir);
};

/// The record-of-runs file of run 1, 2 or 3; empty for any other number.
std::string RunRecordFileName(const TKeepRunInfo& keep, int run);

/// A completion time: the 64-bit file time written as its low and high
/// halves ("<low> <high>", signed decimal).
std::string formatCompletionTime(std::int64_t fileTime);
/// Reads a completion time; nullopt when the text is not one.
std::optional<std::int64_t> parseCompletionTime(std::string_view text);

/// One record-of-runs file, parsed once and indexed for lookups without
/// regard to case.  A missing or unreadable file reads as empty.  Names and
/// values are views into one text the view holds (shared by its copies), so
/// building it allocates per section, not per key.
class RunRecordView {
public:
    RunRecordView() = default;
    /// Parses `path`; a missing or unreadable file gives an empty view.
    static RunRecordView load(const std::string& path);
    static RunRecordView fromIni(const IniFile& ini);
    /// The view of INI text, read as `IniFile::parse` reads it.
    static RunRecordView fromText(std::string_view text);

    /// True when the file was read.
    bool present() const { return m_present; }
    bool hasSection(std::string_view section) const;
    /// The value of a key, or nullptr when missing; it lives as long as this
    /// view or a copy of it.
    const std::string_view* find(std::string_view section, std::string_view key) const;
    bool has(std::string_view section, std::string_view key) const { return find(section, key) != nullptr; }
    std::string get(std::string_view section, std::string_view key, std::string_view def = "") const;
    /// As `get`, without copying: the view lives as long as this object
    /// (or as `def`).
    std::string_view value(std::string_view section, std::string_view key, std::string_view def = "") const {
        const std::string_view* v = find(section, key);
        return v ? *v : def;
    }
    long long getInt(std::string_view section, std::string_view key, long long def) const;
    /// A flag ("1"/"0", "yes"/"no").
    bool getBool(std::string_view section, std::string_view key, bool def) const;
    /// A completion time key; nullopt when missing or malformed.
    std::optional<std::int64_t> getTime(std::string_view section, std::string_view key) const;
    using Entry = std::pair<std::string_view, std::string_view>;
    /// Key/value pairs of a section in file order.
    const std::vector<Entry>& entries(std::string_view section) const;

private:
    /// A key's place in its section, ordered by the hash of its name.
    struct Slot {
        std::uint64_t hash;
        std::uint32_t pos;
    };
    struct Section {
        std::vector<Entry> entries;
        /// Empty for a short section, which is searched in order.
        std::vector<Slot> index;
        /// Drops every key but the first of a name and builds the index.
        void finish();
        const std::string_view* find(std::string_view key) const;
    };
    /// The view of a text it keeps.
    static RunRecordView fromOwnedText(std::shared_ptr<const std::string> text);
    /// The section of a name, added when missing.
    Section& slot(std::string_view name);
    const Section* section(std::string_view name) const;
    bool m_present = false;
    /// The text every name and value lies in.
    std::shared_ptr<const std::string> m_text;
    std::vector<Section> m_sections;
    /// Section name (without regard to case) -> position in `m_sections`.
    std::unordered_map<std::string_view, size_t, CaseInsensitiveHash, CaseInsensitiveEqual> m_index;
};

/// The three record-of-runs files, each parsed once for one operation.
class RunRecords {
public:
    RunRecords() = default;
    /// Loads the files of runs 1..3.
    explicit RunRecords(const TKeepRunInfo& keep);
    const RunRecordView& run(int r) const;
    /// Replaces the view of run r (tests, and callers that already hold it).
    void set(int r, RunRecordView v);
    /// Makes run r read `v` without copying it; `v` must outlive this object
    /// (or the next `set`/`refer` of the run).
    void refer(int r, const RunRecordView& v);

private:
    std::array<RunRecordView, 4> m_runs;
    std::array<const RunRecordView*, 4> m_refs{};
};

/// The durable copies of the three record-of-runs files (".ds3", ".ds4",
/// ".ds5" in the working directory, named by the application's model and
/// simulation names); index 0 unused.
using DurableCopyNames = std::array<std::string, 4>;

/// For each run r whose flag is set in `runs` (index 1..3), copies the
/// record-of-runs file to its durable copy when the file's "Sim name" and
/// "Sim Directory" in section "Run" equal, ignoring case, `simNames[r]` and
/// `workDir`.  Failure: the first copy that could not be made
/// ("Cannot copy file ..."); the other runs are still copied.
Status SaveRunRecordCopies(const TKeepRunInfo& keep, const std::array<bool, 4>& runs,
                           const DurableCopyNames& copies, const std::array<std::string, 4>& simNames,
                           const std::string& workDir);
/// The same, judging the names on the files held by `store`.
Status SaveRunRecordCopies(const TKeepRunInfo& keep, const std::array<bool, 4>& runs,
                           const DurableCopyNames& copies, const std::array<std::string, 4>& simNames,
                           const std::string& workDir, RunRecordStore& store);

/// Deletes the three record-of-runs files, then, when the durable copy of
/// run 1 exists, copies back each durable copy whose "VardelVersion" in
/// section "Options" is at least 300 (run 2's only outside no-rerun mode),
/// keeping the copy's file time.  Failure: a file that could not be deleted
/// or copied (the other files are still handled).
Status RestoreRunRecordCopies(const TKeepRunInfo& keep, const DurableCopyNames& copies, bool noRerun);

/// Writes "User DS name" in section "Run" of a record-of-runs file.
/// Failure: the file cannot be read or written.
Status WriteUserDsName(const std::string& file, const std::string& name);
/// The same, through the files held by `store`.
Status WriteUserDsName(const std::string& file, const std::string& name, RunRecordStore& store);

/// The backup of a record-of-runs file made at a job's start: the file with
/// extension ".bak" beside it.
std::string runRecordBackupName(const std::string& recordFile);

/// Backs up the record-of-runs files at the start of a job (an existing file
/// is copied with its time; a missing file removes an old backup), so that a
/// run whose record a job invalidated can be told apart from one it advanced.
/// Failure: a copy that could not be made.
Status BackupRunRecords(const TKeepRunInfo& keep);

/// At the normal end of a job: the backups of runs that made progress
/// (`progress[r]`) are dropped, those of the other runs are kept for the next
/// job start to refresh.  Never fails (a backup that cannot be deleted is
/// replaced at the next job start).
void EndRunRecordBackups(const TKeepRunInfo& keep, const std::array<bool, 4>& progress);

}  // namespace vdln
