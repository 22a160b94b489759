#pragma once
/// Whole-file reading and writing, atomic replacement, file times and the
/// small file-system queries the program needs everywhere.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"

namespace vdln {

/// Reads a whole file as bytes.  Failure: "Cannot open file <name>" or
/// "read error from file <name>".
Result<std::string> readWholeFile(const std::string& path);

/// Replaces `path` atomically with `content`: the bytes go to a temporary
/// file beside it, are flushed to disk, and the temporary file is renamed
/// over the target.  On any failure the previous file is left as it was and
/// the temporary file is removed.  Failure: "Cannot create file <path>" or
/// "write error" (no tag: callers add their own).  `durable` false skips the
/// flush to disk, for short-lived files (scripts in the Temporary Directory)
/// where a power cut does not matter but speed does.
Status writeFileAtomic(const std::string& path, std::string_view content, bool durable = true);

/// A suffix for a temporary file's name that no other writer uses at the
/// same time: this process's id, a number drawn once per process (for
/// folders shared between machines) and a count of the names handed out.
std::string uniqueTempSuffix();

/// Writes lines each followed by CR LF, atomically (see `writeFileAtomic`).
Status writeLinesAtomic(const std::string& path, const std::vector<std::string>& lines, bool durable = true);

bool fileExists(const std::string& path);       ///< a regular file (or link to one)
bool directoryExists(const std::string& path);  ///< a directory
/// Size in bytes, or nullopt when the file cannot be examined.
std::optional<std::int64_t> fileSize(const std::string& path);

/// Number of 100-ns intervals between 1601-01-01 and 1970-01-01 (UTC).
inline constexpr std::int64_t kFileTimeUnixOffset = 116444736000000000LL;

/// The 64-bit file time (100-ns intervals since 1601, UTC) of a file's last
/// write, with the full resolution the file system keeps; nullopt when the
/// file cannot be examined.
std::optional<std::int64_t> fileWriteTime(const std::string& path);
/// Sets a file's last-write time from a 64-bit file time.
Status setFileWriteTime(const std::string& path, std::int64_t fileTime);
/// Converts between 64-bit file times and Unix seconds + nanoseconds.
std::int64_t fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);
void unixFromFileTime(std::int64_t fileTime, std::int64_t& seconds, std::int64_t& nanoseconds);
/// The local broken-down time of a 64-bit file time.
std::tm localTimeOfFileTime(std::int64_t fileTime);
/// The packed DOS date-time (date in the high 16 bits, time in the low 16,
/// 2-second resolution) of a 64-bit file time, computed in local time.
std::uint32_t dosDateTimeOfFileTime(std::int64_t fileTime);

/// Copies a file (overwriting the target).  With `keepTime` the copy gets
/// the source's last-write time.
Status copyFile(const std::string& from, const std::string& to, bool keepTime);
/// Deletes a file; a missing file is a success.
Status deleteFile(const std::string& path);
/// Creates a directory and its parents; an existing directory is a success.
Status makeDirectories(const std::string& path);

}  // namespace vdln
