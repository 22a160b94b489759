#include "archive/tabetc.h"

#include <memory>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/process.h"
#include "env/suite.h"

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
