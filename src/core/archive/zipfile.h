#pragma once
/// ZIP archives: writing an archive under a temporary name that only becomes
/// the final name when it is complete, listing members, and extracting them
/// safely.  An archive is untrusted input: a member is never written outside
/// the chosen folder (names with "..", absolute names, drive letters,
/// backslashes and symbolic links are refused), sizes are checked against
/// free space before anything is written, and a member whose data does not
/// match its declared size or checksum is not left behind.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/result.h"

struct zip;

namespace vdln {

/// One member of an archive.
struct ZipMember {
    std::string name;
    std::uint64_t index = 0;
    std::uint64_t size = 0;  ///< declared uncompressed size
    std::uint64_t compressedSize = 0;
    std::int64_t mtime = 0;  ///< Unix seconds, 0 when unknown
    bool isDirectory = false;
    bool isSymlink = false;
    /// Permission bits recorded by a Unix writer (0 when none); only the
    /// executable bits are used, so a restored program can still be run.
    std::uint32_t unixMode = 0;
};

/// "" when a member name may be extracted, otherwise why not.
std::string unsafeMemberReason(const std::string& name);

/// Free bytes on the file system holding `path`, or -1 when unknown.
std::int64_t freeDiskSpace(const std::string& path);

/// An archive opened for reading.
class ZipReader {
public:
    ZipReader(ZipReader&&) noexcept;
    ZipReader& operator=(ZipReader&&) noexcept;
    ~ZipReader();

    /// Opens an archive file.  Failure: "<file>seems not to be a valid zip archive".
    static Result<ZipReader> open(const std::string& path);
    /// Opens an archive held in memory (the bytes must outlive the reader).
    static Result<ZipReader> fromBytes(const std::string& bytes);

    const std::vector<ZipMember>& members() const { return m_members; }
    /// The member of that name (compared without regard to letter case), or null.
    const ZipMember* find(const std::string& name) const;

    /// Reads a member into memory; refuses members above `maxBytes`.
    Result<std::string> read(const ZipMember& m, std::uint64_t maxBytes = 64u << 20) const;
    /// Extracts one member into `folder` (sub-folders of the member name
    /// created inside it).  The data go to a temporary file that is renamed
    /// only when complete and checked.  A file recorded as executable is
    /// made executable (0755 before the umask); no other special bit is ever
    /// set.  Returns the written path.
    Result<std::string> extract(const ZipMember& m, const std::string& folder) const;
    /// Extracts every member whose name matches the mask ("*" and "?"
    /// wildcards, without regard to case), after checking every name and the
    /// total size against the free space of `folder`.  Nothing is written
    /// when any name is unsafe.  `cancel` is polled between members.
    Result<std::vector<std::string>> extractAll(const std::string& folder, const std::string& mask = "*",
                                                const std::function<bool()>& cancel = nullptr) const;

private:
    ZipReader() = default;
    Status load();
    struct zip* m_zip = nullptr;
    std::string m_name;
    std::vector<ZipMember> m_members;
};

/// An archive being written.  Members are added from files or memory and
/// compressed with deflate; `commit` writes the archive under a temporary
/// name beside the target and renames it.  Destroying an uncommitted writer
/// leaves nothing behind.
class ZipWriter {
public:
    ZipWriter(ZipWriter&&) noexcept;
    ZipWriter& operator=(ZipWriter&&) noexcept;
    ~ZipWriter();

    /// Starts an archive that will replace `path` when committed.
    static Result<ZipWriter> create(const std::string& path);

    /// Adds a file under a name without folders (its permission bits are
    /// recorded, so programs stay executable).  Failure: "Error zipping
    /// file\r\n<file>\r\nThe file seems to be locked by another
    /// application.\r\nIf so, free the file and try again."
    Status addFile(const std::string& file, const std::string& nameInZip);
    /// Adds bytes as a member.
    Status addBytes(const std::string& nameInZip, const std::string& bytes);
    /// Writes the archive and renames it over the target.
    Status commit();
    /// Names added so far.
    const std::vector<std::string>& names() const { return m_names; }

private:
    ZipWriter() = default;
    void discard();
    struct zip* m_zip = nullptr;
    std::string m_target;
    std::string m_temp;
    std::vector<std::string> m_names;
    std::vector<std::unique_ptr<std::string>> m_buffers;
};

/// "*" and "?" wildcard match without regard to letter case.
bool wildcardMatch(const std::string& mask, const std::string& name);

}  // namespace vdln
