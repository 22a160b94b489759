#include "archive/tabetc.h"

#include <memory>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/process.h"
#include "env/suite.h"
#include "env/tools.h"

namespace vdln {

std::vector<std::string> extractionStoredInput(const std::string& reportFile, const std::string& what,
                                               const std::string& auxTable) {
    return {"bat", "rpt", reportFile, " ", what, auxTable, " "};
}

std::vector<std::string> extractTabEtcFiles(ProcessLauncher& launcher, Dialogs& dialogs,
                                            const std::string& pryxoProgram, const std::string& tempDir,
                                            const std::string& modelFile) {
    std::vector<std::string> files;
    if (modelFile.empty() || pryxoProgram.empty() || !fileExists(pryxoProgram) || !directoryExists(tempDir))
        return files;
    const std::string auxTable =
        findFileIgnoringCase(changeExt(modelFile, iequals(extOf(modelFile), ".gss") ? ".gst" : ".axt"));
    if (!fileExists(auxTable)) return files;
    for (const char* kind : {"tab", "sti"}) {
        const std::string sti = JoinPath(tempDir, std::string("ext") + kind + ".sti");
        const std::string rpt = changeExt(sti, ".rpt");
        const std::string log = changeExt(sti, ".log");
        bestEffort(deleteFile(rpt), "an old report; the extraction is judged by the new one");
        if (!writeLinesAtomic(sti, extractionStoredInput(rpt, kind[0] == 't' ? "t" : "s", auxTable)))
            continue;
        std::uint32_t exitCode = 0;
        if (!RunWithTimeLimit(launcher, dialogs, pryxoProgram, {"-sti", sti, "-los", log}, tempDir, 120,
                              exitCode))
            continue;
        auto report = IniFile::load(rpt);
        if (!report) continue;
        if (!iequals(trim(report->getString("Result", "Output file used")), "yes") ||
            !iequals(trim(report->getString("Result", "Output file stored")), "yes"))
            continue;
        std::string out = trim(report->getString("Result", "Output file"));
        if (!out.empty()) out = ResolvePath(tempDir, out);
        if (!out.empty() && fileExists(out)) files.push_back(out);
    }
    return files;
}

std::optional<std::string> extractModelTextForViewing(ModelTextKind kind, ProcessLauncher& launcher,
                                                      Dialogs& dialogs, const std::string& pryxoProgram,
                                                      const std::string& tempDir,
                                                      const std::string& modelFile) {
    const bool tab = kind == ModelTextKind::Tab;
    const std::string what = tab ? "TAB file" : "Lexor STI file";
    const std::string status = tab ? "Extracting TAB file" : "Extracting Lexor STI file";
    const std::string failed = "Sorry. " + status + " failed.";
    if (pryxoProgram.empty() || !fileExists(pryxoProgram)) {
        reportProgramNotAvailable(dialogs, "pryxo");
        return std::nullopt;
    }
    const std::string auxTable =
        findFileIgnoringCase(changeExt(modelFile, iequals(extOf(modelFile), ".gss") ? ".gst" : ".axt"));
    if (modelFile.empty() || !fileExists(auxTable)) {
        dialogs.error(failed);
        return std::nullopt;
    }
    const std::string sti = JoinPath(tempDir, tab ? "exttab.sti" : "extsti.sti");
    const std::string rpt = changeExt(sti, ".rpt");
    const std::string log = changeExt(sti, ".log");
    bestEffort(deleteFile(rpt), "an old report; the extraction is judged by the new one");
    if (Status st = writeLinesAtomic(sti, extractionStoredInput(rpt, tab ? "t" : "s", auxTable)); !st) {
        dialogs.error(st.message() + "\r\n" + failed);
        return std::nullopt;
    }
    TCmdRec run;
    run.Command = pryxoProgram;
    run.Parameters = {"-sti", sti, "-los", log};
    run.CmdDir = tempDir;
    run.TimeLimit = 120;
    dialogs.waitBegin(status);
    dialogs.waitStage(status);
    const bool ran = LaunchCmd(run, launcher, dialogs);
    dialogs.waitEnd();
    if (!ran) {
        dialogs.error(run.TimedOut ? failed : "Could not launch windows Pryxo job !");
        return std::nullopt;
    }
    auto report = IniFile::load(rpt);
    if (!report) {
        dialogs.error(failed);
        return std::nullopt;
    }
    if (!iequals(trim(report->getString("Result", "Output file used")), "yes")) {
        dialogs.error("Sorry. It seems that a " + what + " was not used when Lexor was run.");
        return std::nullopt;
    }
    if (!iequals(trim(report->getString("Result", "Output file stored")), "yes")) {
        dialogs.error("Sorry. It seems that the " + what + " is not stored on the AXT/GST file.");
        return std::nullopt;
    }
    std::string out = trim(report->getString("Result", "Output file"));
    if (!out.empty()) out = ResolvePath(tempDir, out);
    if (out.empty() || !fileExists(out)) {
        dialogs.error(failed);
        return std::nullopt;
    }
    return out;
}

std::function<std::vector<std::string>()> tabEtcExtractor(Dialogs& dialogs, const std::string& programDir,
                                                          const std::string& tempDir,
                                                          const std::string& modelFile) {
    return [&dialogs, programDir, tempDir, modelFile] {
        // The extraction program of the program directory, under its
        // usual name or its plain one.
        std::string program = findFileIgnoringCase(JoinPath(programDir, kPryxoExe));
        if (!fileExists(program)) program = findFileIgnoringCase(JoinPath(programDir, "pryxo.exe"));
        PosixProcessLauncher launcher;
        return extractTabEtcFiles(launcher, dialogs, program, tempDir, modelFile);
    };
}

}  // namespace vdln
