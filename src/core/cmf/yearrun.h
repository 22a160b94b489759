#pragma once
/// The small input files of one simulation's processes: the model
/// program's stored-input file, and for the run that turns the Base results
/// into shocks, the environment command file and the stored-input files of
/// the conversion programs (map step and BOT step).

#include <functional>
#include <string>
#include <string_view>

#include "base/dialogs.h"
#include "base/result.h"
#include "cmf/cmfwriter.h"
#include "model/simrecord.h"

namespace vdln {

/// Finds a suite conversion program by its short name ("tellur", "sectra");
/// returns "" when it is not available.
using ProgramLocator = std::function<std::string(std::string_view name)>;

/// The files `WriteRunBat` wrote (empty names for files not written).
struct RunBatFiles {
    std::string simSti;  ///< the model program's stored input for the simulation
    std::string envSti;  ///< environment step: stored input
    std::string envCmf;  ///< environment step: command file
    std::string mapSti;  ///< map step: "st2.st2"
    std::string botSti;  ///< BOT step: "st9.st9" (SOL files) or "st3.st3"
    std::string tellur;  ///< the located conversion programs
    std::string sectra;
};

/// Writes the input files of simulation `req.sim` of run `req.run` in the
/// Temporary Directory `tempDir` (`req` as for `MakeCMF`; its `jobDir` is
/// the run's job directory).  For the BOT-making run (3 in no-rerun mode,
/// else 2) also the environment, map and BOT-step files; with
/// `useSolForShocks` the BOT step reads the results file, otherwise the
/// Base solution.  An empty model program shows "Model or program name blank
/// in writing Bat file." and fails.  A file that cannot be written or copied,
/// or a conversion program that cannot be located, fails with "[WriteRunBat]"
/// appended; files already written stay in place.
Result<RunBatFiles> WriteRunBat(const TSimRecord& rec, const CmfRequest& req, const std::string& tempDir,
                                bool useSolForShocks, const ProgramLocator& locate, Dialogs& dialogs);

}  // namespace vdln
