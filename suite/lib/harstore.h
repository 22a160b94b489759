#pragma once
/// The suite programs' view of header array files: a file is a list of
/// headers, each either a list of strings or a real array over named sets.
/// Reading and writing go through the core's header array layer.

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace vdln::suite {

/// One dimension of a real array: its set and the set's elements.
struct SetDef {
    std::string name;
    std::vector<std::string> elements;
};

/// One header.
struct HeaderDef {
    std::string name;         ///< up to 4 characters
    std::string description;  ///< up to 70 characters
    bool isStrings = false;   ///< a list of strings ("1C")
    std::vector<std::string> strings;
    std::vector<SetDef> sets;   ///< real arrays: one per dimension (none for a single value)
    std::vector<float> values;  ///< real arrays: first index fastest
    std::vector<int> dims;      ///< real arrays: dimension sizes as read (sets may be unnamed)

    /// A real array over named sets.
    static HeaderDef reals(std::string name, std::string description, std::vector<SetDef> sets,
                           std::vector<float> values);
    /// A list of strings.
    static HeaderDef text(std::string name, std::string description, std::vector<std::string> strings);
    /// Number of values the dimensions call for.
    size_t size() const;
};

/// Reads every string and real header of a file ("2I" headers are left out).
/// Fails with the reader's message when the file is missing or broken.
Result<std::vector<HeaderDef>> readHeaderFile(const std::string& path);

/// Writes the headers to a new file that replaces `path` only when complete.
Status writeHeaderFile(const std::string& path, const std::string& programName,
                       const std::vector<HeaderDef>& headers);

/// The header of that name (case-insensitive, blanks ignored), or null.
const HeaderDef* findHeader(const std::vector<HeaderDef>& headers, std::string_view name);

}  // namespace vdln::suite
