#pragma once
/// The record-of-runs files of a job held in memory: each file is parsed
/// once and kept with the identity of the file it came from (device, inode,
/// size, modification time).  Queries are answered from memory; a file that
/// changed under the store (another program, a restore, a deletion) is
/// parsed again at its next use.  Edits are made in memory and every save
/// still writes the whole file atomically, so a completion survives a crash,
/// but the file is not read back.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/inifile.h"
#include "base/result.h"
#include "runrecord/recordfiles.h"

namespace vdln {

class RunRecordStore {
public:
    /// The parsed file for lookups; an empty view when the file is missing
    /// or cannot be read.
    const RunRecordView& view(const std::string& path);

    /// One value of the file, looked up without building the whole view
    /// (single facts: a run's names, a completion time); nullopt when the
    /// file, the section or the key is missing or the file cannot be read.
    std::optional<std::string> value(const std::string& path, std::string_view section, std::string_view key);

    /// The file's contents for editing (empty when the file is missing).
    /// Failure: the file exists but cannot be read ("Cannot open file ...").
    Result<IniFile*> edit(const std::string& path);

    /// Writes the contents edited through `edit` atomically and remembers the
    /// identity of the written file.  Failure: the file could not be written
    /// (what is on disk is unchanged and is read again at the next use).
    Status save(const std::string& path);

    /// Drops what is held of a file (after deleting it, for instance).
    void forget(const std::string& path) { m_files.erase(path); }

    /// How many times a file was parsed from disk (for the benchmarks).
    int parses() const { return m_parses; }

private:
    struct Identity {
        bool exists = false;
        std::uint64_t dev = 0, ino = 0;
        std::int64_t size = 0, mtimeNs = 0;
        bool operator==(const Identity&) const = default;
    };
    struct Entry {
        Identity id;
        bool readable = true;  ///< false: the file exists but could not be read
        std::string error;     ///< why it could not be read
        IniFile ini;
        std::optional<RunRecordView> view;  ///< built from `ini` at first lookup
    };
    static Identity identityOf(const std::string& path);
    Entry& current(const std::string& path);

    std::map<std::string, Entry> m_files;
    int m_parses = 0;
};

}  // namespace vdln
