#include "archive/archiveenv.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "model/filenames.h"
#include "runrecord/filestamp.h"

namespace vdln {

ScratchFolder::~ScratchFolder() {
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
}

Status ScratchFolder::create(const std::string& tempDir) {
    if (tempDir.empty() || !directoryExists(tempDir)) return Status::fail(kNoTempDirText);
    std::string templ = JoinPath(tempDir, "vdlnzipXXXXXX");
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) return Status::fail("Cannot create directory " + templ);
    m_path = buf.data();
    return Status::ok();
}

std::string ScratchFolder::file(const std::string& name) const {
    return JoinPath(m_path, name);
}

std::string defaultDetailsPath(const TSimRecord& rec, const std::string& dir, const std::string& modelName,
                               bool noRerun) {
    return JoinPath(
        dir, modelName + rec.FileNaming.Separator + joinedSimNames(rec, true, !noRerun, true) + ".ds1");
}

bool sameFolder(const std::string& a, const std::string& b) {
    char ra[PATH_MAX], rb[PATH_MAX];
    if (::realpath(a.c_str(), ra) && ::realpath(b.c_str(), rb)) return std::string(ra) == std::string(rb);
    auto strip = [](std::string s) {
        while (s.size() > 1 && (s.back() == '/' || s.back() == '\\')) s.pop_back();
        return s;
    };
    return strip(a) == strip(b);
}

bool isTopLevelFolder(const std::string& dir) {
    std::string d = trim(dir);
    if (d.empty()) return false;
    // A drive: "C:", "C:\" or "C:/".
    if (d.size() >= 2 && d.size() <= 3 && std::isalpha(static_cast<unsigned char>(d[0])) && d[1] == ':' &&
        (d.size() == 2 || d[2] == '\\' || d[2] == '/'))
        return true;
    if (d.find_first_not_of("/\\") == std::string::npos) return true;
    char r[PATH_MAX];
    return ::realpath(d.c_str(), r) && std::string(r) == "/";
}

bool folderIsEmpty(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return true;
    bool empty = true;
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") {
            empty = false;
            break;
        }
    }
    ::closedir(d);
    return empty;
}

static bool pathExists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

std::string proposedRestoreFolder(const std::string& programDir, const std::string& zipFile) {
    std::string base = JoinPath(programDir, changeExt(nameOf(zipFile), ""));
    if (!pathExists(base)) return base;
    for (int n = 1; n <= 10000; ++n) {
        std::string v = base + "-v" + std::to_string(n);
        if (!pathExists(v)) return v;
    }
    return JoinPath(programDir, "restorexx");
}

RestoreFolderTexts ingredientsFolderTexts() {
    return {
        "Please specify the directory to restore the files to.\r\n\r\n*** Be careful not to overwrite "
        "existing "
        "files.***\r\n\r\nWe suggest you make a new directory or use an empty directory.",
        "Please choose another directory.\r\nRestoring to the same directory as this program is running in "
        "is "
        "not allowed.",
        "Please choose another directory.\r\nRestoring to a top-level directory is unwise and is not "
        "allowed."};
}

RestoreFolderTexts resultsFolderTexts() {
    return {
        "Please specify the directory to restore the results files to.\r\n\r\n*** Be careful not to "
        "overwrite "
        "existing files.***",
        "Please choose another directory.\r\nRestoring results to the same directory as this program is "
        "running "
        "in is not allowed.",
        "Please choose another directory.\r\nRestoring results to a top-level directory is unwise and is not "
        "allowed."};
}

std::optional<std::string> chooseRestoreFolder(ArchiveEnv& env, const RestoreFolderTexts& texts,
                                               const std::string& proposed,
                                               const std::optional<std::string>& given, bool askNonEmpty) {
    auto refusal = [&](const std::string& dir) -> std::string {
        if (isTopLevelFolder(dir)) return texts.topLevelRefusal;
        if (!env.programDir.empty() && sameFolder(dir, env.programDir)) return texts.programDirRefusal;
        return "";
    };
    if (given) {
        std::string why = refusal(*given);
        if (!why.empty()) {
            env.dialogs.error(why);
            return std::nullopt;
        }
        if (!directoryExists(*given)) {
            if (Status s = makeDirectories(*given); !s) {
                env.dialogs.error(s.message());
                return std::nullopt;
            }
        }
        return *given;
    }
    bool created = false;
    if (!proposed.empty() && !pathExists(proposed)) created = static_cast<bool>(makeDirectories(proposed));
    std::optional<std::string> chosen;
    for (;;) {
        auto pick = env.dialogs.chooseFolder(texts.prompt, proposed);
        if (!pick) break;
        std::string dir = trim(*pick);
        if (dir.empty()) continue;
        if (std::string why = refusal(dir); !why.empty()) {
            env.dialogs.error(why);
            continue;
        }
        if (!directoryExists(dir)) {
            if (Status s = makeDirectories(dir); !s) {
                env.dialogs.error(s.message());
                continue;
            }
        } else if (askNonEmpty && !folderIsEmpty(dir) &&
                   env.dialogs.message(MsgKind::Confirmation,
                                       "This directory is not empty. Do you want to continue?",
                                       BtnYes | BtnNo) != BtnYes) {
            continue;
        }
        chosen = dir;
        break;
    }
    if (created && (!chosen || !sameFolder(*chosen, proposed)) && folderIsEmpty(proposed))
        ::rmdir(proposed.c_str());
    return chosen;
}

std::optional<std::string> askArchiveName(ArchiveEnv& env, const std::string& title, const std::string& dir,
                                          const std::string& defaultName) {
    for (;;) {
        FileRequest req;
        req.title = title;
        req.initialDir = dir;
        req.filter = "ZIP Files (*.ZIP)|*.zip|All Files|*.*";
        req.defaultName = defaultName;
        req.save = true;
        req.mustExist = false;
        auto name = env.dialogs.chooseFile(req);
        if (!name) return std::nullopt;
        if (iendsWith(*name, ".zip")) return name;
        env.dialogs.info(
            "Sorry. The Zip Archive name must end with the suffix \".ZIP\".\r\nPlease specify the file "
            "again.");
    }
}

std::optional<std::string> askArchiveToOpen(ArchiveEnv& env, const std::string& title,
                                            const std::string& dir) {
    FileRequest req;
    req.title = title;
    req.initialDir = dir;
    req.filter = "ZIP Files (*.ZIP)|*.zip|All Files|*.*";
    req.save = false;
    req.mustExist = true;
    return env.dialogs.chooseFile(req);
}

std::string archiveDateTime(const Clock& clock) {
    return formatDosDateTime(dosDateTimeOfFileTime(clock.nowFileTime()));
}

void showTextFile(ArchiveEnv& env, const std::string& file) {
    if (env.showFile) {
        env.showFile(file);
        return;
    }
    auto text = readWholeFile(file);
    env.dialogs.info(text ? *text : text.message());
}

}  // namespace vdln
