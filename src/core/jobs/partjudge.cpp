#include "jobs/partjudge.h"

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "env/suite.h"

namespace vdln {

void PartJudge::appendPartLog(const TOneDosJob& slot) {
    if (!fileExists(slot.LogFile)) return;
    const std::string lox = changeExt(slot.LogFile, ".lox");
    TxtFile out;
    Status s = TxtCreate(out, lox);
    if (s && fileExists(slot.StepLogFile)) s = TxtAppend(out, slot.StepLogFile);
    if (s) s = TxtAppend(out, slot.LogFile);
    Status c = TxtClose(out);
    if (s && c)
        bestEffort(copyFile(lox, slot.StepLogFile, false),
                   "the step log keeps its earlier text; the part's own log is still there");
    bestEffort(deleteFile(lox), "scratch file of the step log");
}

// The model program tells which release made it.
void PartJudge::learnRelease(const std::string& reportFile) {
    auto ini = IniFile::load(reportFile);
    if (!ini) return;
    if (auto x = parseInt(ini->getString(kReportSection, kReportSvVerLarge))) {
        m_version.Release = static_cast<std::int32_t>(*x);
        m_version.ReleaseKnown = true;
    }
    if (auto x = parseInt(ini->getString(kReportSection, kReportPrVerInteger))) {
        m_version.Version = static_cast<std::int32_t>(*x);
        m_version.VersionKnown = true;
    }
    // An empty "Fortran Compiler=" names no compiler.
    if (std::string c = trim(ini->getString(kReportSection, kReportFortranCompiler)); !c.empty()) {
        m_version.Compiler = c;
        m_version.CompilerKnown = true;
    }
}

PartVerdict PartJudge::judge(const TOneDosJob& slot) {
    appendPartLog(slot);
    PartVerdict v;
    if (fileExists(slot.ReportFile)) {
        auto rep = readSuiteReport(slot.ReportFile);
        if (rep && rep->ok()) v.reportOk = true;
        if (rep && !rep->ok()) v.reportedError = rep->error;
        if (rep && (slot.JobPart == PartKind::Sim || slot.JobPart == PartKind::Env))
            learnRelease(slot.ReportFile);
    }
    v.outputWritten = fileExists(slot.OutputFile);
    return v;
}

std::string PartJudge::errorLog(const TOneDosJob& slot) {
    if (fileExists(slot.LogFile)) return slot.LogFile;
    if (!fileExists(slot.ReportFile)) return "";
    auto ini = IniFile::load(slot.ReportFile);
    if (!ini) return "";
    std::string named = ini->getString(kReportSection, kReportLogFile);
    return !named.empty() && fileExists(named) ? named : "";
}

}  // namespace vdln
