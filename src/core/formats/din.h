#pragma once
/// The Dynamic Information file (".din", beside the model's ".min"): a
/// short text in which the model's author says which logical files are
/// lagged or constant inputs, which file a lagged input lags, from which
/// file and runs an input is fed, and the key used in generated names.
///
/// One statement per line, in the command-file tokenizer's terms:
///
///     ! a comment
///     file EXTRA4 role lagged-input lagof EXTRA ;
///     file BASEDATA key BAS usage BASEDATA 1 2 3 ;
///
/// Words are compared without regard to letter case.  Text after ";" on the
/// same line is read as further attribute pairs of the same file.
///
/// This reader knows the logical files by name only; the simulation record
/// applies what it read (`model/filetable.h`).

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vdln {

/// The role a Dynamic Information file gives a logical file.
enum class DinRole { LaggedInput, ConstantInput };

/// What the file says of one logical file; an attribute it does not write
/// stays empty.  When it writes one twice, the later statement counts.
struct DinFileFacts {
    std::optional<std::string> key;  ///< at most 3 characters
    std::optional<DinRole> role;
    std::optional<int> lagOf;                 ///< 1-based index of the file lagged
    std::optional<std::array<int, 4>> usage;  ///< the file fed from, then runs 1..3

    bool operator==(const DinFileFacts&) const = default;
};

/// What a reading gave: the facts of each logical file (element n-1 for the
/// n-th name) and, when reading stopped early, why.  The facts of the
/// statements before the one that failed are kept.
struct DinContents {
    std::vector<DinFileFacts> files;
    std::string error;  ///< "" when the whole file was read
};

/// Reads the statements of `fileName`; `logicalNames` are the user files'
/// logical names in table order (matched without regard to case, the first
/// match counts).  The first error stops reading; a file that cannot be read
/// gives the reader's message as the error.
DinContents ReadDinStatements(const std::string& fileName, const std::vector<std::string>& logicalNames);

}  // namespace vdln
