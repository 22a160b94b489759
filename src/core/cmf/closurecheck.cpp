#include "cmf/closurecheck.h"

#include <algorithm>
#include <utility>

#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "cmf/cmfreader.h"
#include "cmf/cmfwriter.h"
#include "env/tools.h"
#include "model/filenames.h"
#include "model/simgrid.h"

namespace vdln {

bool CheckGridFiles(TSimRecord& rec, int firstColumn, int lastColumn, const GridRunRanges& ranges,
                    bool noRerun, bool quiet, Dialogs& dialogs) {
    RefreshGrid(rec);
    auto info = [&](const std::string& text) {
        if (!quiet) dialogs.info(text);
    };
    const int numYears = std::min(rec.NumYears, kMaxYears);
    bool runChecked[4] = {false, false, false, false};
    for (int r = 1; r <= 3; ++r) {
        const int first = std::max(ranges.first[r], 1);
        if (first > numYears) continue;
        runChecked[r] = true;
        const int last = std::min(ranges.last[r], numYears);
        int c0 = r == 1 ? firstColumn : 1;
        int c1 = r == 1 ? std::min(lastColumn, 2) : lastColumn;
        if (r == 2 && lastColumn == 4) c1 = 3;
        c0 = std::max(c0, 1);
        c1 = std::min(c1, 4);
        for (int i = first; i <= last; ++i) {
            for (int c = c0; c <= c1; ++c) {
                if (!rec.GridOK(i, c)) {
                    info("CMF file for year number " + std::to_string(i) + " column " + std::to_string(c) +
                         " does not exist.");
                    return false;
                }
                const std::string& stem = rec.GridStem(i, c);
                if (stem.empty() || stem == "?") continue;
                const std::string file = UserFilePath(rec.WorkDir, rec.GridFile(i, c));
                if (!CheckConstituents(file, true, quiet, dialogs)) {
                    info("Above refer to files referred to in file\r\n" + file);
                    return false;
                }
            }
        }
    }
    for (int r = 1; r <= 3; ++r) {
        if (!runChecked[r] || (r == 2 && noRerun)) continue;
        const std::string file = CMFStartFile(rec, r);
        if (file.empty()) continue;
        if (!CheckConstituents(file, true, quiet, dialogs)) {
            info("Above refer to files referred to in CMFStart file\r\n" + file);
            return false;
        }
    }
    return true;
}

Result<std::vector<std::string>> closureCheckBatLines(const std::string& workDir,
                                                      const ClosureCheckFiles& files,
                                                      const std::string& program,
                                                      const std::optional<std::string>& suiteDir) {
    std::vector<std::string> lines;
    if (suiteDir) lines.push_back("export SVDIR=" + shellQuoted(*suiteDir));
    if (workDir.empty() || workDir.front() != kPathSep)
        return Result<std::vector<std::string>>::fail("Working Directory " + workDir +
                                                      " is not a full path [ChangeDirBat]");
    for (const auto& l : changeDirLines(workDir)) lines.push_back(l);
    lines.push_back("rm -f " + shellQuoted(files.rpt));
    lines.push_back("rm -f " + shellQuoted(files.log));
    lines.push_back(
        "echo " +
        shellQuoted("** " + QuoteCmf(program) + " did not produce log file " + QuoteCmf(files.log)) + " > " +
        shellQuoted(files.log));
    lines.push_back(commandLine(program, {"-sti", files.sti, "-lon", files.log}));
    lines.push_back("if [ $? -ne 0 ]; then");
    lines.push_back("  echo 'error at model solution stage' > " + shellQuoted(files.flg));
    lines.push_back("fi");
    return lines;
}

namespace {

Status writeCheckCmf(TxtFile& out, const TSimRecord& rec, const ClosureCheckRequest& req, int r,
                     const std::string& cmfStart) {
    auto put = [&out](const std::vector<std::string>& lines) -> Status {
        for (const auto& l : lines)
            if (Status s = out.writeLine(l); !s) return s;
        return Status::ok();
    };
    if (!cmfStart.empty()) {
        if (Status s = put({" ", markerLine("! Begin CMFSTART file ", cmfStart)}); !s) return s;
        if (Status s = copyUserFile(out, cmfStart); !s) return s;
        if (Status s = put({markerLine("! End CMFSTART file ", cmfStart), " "}); !s) return s;
    }
    std::vector<std::string> lines{"auxiliary files = " + QuoteCmf(changeExt(req.modelProgram, "")) + " ;"};
    for (const std::string& l : req.firstYearList)
        lines.push_back(toLower(leftStr(l, 15)) == "file (terminal)" ? "! " + l : l);
    if (Status s = put(lines); !s) return s;
    if (Status s = AddClosureShocksToCMF(out, rec, req.sim, r, req.jobKind == "oneshcheck", true); !s)
        return s;
    lines.clear();
    if (!req.environmentFile.empty()) lines.push_back("save Environment file " + req.environmentFile + " ;");
    for (const char* l :
         {"nds = yes ;", "nwr = yes ;", "neq = yes ;", "nas = yes ;", "range test initial values = no ;"})
        lines.push_back(l);
    if (Status s = put(lines); !s) return s;
    return TxtClose(out);
}

}  // namespace

Result<ClosureCheckFiles> CheckClosureCMF(const TSimRecord& rec, const ClosureCheckRequest& req,
                                          Dialogs& dialogs) {
    const char* tag = "[CheckClosureCMF]";
    if (req.jobKind != "oneclcheck" && req.jobKind != "oneshcheck")
        return Result<ClosureCheckFiles>::fail(
            internalErrorText("Unknown closure check kind " + req.jobKind) + tag);
    if (req.sim < 0 || req.sim > std::min(rec.NumYears, kMaxYears) || req.column < 1 || req.column > 4)
        return Result<ClosureCheckFiles>::fail(internalErrorText("Bad grid cell " + std::to_string(req.sim) +
                                                                 ", " + std::to_string(req.column)) +
                                               tag);
    const int r = req.column >= 3 ? 3 : 1;

    const std::string cmfStart = CMFStartFile(rec, r);
    if (!cmfStart.empty() && !CheckConstituents(cmfStart, true, false, dialogs)) {
        const std::string text =
            "At least one constituent of the CMFStart file\r\n" + cmfStart + "\r\n" + " does not exist.";
        dialogs.error(text);
        return Result<ClosureCheckFiles>::fail(text);
    }

    ClosureCheckFiles files;
    files.cmf = JoinPath(req.jobDir, req.jobKind.substr(0, 3) + runLetter(r) +
                                         std::to_string(rec.StartYear + req.sim - 1) + ".cmf");
    files.sti = changeExt(files.cmf, ".sti");
    files.bat = changeExt(files.cmf, ".bat");
    files.rpt = changeExt(files.cmf, ".rpt");
    files.log = changeExt(files.cmf, ".log");
    files.flg = changeExt(files.cmf, ".flg");

    {
        TxtFile out;
        if (Status s = TxtCreate(out, files.cmf); !s) return std::move(s).tag(tag);
        if (Status s = writeCheckCmf(out, rec, req, r, cmfStart); !s) return std::move(s).tag(tag);
    }
    {
        TxtFile out;
        if (Status s = TxtCreate(out, files.sti); !s) return std::move(s).tag(tag);
        for (const std::string& l : {std::string("rpt"), files.rpt, std::string("cmf"), files.cmf})
            if (Status s = out.writeLine(l); !s) return std::move(s).tag(tag);
        if (Status s = TxtClose(out); !s) return std::move(s).tag(tag);
    }
    auto bat = closureCheckBatLines(rec.WorkDir, files, req.modelProgram, req.suiteDir);
    if (!bat) return std::move(bat).tag(tag).status();
    if (Status s = writeBatchFile(files.bat, *bat); !s) return std::move(s).tag(tag);
    return files;
}

}  // namespace vdln
