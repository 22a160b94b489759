#include "env/directories.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "env/joblock.h"

namespace vdln {

namespace {

constexpr const char* kTestFile = "testfil.$$$";
constexpr const char* kWriteProbeFile = "g_we8~2.$@$";
constexpr size_t kTempMaxLength = 50;

// Creates, closes and erases an empty text file; true when all three work.
bool probeFile(const std::string& path) {
    TxtFile f;
    if (!TxtCreate(f, path)) return false;
    bool closed = TxtClose(f).isOk();
    bool erased = ::unlink(path.c_str()) == 0;
    return closed && erased;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += "\r\n";
        out += lines[i];
    }
    return out;
}

// Names of the regular files directly in a folder.
std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> out;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return out;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::lstat(JoinPath(dir, name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) out.push_back(name);
    }
    ::closedir(d);
    return out;
}

bool sameDirectory(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    if (iequals(normaliseDirectory(a, "/"), normaliseDirectory(b, "/"))) return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace

std::string normaliseDirectory(const std::string& dir, const std::string& currentDir) {
    std::string d = trim(dir);
    if (d.size() > 1 && d.back() == kPathSep) d.pop_back();
    d = trim(d);
    if (d.empty()) return "";
    std::filesystem::path p(d);
    if (!p.is_absolute()) p = std::filesystem::path(currentDir.empty() ? "/" : currentDir) / p;
    std::string r = p.lexically_normal().string();
    while (r.size() > 1 && r.back() == kPathSep) r.pop_back();
    return r;
}

std::string DirectorySources::displayName(int code) {
    static const char* const names[] = {
        "Named Folder", "Windows Folder", "TMP Folder",     "TEMP Folder",       "HOMEPATH Folder",
        "SYSTEMDRIVE",  "SVTEMP Folder",  "SVKEEP Folder",  "C:\\TEMP",          "SVDIR Folder",
        "C:\\SV",       "User Folder",    "AppData Folder", "Current Directory", "Application Folder",
        "C:\\",
    };
    if (code < 0 || code > 15) return "";
    return names[code];
}

std::string DirectorySources::raw(int code, const std::string& named) const {
    switch (code) {
        case kSrcNamed:
            return named;
        case kSrcWindows:
            return m_fixed.windows;
        case kSrcTmp:
            return m_env.variable("TMP");
        case kSrcTemp:
            return m_env.variable("TEMP");
        case kSrcHomePath:
            return m_env.variable("HOME");
        case kSrcSystemDrive:
            return m_fixed.systemDrive;
        case kSrcSvTemp:
            return m_env.variable("SVTEMP");
        case kSrcSvKeep:
            return m_env.variable("SVKEEP");
        case kSrcConstTemp:
            return m_fixed.constTemp;
        case kSrcSvDir:
            return m_env.variable("SVDIR");
        case kSrcConstSv:
            return m_fixed.constSv;
        case kSrcUser:
            return m_env.variable("HOME");
        case kSrcAppData: {
            std::string x = m_env.variable("XDG_CONFIG_HOME");
            if (!trim(x).empty()) return x;
            std::string home = trim(m_env.variable("HOME"));
            return home.empty() ? "" : JoinPath(home, ".config");
        }
        case kSrcCurrent:
            return m_env.currentDirectory();
        case kSrcApplication:
            return m_env.programDirectory();
        case kSrcConstRoot:
            return m_fixed.constRoot;
        default:
            return "";
    }
}

Result<std::string> DirectorySources::directory(int code, const std::string& named) const {
    if (code < 0 || code > 15) return Result<std::string>::fail(kUnexpectedSourceText);
    return normaliseDirectory(raw(code, named), m_env.currentDirectory());
}

std::string DirectoryChoice::logText() const {
    return joinLines(log);
}

DirectoryChoice chooseDirectory(const DirectorySources& sources, const DirectoryRequest& request) {
    DirectoryChoice choice;
    auto& log = choice.log;
    for (int code : request.candidates) {
        Result<std::string> got = sources.directory(code, request.namedFolder);
        if (!got) {
            log.push_back(got.message());
            continue;
        }
        const std::string name = DirectorySources::displayName(code);
        const std::string& dir = *got;
        if (dir.empty()) {
            log.push_back(name + " is not defined");
            continue;
        }
        log.push_back(name + " is set to " + dir +
                      (directoryExists(dir) ? " (exists)" : " (does not exist)"));
        if (code != kSrcSvTemp && code != kSrcSvKeep) {
            bool nonAscii = false, space = false;
            for (unsigned char c : dir) {
                if (c < 32 || c > 126) nonAscii = true;
                if (c == ' ') space = true;
            }
            if (request.rejectNonAscii && nonAscii) {
                log.push_back("Problem: directory name contained one or more non-ASCII characters");
                continue;
            }
            if (request.rejectSpaces && space) {
                log.push_back("Problem: directory name contained one or more spaces");
                continue;
            }
            if (request.maxLength > 0 && dir.size() > request.maxLength) {
                log.push_back("Problem: directory name is too long");
                continue;
            }
        }
        std::string sub = request.subPath.empty() ? dir : JoinPath(dir, request.subPath);
        bool exists = directoryExists(sub);
        log.push_back("   Subdirectory " + sub + (exists ? " exists" : " does not exist"));
        if (!exists) {
            if (!makeDirectories(sub) || !directoryExists(sub)) {
                log.push_back("   Could not create subdirectory " + sub);
                continue;
            }
            log.push_back("   Created subdirectory " + sub);
        }
        if (probeFile(JoinPath(sub, request.testFile))) {
            log.push_back("   Successfully created file " + request.testFile + " in subdirectory " + sub);
            choice.directory = sub;
            return choice;
        }
        log.push_back("   Could not create file " + request.testFile + " in subdirectory " + sub);
    }
    return choice;
}

std::string temporarySubPath(bool withProgramDir) {
    return withProgramDir ? JoinPath("SVTEMP", std::string(kProgramCode) + "temp") : "SVTEMP";
}

std::string keepSubPath(bool withProgramDir) {
    return withProgramDir ? JoinPath("SVKEEP", std::string(kProgramCode) + "keep") : "SVKEEP";
}

DirectoryChoice chooseTemporaryDirectory(const DirectorySources& sources, const std::string& requested) {
    DirectoryRequest req;
    req.testFile = kTestFile;
    req.maxLength = kTempMaxLength;
    req.rejectSpaces = true;
    req.rejectNonAscii = true;
    DirectoryChoice first;
    if (!trim(requested).empty()) {
        req.candidates = {kSrcNamed};
        req.namedFolder = requested;
        first = chooseDirectory(sources, req);
        if (first.directory) return first;
    }
    req.candidates = {kSrcSvTemp, kSrcTmp, kSrcTemp, kSrcConstTemp, kSrcWindows};
    req.namedFolder.clear();
    req.subPath = temporarySubPath();
    DirectoryChoice rest = chooseDirectory(sources, req);
    first.log.insert(first.log.end(), rest.log.begin(), rest.log.end());
    first.directory = rest.directory;
    return first;
}

DirectoryChoice chooseKeepDirectory(const DirectorySources& sources) {
    DirectoryRequest req;
    req.candidates = {kSrcSvKeep, kSrcUser, kSrcHomePath, kSrcConstRoot};
    req.subPath = keepSubPath();
    req.testFile = kTestFile;
    return chooseDirectory(sources, req);
}

bool isWriteableDirectory(const std::string& dir) {
    if (trim(dir).empty() || !directoryExists(dir)) return false;
    return probeFile(JoinPath(dir, kWriteProbeFile));
}

std::vector<std::string> listDirectorySources(const DirectorySources& sources) {
    std::vector<std::string> lines;
    for (int code = 1; code <= 15; ++code) {
        Result<std::string> got = sources.directory(code);
        std::string dir = got ? *got : "";
        std::string line = DirectorySources::displayName(code) + " = ";
        if (dir.empty())
            line += "UNDEFINED";
        else if (directoryExists(dir))
            line += dir + "    Exists," + (isWriteableDirectory(dir) ? " Writeable" : " Non-Writeable");
        else
            line += dir + "    NonExistent";
        lines.push_back(line);
    }
    return lines;
}

bool isSimpleTempDirName(const std::string& name) {
    for (char c : name) {
        bool ok = c == ' ' || c == '-' || (c >= '0' && c <= '9') || c == ':' || (c >= 'A' && c <= 'Z') ||
                  c == '\\' || c == kPathSep || c == '_' || (c >= 'a' && c <= 'z') || c == '~';
        if (!ok) return false;
    }
    return true;
}

std::string tempDirNameWarningText(const std::string& tempDir) {
    const std::string prog = kProgramName;
    return joinLines({
        prog + " is currently attempting to use the folder",
        tempDir,
        "as a directory for temporary files.",
        std::string("We suggest that the name") + " of the Temporary Directory contains only" +
            " letters (A-Z) and digits (0-9).",
        "[  :  and  \\  are also allowed.]",
        "The folder currently set (see above) contains other characters.",
        std::string("We encourage you to choose a different folder to") +
            " be the Temporary Directory used by " + prog + " via the" +
            " \"Specify Temporary Directory\" menu item" + "  under the Options menu.",
        "[Click on the Ignore button if you do not want this warning shown again.]",
    });
}

bool warnAboutTempDirName(Dialogs& dialogs, const std::string& tempDir, bool& warnOption) {
    if (!warnOption || isSimpleTempDirName(tempDir)) return false;
    Button b =
        dialogs.message(MsgKind::Information, tempDirNameWarningText(tempDir), BtnOk | BtnIgnore | BtnHelp);
    if (b == BtnIgnore) warnOption = false;
    return true;
}

std::string refuseTempDirText(const std::string& dir, const SpecifyTempDirContext& context) {
    const std::string sorry =
        "Sorry, the directory\r\n" + dir + "\r\ncannot be used as the temporary directory";
    std::string d = normaliseDirectory(dir, "/");
    bool unusable = d.size() <= 3 || d == "/";
    std::string parent = dirOf(d);
    std::string last = nameOf(d);
    if (parent == "/" && (iequals(last, "windows") || iequals(last, "winnt"))) unusable = true;
    if (sameDirectory(d, context.workDir) || sameDirectory(d, context.programDir)) unusable = true;
    if (unusable) return sorry + ".";
    for (const auto& f : filesIn(d))
        if (iendsWith(f, ".exe"))
            return sorry + " since\r\nit contains .EXE files which it may not be safe to delete.";
    return "";
}

bool SpecifyTemporaryDirectory(Dialogs& dialogs, const SpecifyTempDirContext& context,
                               std::string& tempDirSetting) {
    const std::string prog = kProgramName;
    std::string intro = joinLines({
        prog + " writes files to a temporary directory.",
        "This directory should be on a drive with at least 5-10 Mb free.",
        "Each time you exit from " + prog + ", all files in this " +
            "directory are deleted, so you should not use this directory for any other purpose.",
        "This temporary directory is currently",
        context.current,
        "Do you wish to change it?",
    });
    if (dialogs.message(MsgKind::Confirmation, intro, BtnYes | BtnNo | BtnHelp) != BtnYes) return false;

    std::string chosen;
    bool useDefault = false;
    if (!trim(context.defaultDir).empty() && directoryExists(context.defaultDir)) {
        std::string offer = "You can either\r\n1. Change to the default directory, which is\r\n" +
                            context.defaultDir +
                            "\r\nor\r\n2. Specify the directory via a file dialog.\r\n"
                            "Click on \"Yes\" for option 1 and \"No\" for option 2.";
        Button b = dialogs.message(MsgKind::Confirmation, offer, BtnYes | BtnNo | BtnCancel);
        if (b == BtnYes)
            useDefault = true;
        else if (b != BtnNo)
            return false;
    }
    if (useDefault) {
        chosen = context.defaultDir;
    } else {
        std::optional<std::string> pick =
            dialogs.chooseFolder("Specify Temporary Directory", context.current);
        if (!pick || trim(*pick).empty()) return false;
        chosen = normaliseDirectory(*pick, "/");
        std::string refusal = refuseTempDirText(chosen, context);
        if (!refusal.empty()) {
            dialogs.error(refusal);
            return false;
        }
        if (!filesIn(chosen).empty()) {
            std::string q = "The directory\r\n" + chosen +
                            "\r\nyou have nominated is not empty. Do you want to continue?";
            if (dialogs.message(MsgKind::Confirmation, q, BtnYes | BtnNo) != BtnYes) return false;
        }
    }
    if (!isSimpleTempDirName(chosen)) {
        std::string q = joinLines({
            std::string("We recommend that the name of the Temporary Directory") +
                " contains only letters (A-Z) and digits (0-9).",
            "The name you have just chosen",
            chosen,
            "contains other characters.",
            "Do you wish to continue with this choice?",
        });
        if (dialogs.message(MsgKind::Confirmation, q, BtnYes | BtnNo) != BtnYes) {
            dialogs.info("Making no change in the name of the Temporary Directory.");
            return false;
        }
    }
    tempDirSetting = chosen;
    dialogs.info("This new directory will be used when you run \r\n" + prog + " the next time.");
    return true;
}

std::string startupFailureText(bool keep) {
    const std::string prog = kProgramName;
    if (keep)
        return "Serious problem.\r\n" + prog +
               " cannot identify a suitable directory for its Keep Directory.\r\n" +
               "You need to set the value of Environment variable SVKEEP appropriately.\r\n" +
               "Click on the Help button for detailed advice about this.";
    return "Serious problem.\r\n" + prog + " cannot identify a suitable directory for temporary files.\r\n" +
           "You need to set the value of Environment variable SVTEMP appropriately.\r\n" +
           "Click on the Help button for detailed advice about this.";
}

std::string startupShutdownText() {
    return std::string(kProgramName) + " will now shut down so that you can rectify this serious problem.";
}

Result<StartupDirectories> chooseStartupDirectories(const DirectorySources& sources, Dialogs& dialogs) {
    StartupDirectories dirs;
    DirectoryChoice temp = chooseTemporaryDirectory(sources);
    dirs.tempLog = temp.log;
    if (!temp.directory) {
        dialogs.message(MsgKind::Error, startupFailureText(false), BtnOk | BtnHelp);
        dialogs.error(startupShutdownText());
        return Result<StartupDirectories>::fail(startupFailureText(false));
    }
    dirs.tempDir = *temp.directory;
    DirectoryChoice keep = chooseKeepDirectory(sources);
    dirs.keepLog = keep.log;
    if (!keep.directory) {
        dialogs.message(MsgKind::Error, startupFailureText(true), BtnOk | BtnHelp);
        dialogs.error(startupShutdownText());
        return Result<StartupDirectories>::fail(startupFailureText(true));
    }
    dirs.keepDir = *keep.directory;
    return dirs;
}

int clearTemporaryDirectory(const std::string& tempDir, const std::string& workDir) {
    std::string t = trim(tempDir);
    if (t.size() < 4 || !directoryExists(t) || sameDirectory(t, workDir)) return 0;
    int count = 0;
    auto clear = [&count](const std::string& dir) {
        for (const auto& f : filesIn(dir))
            if (f != kJobLockFileName && f != kWindowLockFileName && ::unlink(JoinPath(dir, f).c_str()) == 0)
                ++count;
    };
    clear(t);
    for (const char* sub : {"simdir2", "simdir3"}) {
        std::string d = JoinPath(t, sub);
        if (directoryExists(d)) clear(d);
    }
    return count;
}

}  // namespace vdln
