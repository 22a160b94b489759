#include "cmf/yearrun.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/paths.h"
#include "base/textfile.h"
#include "env/tools.h"
#include "model/filenames.h"
#include "model/simgrid.h"

namespace vdln {

namespace {

Status writeTextFile(const std::string& path, const std::vector<std::string>& lines) {
    TxtFile f;
    if (Status s = TxtCreate(f, path); !s) return s;
    for (const auto& l : lines)
        if (Status s = f.writeLine(l); !s) return s;
    return TxtClose(f);
}

Status writeEnvironmentCmf(const TSimRecord& rec, const CmfRequest& req, int b, const std::string& path,
                           const std::string& tempDir, const std::string& stem) {
    TxtFile f;
    if (Status s = TxtCreate(f, path); !s) return s;
    auto put = [&f](const std::vector<std::string>& lines) -> Status {
        for (const auto& l : lines)
            if (Status s = f.writeLine(l); !s) return s;
        return Status::ok();
    };
    const std::string cmfStart = CMFStartFile(rec, req.run);
    if (!cmfStart.empty())
        if (Status s = copyUserFile(f, cmfStart); !s) return s;
    std::vector<std::string> lines{
        "auxiliary files = " + QuoteCmf(changeExt(req.modelProgram, "")) + ";",
        "save environment file " + QuoteCmf(JoinPath(tempDir, stem)) + " ;",
        "nds = yes ;",
        "nwr = yes ;",
        "neq = yes ;",
    };
    if (Status s = FileStatements(rec, req, req.sim, b, lines); !s) return s;
    if (Status s = put(lines); !s) return s;

    const std::string common = CommonClosureFile(rec, 3);
    if (!common.empty()) {
        if (Status s = put({" ", markerLine("! Begin Common Closure file ", common)}); !s) return s;
        if (Status s = copyUserFile(f, UserFilePath(rec.WorkDir, common)); !s) return s;
        if (Status s = put({markerLine("! End Common Closure file ", common), " "}); !s) return s;
    }
    const std::string period = ClosureFileForYear(rec, req.sim, 3);
    if (!period.empty()) {
        if (Status s = put({" ", markerLine("! Begin Period-specific Closure file ", period)}); !s) return s;
        if (Status s = copyUserFile(f, UserFilePath(rec.WorkDir, period)); !s) return s;
        if (Status s =
                put({markerLine("! End Period-specific Closure file ", JoinPath(rec.WorkDir, period)), " "});
            !s)
            return s;
    }
    return TxtClose(f);
}

}  // namespace

Result<RunBatFiles> WriteRunBat(const TSimRecord& rec, const CmfRequest& req, const std::string& tempDir,
                                bool useSolForShocks, const ProgramLocator& locate, Dialogs& dialogs) {
    const char* tag = "[WriteRunBat]";
    if (req.modelProgram.empty()) {
        const std::string text = "Model or program name blank in writing Bat file.";
        dialogs.error(text);
        return Result<RunBatFiles>::fail(text);
    }
    const int i = req.sim;
    const int r = req.run;
    if (i < 1 || i > std::min(rec.NumYears, kMaxYears) || r < 1 || r > 3)
        return Result<RunBatFiles>::fail("Bad simulation " + std::to_string(i) + " or run " +
                                         std::to_string(r) + tag);
    const std::string& T = tempDir;
    RunBatFiles files;

    files.simSti = StiFile(rec, i, r, req.noRerun, T);
    if (Status s = writeTextFile(files.simSti, {"bat", "rpt", RptFile(rec, i, r, req.noRerun, T), "cmf",
                                                CmfFile(rec, i, r, req.noRerun)});
        !s)
        return std::move(s).tag(tag);

    const int b = botRun(req.noRerun);
    if (r != b) return files;

    const std::string L = RunStem(rec, i, r);
    const std::string tl = JoinPath(T, L);

    files.envSti = BotStepInputFile(rec, i, r, T, BotStepInput::Environment);
    files.envCmf = changeExt(files.envSti, ".cmf");
    if (Status s =
            writeTextFile(files.envSti, {"bat", "rpt", changeExt(files.envSti, ".rpt"), "cmf", files.envCmf});
        !s)
        return std::move(s).tag(tag);
    if (Status s = writeEnvironmentCmf(rec, req, b, files.envCmf, T, L); !s) return std::move(s).tag(tag);

    files.tellur = locate ? locate("tellur") : "";
    if (files.tellur.empty()) return Result<RunBatFiles>::fail(programNotAvailableText("tellur") + tag);
    files.mapSti = BotStepInputFile(rec, i, r, T, BotStepInput::Map);
    if (Status s =
            writeTextFile(files.mapSti, {"bat", "rpt", changeExt(files.mapSti, ".rpt"), " ", "e  ! Env file",
                                         tl, "s  ! SS map", tl + ".map", "x  ! Just the exog ones"});
        !s)
        return std::move(s).tag(tag);

    const std::string bot = BotFile(rec, i, req.noRerun);
    if (useSolForShocks) {
        files.tellur = locate("tellur");
        if (files.tellur.empty()) return Result<RunBatFiles>::fail(programNotAvailableText("tellur") + tag);
        files.botSti = BotStepInputFile(rec, i, r, T, BotStepInput::BotFromResults);
        if (Status s = writeTextFile(
                files.botSti, {"bat", "rpt", changeExt(files.botSti, ".rpt"), " ", "e    ! environment file",
                               tl + "    ! EN4 file name", "b    ! write bot file",
                               changeExt(bot, "") + "    ! Output BOT file",
                               BotResultsFile(rec, i, req.noRerun) + "    ! Sol file to use",
                               "x  ! just exogenous variables"});
            !s)
            return std::move(s).tag(tag);
    } else {
        files.sectra = locate("sectra");
        if (files.sectra.empty()) return Result<RunBatFiles>::fail(programNotAvailableText("sectra") + tag);
        files.botSti = BotStepInputFile(rec, i, r, T, BotStepInput::BotFromSolution);
        if (Status s = writeTextFile(
                files.botSti,
                {"bat", "rpt", changeExt(files.botSti, ".rpt"), "nlv", "shk  ! Write SHK file", " ",
                 changeExt(SolutionFile(rec, i, 1, req.noRerun), "") + "    ! Solution file",
                 "c  ! the cum column", "y  ! use SS mapping file", tl + ".map" + "    ! SS Map file",
                 bot + "    ! Output BOT file"});
            !s)
            return std::move(s).tag(tag);
    }
    return files;
}

}  // namespace vdln
