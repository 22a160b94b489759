#pragma once
/// Path rules of the program.  Directories and names are joined with the
/// platform's separator ("/" here); the rules for drive letters apply only
/// where the platform has drives.

#include <string>
#include <string_view>
#include <unordered_map>

namespace vdln {

/// The platform's path separator.
inline constexpr char kPathSep = '/';

/// Removes trailing separators from `dir` and leading separators from
/// `name` and joins them with one separator ("dir" + "/" + "name").  A `dir`
/// that was only separators stays the root ("/name"); an empty `dir` gives
/// `name` unchanged.
std::string JoinPath(std::string_view dir, std::string_view name);

/// `name` itself when it is absolute; `name` expanded against `dir` (with
/// "." and ".." resolved lexically) when it begins with "."; otherwise
/// JoinPath(dir, name).
std::string ResolvePath(std::string_view dir, std::string_view name);

/// The folder part of a path (without a trailing separator); "" when the
/// path has none.
std::string dirOf(std::string_view path);
/// The name part of a path (after the last separator).
std::string nameOf(std::string_view path);
/// The extension including its dot ("" when none).
std::string extOf(std::string_view path);
/// The path with its extension replaced by `ext` (which includes the dot,
/// or is empty to remove the extension).
std::string changeExt(std::string_view path, std::string_view ext);

/// Finds an existing file for a user-supplied name: the name as written
/// when it exists, otherwise the single entry of its folder whose name
/// matches without regard to letter case (and, for a name with folders, the
/// same rule applied to every folder on the way).  Returns the name as
/// written when nothing matches, so callers report the user's own spelling.
std::string findFileIgnoringCase(const std::string& path);

/// The names of folders, each read once: answers `findFileIgnoringCase` and
/// "is this name listed in its folder" for many names without reading a
/// folder again for every name that is missing as written.  The answers are
/// those of the folders as they were when first read, so a holder keeps one
/// for a stretch of work that creates no file it asks about (one round of
/// step selection, one recording) and clears it, or drops it, after.  Names
/// that exist as written are still looked up on disk, so only a file created
/// or removed under another spelling during that stretch goes unseen.
class FolderListings {
public:
    /// `findFileIgnoringCase(path)`, with the folder of `path` read at most
    /// once until `clear`.
    std::string findIgnoringCase(const std::string& path);
    /// True when the folder of `path` lists an entry whose name is the name
    /// of `path` without regard to letter case.
    bool listed(const std::string& path);
    /// Forgets every folder read.
    void clear() { m_folders.clear(); }
    /// How many times a folder has been read since this object was made.
    int folderReads() const { return m_reads; }

private:
    struct Listing {
        /// Lower-cased name -> the entry's name and how many entries fold to it.
        std::unordered_map<std::string, std::pair<std::string, int>> names;
    };
    const Listing& listing(const std::string& dir);
    std::unordered_map<std::string, Listing> m_folders;
    int m_reads = 0;
};

}  // namespace vdln
