#pragma once
/// The model's TAB file and the stored-input file of the model compiler,
/// extracted from the auxiliary table file (".axt", or ".gst" for a model
/// run by the interpreter) by the suite's extraction program, for the
/// "tabetc.zip" part of an ingredients archive.

#include <functional>
#include <string>
#include <vector>

#include "base/dialogs.h"

namespace vdln {

class ProcessLauncher;

/// The stored input that makes the extraction program write the TAB file
/// (`what` "t") or the stored-input file ("s") of the auxiliary table file
/// `auxTable`, reporting to `reportFile`.
std::vector<std::string> extractionStoredInput(const std::string& reportFile, const std::string& what,
                                               const std::string& auxTable);

/// Runs the extraction program (`pryxoProgram`) in `tempDir` for the TAB and
/// then the STI file of `modelFile` and returns the files it reported as
/// written ("Output file" in section "Result" of its report, when "Output
/// file used" and "Output file stored" are "yes").  A missing program, a
/// failed start or a report saying the file is not stored gives fewer files;
/// it never fails otherwise.
std::vector<std::string> extractTabEtcFiles(ProcessLauncher& launcher, Dialogs& dialogs,
                                            const std::string& pryxoProgram, const std::string& tempDir,
                                            const std::string& modelFile);

/// The extractor an archive save uses: the suite's extraction program of
/// `programDir`, run with the real launcher in `tempDir`.
std::function<std::vector<std::string>()> tabEtcExtractor(Dialogs& dialogs, const std::string& programDir,
                                                          const std::string& tempDir,
                                                          const std::string& modelFile);

}  // namespace vdln
