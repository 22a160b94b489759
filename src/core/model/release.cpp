#include "model/release.h"

#include <limits>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/tools.h"

namespace vdln {

namespace {

constexpr const char* kProgramName = "Vardelon";

/// A positive 32-bit value from an INI key, or 0.
std::int32_t positiveInt(const IniFile& ini, std::string_view section, std::string_view key) {
    long long v = ini.getInt(section, key, 0);
    if (v <= 0 || v > std::numeric_limits<std::int32_t>::max()) return 0;
    return static_cast<std::int32_t>(v);
}

}  // namespace

TSVVersionInfo ReadVersionInfo(const IniFile& file, std::string_view section) {
    TSVVersionInfo info;
    if (iequals(section, "Result")) {
        info.Release = positiveInt(file, section, "SVVer Large");
        if (info.Release <= 0) {
            std::string rel = trim(file.getString(section, "Release"));
            if (!rel.empty() && rel[0] >= '1' && rel[0] <= '9') info.Release = (rel[0] - '0') * 10000;
        }
        info.Version = positiveInt(file, section, "PRVer Integer");
        info.Compiler = trim(file.getString(section, "Fortran Compiler"));
    } else {
        info.Release = positiveInt(file, section, "Simulation Program SV Release");
        info.Version = positiveInt(file, section, "Simulation Program Version");
        info.Compiler = trim(file.getString(section, "Simulation Program Compiler"));
    }
    info.ReleaseKnown = info.Release > 0;
    info.VersionKnown = info.Version > 0;
    info.CompilerKnown = !info.Compiler.empty();
    return info;
}

TSVVersionInfo ReadVersionInfo(const std::string& fileName, std::string_view section) {
    auto ini = IniFile::load(fileName);
    if (!ini) return TSVVersionInfo();
    return ReadVersionInfo(ini.value(), section);
}

void WriteVersionInfo(IniFile& settings, const TSVVersionInfo& info) {
    settings.setInt("Environment", "Simulation Program SV Release", info.ReleaseKnown ? info.Release : 0);
    settings.setInt("Environment", "Simulation Program Version", info.VersionKnown ? info.Version : 0);
    settings.set("Environment", "Simulation Program Compiler", info.CompilerKnown ? info.Compiler : "");
}

VersionVerdict versionVerdict(const TSVVersionInfo& info) {
    if (!info.ReleaseKnown) return VersionVerdict::Accepted;
    if (info.Release > 69999) {
        if (!info.CompilerKnown) return VersionVerdict::CompilerUnknown;
        if (toLower(info.Compiler) != "f77l3") return VersionVerdict::Accepted;
        return VersionVerdict::CompilerRefused;
    }
    return VersionVerdict::ReleaseRefused;
}

std::string versionRefusalText(VersionVerdict verdict, const std::string& modelPath, bool interpreter) {
    std::string t = std::string("Sorry, you cannot use this version of ") + kProgramName + " with the Model" +
                    "\r\n" + "   " + modelPath + "\r\n";
    t += interpreter ? "The Calvex you are using" : "This program";
    switch (verdict) {
        case VersionVerdict::CompilerRefused:
            t += " was made with F77L3.";
            break;
        // A report that names no compiler must not be described as F77L3.
        case VersionVerdict::CompilerUnknown:
            t += " did not report its Fortran compiler.";
            break;
        default:
            t += " was not made SOLVANE Release 7.0 or later.";
            break;
    }
    t += "\r\n";
    t += "Either switch to a program made with Release 7.0 or later of SOLVANE,\r\n";
    t += " and not made with Fortran compiler F77L3,\r\n";
    t += std::string(" or use a version of ") + kProgramName + " that supports this program.\r\n";
    t += "\r\n";
    t += "[If you think the above information is incorrect, please load this model\r\n";
    t += " again, using the \"Change Model\" button on the Model/Data page.\r\n";
    t += " That will update information about this program.]";
    return t;
}

bool VersionAcceptable(const TSVVersionInfo& info, const std::string& modelPath, bool interpreter,
                       Dialogs& dialogs, const std::function<void()>& clearModel) {
    const VersionVerdict verdict = versionVerdict(info);
    if (verdict == VersionVerdict::Accepted) return true;
    dialogs.message(MsgKind::Error, versionRefusalText(verdict, modelPath, interpreter), BtnOk | BtnHelp);
    if (clearModel) clearModel();
    dialogs.info("The Model shown on the Model/Data page has been cleared.\r\nPlease select a new model.");
    return false;
}

Result<ReleaseJobFiles> WriteReleaseJobFiles(const std::string& tempDir, const std::string& program) {
    const char* tag = "[WriteReleaseJobBat]";
    ReleaseJobFiles f;
    f.sti = JoinPath(tempDir, "chkmodel.sti");
    f.bat = JoinPath(tempDir, "chkmodel.bat");
    f.rpt = JoinPath(tempDir, "chkmodel.rpt");
    f.log = JoinPath(tempDir, "chkmodel.log");
    f.directArgs = {"-sti", f.sti, "-log", f.log};
    if (Status s = deleteFile(f.rpt); !s) return std::move(s).tag(tag);
    if (Status s = writeLinesAtomic(f.sti, {"rpt", f.rpt, " ", "xxxxxx"}); !s) return std::move(s).tag(tag);
    std::vector<std::string> bat = changeDirLines(tempDir);
    bat.push_back(commandLine(program, f.directArgs));
    if (Status s = writeBatchFile(f.bat, bat); !s) return std::move(s).tag(tag);
    return f;
}

std::string missingReportText(const std::string& report, const std::string& program, bool afterFewSeconds) {
    const std::string stop = afterFewSeconds ? " after a few seconds." : ".";
    std::string t;
    if (program.empty())
        t = "The expected Report File\r\n  " + report + "\r\n" + " has not been created" + stop;
    else
        t = "The program\r\n  " + program + "\r\n" + "did not produce the expected Report File" + "\r\n" +
            "  " + report + stop;
    t += "\r\nThis error is probably because your Temporary Directory is not set appropriately.\r\n"
         "Click on the Help button for more details.";
    t += "\r\nYou cannot run ";
    if (!program.empty()) t += program + "\r\n" + " under ";
    t += std::string(kProgramName) + " successfully until you fix it.";
    return t;
}

ReleaseJobResult EvaluateReleaseJob(const ReleaseJobFiles& files, const std::string& program,
                                    Dialogs& dialogs) {
    ReleaseJobResult r;
    auto ini = fileExists(files.rpt) ? IniFile::load(files.rpt) : Result<IniFile>::fail("missing");
    if (!ini) {
        dialogs.message(MsgKind::Error, missingReportText(files.rpt, program), BtnOk | BtnHelp);
        return r;
    }
    r.reportFound = true;
    r.info = ReadVersionInfo(ini.value(), "Result");
    if (iequals(trim(ini->getString("Result", "Status")), "error")) {
        const std::string err = toLower(ini->getString("Result", "Error"));
        if (err.find("e-ax date problem") != std::string::npos) {
            r.dateProblem = true;
            dialogs.error(
                "Sorry. Your Model Auxiliary files were created at different times.\r\n"
                "You should not try to carry out simulations until you\r\n"
                " you recreate these Auxiliary files.");
        } else if (err.find("e-pg date problem") != std::string::npos) {
            r.dateProblem = true;
            dialogs.error(
                "Sorry. Your Lexor-generated program was created at\r\n"
                " a different time from your AXS and AXT files.\r\n"
                "You should not try to carry out simulations until you\r\n"
                " you rebuild the EXE and the Auxiliary files together.");
        }
    }
    return r;
}

}  // namespace vdln
