#pragma once
/// Reading command files into statements with the program's command-file
/// reader (comments, "!!", "#...#" labels, quoted names and the one-character
/// tokens "=", ";", "(", ")").

#include <string>
#include <vector>

#include "base/result.h"
#include "cmf/cmfreader.h"

namespace vdln::suite {

/// The tokens of one line after comment and label removal.
std::vector<std::string> tokenizeCmfLine(const std::string& rawLine);

/// Reads every statement of a command file.  Fails when the file cannot be
/// read or its last statement has no ";".
Result<std::vector<CmfStatement>> readCmfStatements(const std::string& path);

/// The statement as text: its tokens joined by blanks, then " ;".
std::string statementText(const CmfStatement& st);

}  // namespace vdln::suite
