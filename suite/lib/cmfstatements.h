#pragma once
/// Reads a command file into statements: comments after "!" are dropped
/// ("!!" stands for nothing and does not start a comment), labels between two
/// "#" are removed, and the text is cut into tokens (words, quoted strings,
/// and the one-character tokens "=", ";", "(", ")").  A statement is the list
/// of tokens up to its ";".

#include <string>
#include <vector>

#include "base/result.h"

namespace vdln::suite {

struct CmfStatement {
    std::vector<std::string> tokens;  ///< without the closing ";"
    int line = 0;                     ///< line where the statement starts
    /// The statement as text, tokens joined by blanks, with its ";".
    std::string text() const;
};

/// The tokens of one line after comment and label removal.
std::vector<std::string> tokenizeCmfLine(const std::string& rawLine);

/// Reads every statement of a command file.  Fails when the file cannot be
/// read or its last statement has no ";".
Result<std::vector<CmfStatement>> readCmfStatements(const std::string& path);

/// The same from lines held in memory (`name` is used in messages).
Result<std::vector<CmfStatement>> cmfStatementsFromLines(const std::string& name,
                                                         const std::vector<std::string>& lines);

/// True for a token written in double quotes.
bool isQuoted(const std::string& token);

}  // namespace vdln::suite
