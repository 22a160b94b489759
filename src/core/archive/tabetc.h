#pragma once
/// The model's TAB file and the stored-input file of the model compiler,
/// extracted from the auxiliary table file (".axt", or ".gst" for a model
/// run by the interpreter) by the suite's extraction program, for the
/// "tabetc.zip" part of an ingredients archive.

#include <functional>
#include <optional>
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

/// What "&Main Lexor file" and "Lexor STI (&Condensation) file" show.
enum class ModelTextKind { Tab, Sti };

/// Extracts the model's TAB file (`Tab`) or the stored input of its compiler
/// (`Sti`) from the auxiliary table file, for viewing: writes "exttab.sti" or
/// "extsti.sti" in `tempDir`, runs `pryxoProgram` to its end ("Extracting
/// TAB file" / "Extracting Lexor STI file" in the wait window) and reads its
/// report.  Returns the file the report names; otherwise nullopt after one
/// of the messages: "The program PRYXO is not available." (no program),
/// "Could not launch windows Pryxo job !", "Sorry. It seems that a TAB file
/// was not used when Lexor was run.", "Sorry. It seems that the TAB file is
/// not stored on the AXT/GST file." (and the same for the "Lexor STI file"),
/// or "Sorry. Extracting TAB file failed." for anything else.
std::optional<std::string> extractModelTextForViewing(ModelTextKind kind, ProcessLauncher& launcher,
                                                      Dialogs& dialogs, const std::string& pryxoProgram,
                                                      const std::string& tempDir,
                                                      const std::string& modelFile);

/// The extractor an archive save uses: the suite's extraction program of
/// `programDir`, run with the real launcher in `tempDir`.
std::function<std::vector<std::string>()> tabEtcExtractor(Dialogs& dialogs, const std::string& programDir,
                                                          const std::string& tempDir,
                                                          const std::string& modelFile);

}  // namespace vdln
