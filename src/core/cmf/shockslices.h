#pragma once
/// Copying a user's shock file into a command file with the year-slice
/// convention: a statement whose second word is "<year>" or "<year=P>"
/// (any letter case) loses that word and gets ` slice "<P><year>" ` just
/// before its ";" (P is "Y" for "<year>"), even when the statement runs over
/// several lines.  Every other line is copied unchanged, with characters
/// outside codes 33..126 written as blanks.

#include <string>
#include <vector>

#include "base/result.h"
#include "base/textfile.h"

namespace vdln {

/// Applies the year-slice convention line by line; keeps the state of an
/// open statement between lines.
class ShockSlicer {
public:
    /// `yearText` is the calendar year of the simulation as text ("2005").
    explicit ShockSlicer(std::string yearText) : m_year(std::move(yearText)) {}
    /// The output line for the next source line.
    std::string process(std::string_view sourceLine);
    /// True while a statement has started but its ";" has not been seen.
    bool statementOpen() const { return m_open; }

private:
    std::string m_year;
    bool m_open = false;
    bool m_sliced = false;
    std::string m_prefix;
};

/// The line with every character below code 33 or above code 126 replaced
/// by a blank (how user files are copied into command files).
std::string cleanCopiedLine(std::string_view line);

/// All lines of a shock file with the year slices applied.
std::vector<std::string> sliceShockLines(const std::vector<std::string>& lines, const std::string& yearText);

/// Appends the shock file `sourceFile` to the open output with the year
/// slices for calendar year `year`.  Fails with the messages of `TxtOpen`,
/// "read error from file <name>" or "write error", tagged " [AppendShocks]".
Status AppendShocks(TxtFile& out, const std::string& sourceFile, int year);

}  // namespace vdln
