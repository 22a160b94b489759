#include "env/tools.h"

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/directories.h"

namespace vdln {

namespace {

// The existing spelling of a file (letter case ignored), or "".
std::string existing(const std::string& path) {
    if (path.empty()) return "";
    if (fileExists(path)) return path;
    std::string found = findFileIgnoringCase(path);
    return fileExists(found) ? found : "";
}

// The first PATH entry holding `file`, as a full path; "" when none.
std::string findOnPath(const Environment& env, const std::string& file) {
    for (const std::string& entry : split(env.variable("PATH"), ':')) {
        std::string dir = entry.empty() ? env.currentDirectory() : entry;
        std::string p = existing(JoinPath(dir, file));
        if (!p.empty()) return p;
    }
    return "";
}

bool isOneOf(const std::string& s, std::initializer_list<const char*> list) {
    for (const char* x : list)
        if (s == x) return true;
    return false;
}

std::string joinCrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += "\r\n";
        out += lines[i];
    }
    return out;
}

}  // namespace

std::string locateProgram(const Environment& env, const ToolLocations& settings, std::string_view name) {
    const std::string n = toLower(trim(name));
    const std::string progDir = env.programDirectory();
    if (n.empty()) return "";

    if (isOneOf(n, {"aggrex", "divero", "sectra", "tellur", "pryxo", "mergix"})) {
        std::string p = existing(JoinPath(progDir, n + "a.exe"));
        // The extraction program is also accepted under its plain name.
        if (p.empty() && n == "pryxo") p = existing(JoinPath(progDir, "pryxo.exe"));
        return p;
    }

    const bool viewerOrEditor = isOneOf(n, {"outlens", "gridlens", "editor"});
    if (n == "outlens" && !existing(settings.outlens).empty()) return existing(settings.outlens);
    if (n == "gridlens" && !existing(settings.gridlens).empty()) return existing(settings.gridlens);
    if (n == "editor" && !existing(settings.editor).empty()) return existing(settings.editor);

    std::vector<std::string> candidates =
        n == "editor" ? std::vector<std::string>{"scriba", "notarix"} : std::vector<std::string>{n};
    for (const std::string& cand : candidates) {
        const std::string exe = cand + ".exe";
        std::vector<std::string> tries;
        if (viewerOrEditor && !progDir.empty()) tries.push_back(JoinPath(progDir, exe));
        if (!trim(settings.suiteProgramsDir).empty())
            tries.push_back(JoinPath(trim(settings.suiteProgramsDir), exe));
        if (!progDir.empty()) tries.push_back(JoinPath(progDir, exe));
        for (const auto& t : tries)
            if (std::string p = existing(t); !p.empty()) return p;
        if (std::string p = findOnPath(env, exe); !p.empty())
            return isOneOf(cand, {"outlens", "gridlens", "notarix", "calvex"}) ? p : exe;
        if (std::string p = existing(JoinPath(kConstSvFolder, exe)); !p.empty()) return p;
        if (n == "editor" || n == "gridlens")
            if (std::string p = existing(JoinPath(JoinPath(kConstSvFolder, "DESKARA"), exe)); !p.empty())
                return p;
        if (n == "outlens")
            if (std::string p = existing(JoinPath(JoinPath(kConstSvFolder, "DESKARA/OUTLENS"), exe));
                !p.empty())
                return p;
    }
    return "";
}

std::string programNotAvailableText(std::string_view name) {
    return "The program " + toUpper(name) + " is not available.";
}

void reportProgramNotAvailable(Dialogs& dialogs, std::string_view name) {
    dialogs.message(MsgKind::Error, programNotAvailableText(name), BtnOk | BtnHelp);
}

bool chooseViewerProgram(Viewer viewer, const Environment& env, ToolLocations& settings, Dialogs& dialogs) {
    const std::string vname = viewer == Viewer::Outlens ? "Outlens" : "Gridlens";
    FileRequest req;
    req.title = "Select " + vname + " to use";
    req.initialDir = env.programDirectory();
    req.filter = vname + " Files (" + vname + ".EXE)|" + vname + ".exe";
    std::optional<std::string> pick = dialogs.chooseFile(req);
    if (!pick || trim(*pick).empty()) return false;
    (viewer == Viewer::Outlens ? settings.outlens : settings.gridlens) = trim(*pick);
    return true;
}

bool LaunchViewer(Viewer viewer, const std::string& fileArg, const std::string& modelDir,
                  const Environment& env, ToolLocations& settings, Dialogs& dialogs,
                  ProgramStarter& starter) {
    const std::string vname = viewer == Viewer::Outlens ? "Outlens" : "Gridlens";
    std::string program = locateProgram(env, settings, vname);
    if (program.empty()) {
        if (chooseViewerProgram(viewer, env, settings, dialogs))
            program = locateProgram(env, settings, vname);
        if (program.empty()) {
            reportProgramNotAvailable(dialogs, vname);
            return false;
        }
    }
    bool test = true;
    std::string testName = fileArg;
    if (!fileArg.empty() && fileArg[0] == '%') {
        test = false;
    } else if (viewer == Viewer::Outlens && fileArg.size() >= 2 && fileArg[0] == '#') {
        testName = fileArg.substr(2);
    }
    if (test && !fileExists(testName)) {
        dialogs.error("Cannot find file:\r\n" + testName);
        return false;
    }
    if (Status st = starter.startProgram(program, {fileArg}, modelDir); !st) {
        // The system's reason tells a missing program from one that may not run.
        dialogs.error("Could not launch " + vname + " !\r\n[" + st.message() + "]");
        return false;
    }
    return true;
}

