#include "cmf/cmfwriter.h"

#include <algorithm>
#include <utility>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "cmf/methodlines.h"
#include "cmf/shockslices.h"
#include "model/filenames.h"
#include "model/simgrid.h"

namespace vdln {

std::string QuoteCmf(std::string_view s) {
    const bool enclosed = s.size() >= 2 && s.front() == '"' && s.back() == '"';
    if (!enclosed && s.find_first_of(" &") != std::string_view::npos) return "\"" + std::string(s) + "\"";
    return std::string(s);
}

std::string markerLine(std::string_view text, std::string_view name) {
    return std::string(text) + "\"" + std::string(name) + "\"";
}

std::string cmfOutputPath(const TSimRecord& rec, const CmfRequest& req) {
    return req.run == 1 ? CmfFile(rec, req.sim, req.run, req.noRerun)
                        : TopFile(rec, req.sim, req.run, req.noRerun);
}

Status copyUserFile(TxtFile& out, const std::string& path) {
    return TxtAppend2(out, path, true);
}

Status FileStatements(const TSimRecord& rec, const CmfRequest& req, int i, int r,
                      std::vector<std::string>& out) {
    const int first = r == 1 ? 1 : req.policyStart;
    const int numFiles = std::clamp(rec.NumFiles, 0, kMaxUserFiles);
    for (int n = 1; n <= numFiles; ++n) {
        const TSimFileEntry& f = rec.Files[n];
        const std::string& logical = f.Name.str();
        std::string x;
        bool special = false;
        if (req.reMode && i == first) {
            if (iequals(logical, "ROREXT") || iequals(logical, "ITER")) {
                special = true;
                if (req.useReNames)
                    x = iequals(logical, "ROREXT") ? req.reRorextName : req.reIterName;
                else
                    x = UpdatedFileName(rec, rec.NumYears, r, req.noRerun, n);
            } else if (iequals(logical, "EXTRA") && (r == 1 || req.policyStart == 1)) {
                special = true;
                x = req.reExtraName;
            }
        }
        if (!special && f.Usage == kUsageOutput) {
            // An output is a generated file of this simulation: it is named
            // like the updated files (with the next year when that option is
            // on), never like a first-year input.
            special = true;
            x = DataFileName(rec, i, r, req.noRerun, n);
        }
        if (!special) {
            auto resolved = ResolveLogicalFile(rec, i, r, req.policyStart, req.noRerun, n, req.firstYearList);
            if (!resolved) return resolved.status();
            x = resolved->name;
        }
        if (x.empty()) return Status::fail("No actual file for logical file " + logical);
        const std::string role = usageWord(f.Usage);
        std::string actual;
        if (f.Usage == kUsageOutput)
            actual = JoinPath(rec.WorkDir, x);
        else if (r != 1 && !req.jobDir.empty())
            actual = JoinPath(req.jobDir, nameOf(x));
        else
            actual = x;
        out.push_back("File " + logical + " = " + QuoteCmf(actual) + " ; ! " + role);
    }
    return Status::ok();
}

namespace {

Status writeLines(TxtFile& out, const std::vector<std::string>& lines) {
    for (const auto& l : lines)
        if (Status s = out.writeLine(l); !s) return s;
    return Status::ok();
}

// A blank line, the begin marker, the copied file, the end marker, a blank line.
Status framedCopy(TxtFile& out, const std::string& beginText, const std::string& endText,
                  const std::string& beginName, const std::string& endName, const std::string& path) {
    if (Status s = writeLines(out, {" ", markerLine(beginText, beginName)}); !s) return s;
    if (Status s = copyUserFile(out, path); !s) return s;
    return writeLines(out, {markerLine(endText, endName), " "});
}

Status framedShocks(TxtFile& out, const std::string& beginText, const std::string& endText,
                    const std::string& name, const std::string& path, int year) {
    if (Status s = writeLines(out, {" ", markerLine(beginText, name)}); !s) return s;
    if (Status s = AppendShocks(out, path, year); !s) return s;
    return writeLines(out, {markerLine(endText, name), " "});
}

Status closureAndShocks(TxtFile& out, const TSimRecord& rec, int i, int r, bool includeShocks,
                        bool extraPolicyShocks) {
    if (i < 0 || i > kMaxYears || r < 1 || r > 3)
        return Status::fail("Bad simulation " + std::to_string(i) + " or run " + std::to_string(r));
    const std::string& wd = rec.WorkDir;
    const std::string common = CommonClosureFile(rec, r);
    if (!common.empty()) {
        if (Status s = framedCopy(out, "! Begin Common Closure file ", "! End Common Closure file ", common,
                                  common, UserFilePath(wd, common));
            !s)
            return s;
    }
    if (i > 0) {
        const std::string period = ClosureFileForYear(rec, i, r);
        if (!period.empty()) {
            if (Status s = framedCopy(out, "! Begin Period-specific Closure file ",
                                      "! End Period-specific Closure file ", period, period,
                                      UserFilePath(wd, period));
                !s)
                return s;
        }
    }
    if (!includeShocks) return Status::ok();

    const int year = rec.Years[i];
    if (r == 3 && extraPolicyShocks) {
        const std::string commonPolicy = CommonShockFile(rec, 3);
        const std::string periodPolicy = i > 0 ? ExtraShockFileForYear(rec, i) : "";
        if (!commonPolicy.empty() || !periodPolicy.empty()) {
            if (Status s =
                    writeLines(out, {"!", "! The (Extra) Policy Shocks", "! -------------------------", "!"});
                !s)
                return s;
            if (!commonPolicy.empty()) {
                if (Status s = framedShocks(out, "! Begin Common Policy Shocks file ",
                                            "! End Common Policy Shocks file ", commonPolicy,
                                            UserFilePath(wd, commonPolicy), year);
                    !s)
                    return s;
            }
            if (!periodPolicy.empty()) {
                if (Status s = framedShocks(out, "! Begin Period-specific Policy Shocks file ",
                                            "! End Period-specific Policy Shocks file ", periodPolicy,
                                            UserFilePath(wd, periodPolicy), year);
                    !s)
                    return s;
            }
        }
    }
    if (extraPolicyShocks || r != 3) {
        if (Status s = writeLines(out, {"!", "! The Base Case Shocks", "! --------------------", "!"}); !s)
            return s;
    }
    if (r == 1) {
        const std::string commonShocks = CommonShockFile(rec, 1);
        if (!commonShocks.empty()) {
            if (Status s = framedShocks(out, "! Begin Common Shocks file ", "! End Common Shocks file ",
                                        commonShocks, UserFilePath(wd, commonShocks), year);
                !s)
                return s;
        }
        const std::string periodShocks = i > 0 ? ShockFileForYear(rec, i) : "";
        if (!periodShocks.empty()) {
            if (Status s = framedShocks(out, "! Begin Period-Specific Shocks file ",
                                        "! End Period-Specific Shocks file ", periodShocks,
                                        UserFilePath(wd, periodShocks), year);
                !s)
                return s;
        }
    }
    return Status::ok();
}

Status writeCommandFile(TxtFile& out, const TSimRecord& rec, const CmfRequest& req, const std::string& path) {
    const int i = req.sim;
    const int r = req.run;
    std::vector<std::string> lines{"! This Command file", "! " + path,
                                   "! was written by Vardelon (Version 3.30 built 31/Mar/2008)"};
    if (Status s = writeLines(out, lines); !s) return s;

    const std::string cmfStart = CMFStartFile(rec, r);
    if (!cmfStart.empty()) {
        if (Status s = framedCopy(out, "! Begin CMFSTART file ", "! End CMFSTART file ", cmfStart, cmfStart,
                                  cmfStart);
            !s)
            return s;
    }

    lines.clear();
    lines.push_back("auxiliary files = " + QuoteCmf(changeExt(req.modelProgram, "")) + ";");
    if (req.suiteRelease > 78199 && r != 1) lines.push_back("auto_shocks = no ;");
    lines.push_back("Solution file = " + QuoteCmf(changeExt(path, "")) + " ;");
    if (req.writeUdc) lines.push_back("UDC file = yes ;");
    WriteMethodLines(req.method, req.accuracy, lines);
    lines.push_back("verbal description = autosim " + RunStem(rec, i, r) + ";");
    if (Status s = FileStatements(rec, req, i, r, lines); !s) return s;
    const int numFiles = std::clamp(rec.NumFiles, 0, kMaxUserFiles);
    for (int n = 1; n <= numFiles; ++n) {
        const TSimFileEntry& f = rec.Files[n];
        if (!f.IsInput || !f.IsUpdated) continue;
        lines.push_back("updated file " + f.Name.str() + " = " +
                        QuoteCmf(JoinPath(rec.WorkDir, UpdatedFileName(rec, i, r, req.noRerun, n))) + ";");
    }
    lines.push_back("intermediate extra data = " + RunStem(rec, i, r) + " ;");
    if (Status s = writeLines(out, lines); !s) return s;

    return AddClosureShocksToCMF(out, rec, i, r, true, req.extraPolicyShocks);
}

}  // namespace

Status AddClosureShocksToCMF(TxtFile& out, const TSimRecord& rec, int i, int r, bool includeShocks,
                             bool extraPolicyShocks) {
    return closureAndShocks(out, rec, i, r, includeShocks, extraPolicyShocks).tag("[AddClosureShocksToCMF]");
}

Result<std::string> MakeCMF(const TSimRecord& rec, const CmfRequest& req) {
    if (req.sim < 1 || req.sim > std::min(rec.NumYears, kMaxYears) || req.run < 1 || req.run > 3)
        return Result<std::string>::fail("Bad simulation " + std::to_string(req.sim) + " or run " +
                                         std::to_string(req.run) + "[MakeCMF]");
    const std::string path = cmfOutputPath(rec, req);
    TxtFile out;
    if (Status s = TxtCreate(out, path); !s) return std::move(s).tag("[MakeCMF]");
    Status s = writeCommandFile(out, rec, req, path);
    if (s) s = TxtClose(out);
    if (!s) {
        bestEffort(TxtClose(out),
                   "the partly written file is deleted next and the first failure is reported");
        bestEffort(deleteFile(path), "removing a partly written file after a failure that is reported");
        return std::move(s).tag("[MakeCMF]");
    }
    return path;
}

}  // namespace vdln
