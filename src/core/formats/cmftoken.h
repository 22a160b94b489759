#pragma once
/// Words and tokens of the suite's statement files (command files and the
/// Dynamic Information file): words are separated by blanks and tabs; a
/// token is a word, except that a double-quoted string is one token (quotes
/// included) even across blanks, and "=", ";", "(" and ")" are tokens of
/// their own.  Positions are 1-based.  Nothing here ever reads outside a
/// line, whatever the input.

#include <string>
#include <string_view>

namespace vdln {

/// The next word of `line` at or after the 1-based position `pos`: it
/// starts at the first character that is neither a blank nor a tab and runs
/// to the next blank or tab or the end of the line.  `nextPos` receives the
/// position after it (line length + 1 at the end) and `start` (when given)
/// its first position.  No word gives "".
std::string cmfWord(std::string_view line, int pos, int& nextPos, int* start = nullptr);

/// The next token of `line` at or after the 1-based position `pos`.
/// `tokenStart` receives its first position, `nextPos` the position after
/// it.  No token gives "".
std::string cmfToken(std::string_view line, int pos, int& tokenStart, int& nextPos);

}  // namespace vdln