bool OpenInEditor(const std::string& file, const Environment& env, const ToolLocations& settings,
                  Dialogs& dialogs, ProgramStarter& starter) {
    std::string program = locateProgram(env, settings, "editor");
    if (program.empty()) {
        reportProgramNotAvailable(dialogs, "editor");
        return false;
    }
    std::string dir = dirOf(file);
    if (dir.empty()) dir = env.currentDirectory();
    if (Status st = starter.startProgram(program, {file}, dir); !st) {
        dialogs.error("Unable to run " + program + "\r\n[" + st.message() + "]");
        return false;
    }
    return true;
}

std::string shellQuoted(std::string_view text) {
    if (text.empty()) return "''";
    bool safe = true;
    for (char c : text) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  std::string_view("_./:=+,@%-").find(c) != std::string_view::npos;
        if (!ok) safe = false;
    }
    if (safe) return std::string(text);
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::vector<std::string> changeDirLines(const std::string& dir) {
    return {"cd " + shellQuoted(dir)};
}

std::string commandLine(const std::string& program, const std::vector<std::string>& args) {
    std::string line = shellQuoted(program);
    for (const auto& a : args) line += " " + shellQuoted(a);
    return line;
}

Status writeBatchFile(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    return writeFileAtomic(path, text);
}

bool ShellCommands::openShell(const std::string& folder, const std::string& tempDir, const Environment& env,
                              Dialogs& dialogs, ProgramStarter& starter) {
    int n = m_last + 1;
    while (fileExists(JoinPath(tempDir, "wg" + std::to_string(n) + ".bat"))) ++n;
    const std::string bat = JoinPath(tempDir, "wg" + std::to_string(n) + ".bat");
    std::string shell = trim(env.variable("SHELL"));
    if (shell.empty()) shell = "/bin/sh";
    std::vector<std::string> lines = changeDirLines(folder);
    lines.push_back("exec " + shellQuoted(shell));
    if (Status st = writeBatchFile(bat, lines); !st) {
        dialogs.error(st.message());
        return false;
    }
    m_last = n;

    std::string program = "/bin/sh";
    std::vector<std::string> args{bat};
    if (!env.variable("DISPLAY").empty() || !env.variable("WAYLAND_DISPLAY").empty()) {
        for (const char* term : {"x-terminal-emulator", "xterm"}) {
            std::string t = findOnPath(env, term);
            if (!t.empty()) {
                program = t;
                args = {"-e", "/bin/sh", bat};
                break;
            }
        }
    }
    if (Status st = starter.startProgram(program, args, folder); !st) {
        dialogs.error("Unable to run " + program + "\r\n[" + st.message() + "]");
        return false;
    }
    return true;
}

Result<TempDirCheckJob> prepareTempDirCheck(const std::string& tempDir, const std::string& sectraProgram) {
    if (sectraProgram.empty() || !fileExists(sectraProgram))
        return Result<TempDirCheckJob>::fail("Program \r\n  " + sectraProgram + "\r\ndoes not exist.");
    TempDirCheckJob job;
    job.program = sectraProgram;
    job.stiFile = JoinPath(tempDir, "tdcheck.sti");
    job.logFile = JoinPath(tempDir, "tdcheck.log");
    job.reportFile = JoinPath(tempDir, "tdcheck.rpt");
    job.args = {"-sti", job.stiFile, "-los", job.logFile};
    if (Status st = deleteFile(job.reportFile); !st) return Result<TempDirCheckJob>(st);
    if (Status st = writeLinesAtomic(
            job.stiFile, {"bat", "rpt", job.reportFile, "tdc    ! Temporary Directory check", " "});
        !st)
        return Result<TempDirCheckJob>(st);
    return job;
}

std::string tempDirCheckStartFailureText() {
    return "Unable to start Temp Dir check.\r\nSuggest that you change the Temp Dir, restart the program and "
           "try "
           "again.";
}

std::string tempDirCheckResultText(const TempDirCheckJob& job, const std::string& tempDir, bool& ok) {
    ok = fileExists(job.reportFile);
    if (ok) return "Temporary Directory\r\n  " + tempDir + "\r\nseems ok.";
    return joinCrLf({
        "The program\r\n  " + job.program + "\r\ndid not produce the expected Report File",
        "  " + job.reportFile,
        "This error is probably because your Temporary Directory is not set appropriately.",
        "Click on the Help button for more details.",
        "You cannot run " + job.program + " successfully until you fix it.",
        "There is a problem with the Temporary Directory\r\n  " + tempDir,
        "We suggest that you change this to something simple",
        "  (for example, C:\\TEMP or C:\\TEMP\\SVTEMP)",
        "via main menu item \"Specify Temporary Directory\" under the Options menu.",
        "Then shut down the program and start it again.",
        "Then test the Temporary Directory again.",
    });
}

bool finishTempDirCheck(Dialogs& dialogs, const TempDirCheckJob& job, const std::string& tempDir) {
    bool ok = false;
    std::string text = tempDirCheckResultText(job, tempDir, ok);
    if (ok)
        dialogs.info(text);
    else
        dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp);
    return ok;
}

}  // namespace vdln
