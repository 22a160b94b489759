#include "model/simgrid.h"

#include <dirent.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/namecheck.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "model/filenames.h"

namespace vdln {

namespace {
bool isYearRow(int row) {
    return row >= 1 && row <= kMaxYears;
}
bool isCell(int row, int col) {
    return GridArray<int>::inRange(row, col);
}
bool isNACell(int row, int col) {
    return row == kGridCMFStartRow && col == 2;
}

// The stem of a cell that names a file: "" for the markers.
std::string namedStem(const TSimRecord& rec, int row, int col) {
    if (!isCell(row, col)) return "";
    const std::string& s = rec.GridStem(row, col);
    if (s.empty() || s == "?" || s == "N/A") return "";
    return s;
}

std::string trimmedDir(std::string d) {
    while (d.size() > 1 && d.back() == kPathSep) d.pop_back();
    return d;
}
}  // namespace

std::string gridColumnExt(int col) {
    switch (col) {
        case 1:
            return ".CLS";
        case 2:
            return ".BSH";
        case 3:
            return ".CLS";
        case 4:
            return ".PSH";
        default:
            return "";
    }
}

int gridColumnRun(int col) {
    return col <= 2 ? 1 : 3;
}

std::string UserFilePath(const std::string& dir, const std::string& name) {
    return findFileIgnoringCase(ResolvePath(dir, name));
}

bool userFileExists(const std::string& dir, const std::string& name) {
    if (name.empty()) return false;
    return fileExists(UserFilePath(dir, name));
}

namespace {
// The names of one folder, read once, answering "does this user-supplied
// name exist here" by the rules of `UserFilePath` without reading the folder
// again for every name.
class FolderIndex {
public:
    explicit FolderIndex(const std::string& dir) : m_dir(dir) {
        DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
        if (!d) return;
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            m_exact.insert(name);
            ++m_folded[toLower(name)];
        }
        ::closedir(d);
    }
    bool exists(const std::string& name) const {
        if (name.empty()) return false;
        if (name.find(kPathSep) != std::string::npos || name[0] == '.') return userFileExists(m_dir, name);
        if (m_exact.count(name)) return fileExists(JoinPath(m_dir, name));
        auto it = m_folded.find(toLower(name));
        return it != m_folded.end() && it->second == 1 && userFileExists(m_dir, name);
    }

private:
    std::string m_dir;
    std::unordered_set<std::string> m_exact;
    std::unordered_map<std::string, int> m_folded;
};
}  // namespace

void RefreshGrid(TSimRecord& rec) {
    FolderIndex folder(rec.WorkDir);
    int last = std::clamp(rec.NumYears, 0, kMaxYears);
    for (int row = kGridCMFStartRow; row <= last; ++row) {
        for (int col = 1; col <= 4; ++col) {
            const std::string& stem = rec.GridStem(row, col);
            std::string ext = row == kGridCMFStartRow ? rec.CMFStartExt[col].str() : gridColumnExt(col);
            rec.GridFile(row, col) = toUpper(stem + ext);
            rec.GridOK(row, col) = stem.empty() || stem == "?" || folder.exists(rec.GridFile(row, col));
        }
    }
    rec.GridOK(kGridCMFStartRow, 2) = 1;
}

Status SetCell(TSimRecord& rec, int row, int col, const std::string& text) {
    if (!isCell(row, col) || isNACell(row, col)) return Status::ok();
    if (text != "N/A")
        if (Status s =
                checkPathComponent(text, "The " + GridTitle(col) + " file of row " + GridRowLabel(rec, row));
            !s)
            return s;
    rec.GridStem(row, col) = toUpper(text);
    RefreshGrid(rec);
    return Status::ok();
}

Status SetSimName(TSimRecord& rec, int run, const std::string& name) {
    const std::string what = "The simulation name of run " + std::to_string(run);
    if (run < 1 || run > 3) return Status::fail(what + " cannot be set: there are runs 1 to 3 only.");
    if (Status s = checkPathComponent(name, what); !s) return s;
    rec.SimNames[run] = toUpper(name);
    RefreshGrid(rec);
    return Status::ok();
}

void FollowPattern(TSimRecord& rec, int row, int col) {
    if (!isYearRow(row) || !isCell(row, col)) return;
    rec.GridStem(row, col) = RunStem(rec, row, gridColumnRun(col));
    RefreshGrid(rec);
}

void FollowPattern(TSimRecord& rec, const GridSelection& sel) {
    for (int row = sel.top; row <= sel.bottom; ++row)
        for (int col = sel.left; col <= sel.right; ++col) FollowPattern(rec, row, col);
}

int ChangeSimName(TSimRecord& rec, int run, const std::string& newName, bool followPatterns) {
    if (run < 1 || run > 3) return 0;
    const std::string oldName = rec.SimNames[run].str();
    const std::string name = toUpper(newName).substr(0, 3);
    const int years = std::clamp(rec.NumYears, 0, kMaxYears);
    std::vector<std::string> oldStems(static_cast<size_t>(years) + 1);
    for (int row = 1; row <= years; ++row) oldStems[static_cast<size_t>(row)] = RunStem(rec, row, run);
    rec.SimNames[run] = name;
    int renamed = 0;
    if (followPatterns && !oldName.empty() && oldName != name) {
        for (int col = 1; col <= 4; ++col) {
            if (gridColumnRun(col) != run) continue;
            for (int row = 1; row <= years; ++row) {
                if (!iequals(rec.GridStem(row, col).str(), oldStems[static_cast<size_t>(row)])) continue;
                rec.GridStem(row, col) = RunStem(rec, row, run);
                ++renamed;
            }
        }
    }
    RefreshGrid(rec);
    return renamed;
}

void AsPrevious(TSimRecord& rec, int row, int col) {
    if (row < 2 || !isCell(row, col)) return;
    rec.GridStem(row, col) = rec.GridStem(row - 1, col);
    RefreshGrid(rec);
}

void AsPrevious(TSimRecord& rec, const GridSelection& sel) {
    for (int row = sel.top; row <= sel.bottom; ++row)
        for (int col = sel.left; col <= sel.right; ++col) AsPrevious(rec, row, col);
}

void SetCommon(TSimRecord& rec, int row, int col) {
    if (!isYearRow(row) || !isCell(row, col)) return;
    rec.GridStem(row, col) = "?";
    RefreshGrid(rec);
}

void SetNone(TSimRecord& rec, int row, int col) {
    if (!isCell(row, col) || isNACell(row, col)) return;
    rec.GridStem(row, col) = "";
    RefreshGrid(rec);
}

bool SelectOne(TSimRecord& rec, int row, int col, Dialogs& dialogs, std::optional<std::string> chosenPath) {
    if (!isCell(row, col) || isNACell(row, col)) return false;
    bool startRow = row == kGridCMFStartRow;
    std::string ext = gridColumnExt(col);
    if (!chosenPath) {
        FileRequest req;
        if (startRow)
            req.title = "CMFSTART File";
        else if (col == 1 || col == 3)
            req.title = "Closure File ";
        else if (col == 2)
            req.title = "Base Case Shocks File";
        else
            req.title = "Extra Shocks File";
        req.initialDir = rec.WorkDir;
        req.filter = startRow ? "All files|*.*" : ext.substr(1) + " files|*" + ext;
        chosenPath = dialogs.chooseFile(req);
        if (!chosenPath) return false;
    }
    const std::string& path = *chosenPath;
    std::string fileExt = extOf(path);
    if (!startRow && !iequals(fileExt, ext)) {
        dialogs.info("Suffix must be " + ext);
        return false;
    }
    std::string dir = dirOf(path);
    if (dir.empty() || trimmedDir(ResolvePath(rec.WorkDir, dir)) != trimmedDir(rec.WorkDir)) {
        dialogs.info("File must be in directory " + rec.WorkDir);
        return false;
    }
    std::string stem = changeExt(nameOf(path), "");
    if (Status s = checkPathComponent(stem + fileExt, "The file"); !s) {
        dialogs.info(s.message());
        return false;
    }
    if (stem.size() > kMaxGridStem) {
        dialogs.info("Name cannot have more than 9 characters.");
        return false;
    }
    if (startRow && fileExt.size() > kMaxCMFStartExt) {
        dialogs.info("Suffix cannot have more than 4 characters.");
        return false;
    }
    rec.GridStem(row, col) = toUpper(stem);
    if (startRow) rec.CMFStartExt[col] = fileExt;
    RefreshGrid(rec);
    return true;
}

std::string GridCellText(const TSimRecord& rec, int row, int col) {
    if (!isCell(row, col)) return "";
    const std::string& s = rec.GridStem(row, col);
    if (s == "?") return "common";
    if (s.empty()) return "none";
    if (s == "N/A") return "N/A";
    std::string ext = row == kGridCMFStartRow ? rec.CMFStartExt[col].str() : gridColumnExt(col);
    return toUpper(s + ext);
}

std::string GridTitle(int col) {
    static const char* titles[] = {"Part", "Base Closure", "Base Shocks", "Policy Closure", "Policy Shocks"};
    return col >= 0 && col <= 4 ? titles[col] : "";
}

std::string GridPatternText(const TSimRecord& rec, int col) {
    if (col < 1 || col > 4) return "Pattern";
    return RunStem(rec, kNoYear, gridColumnRun(col)) + gridColumnExt(col);
}

std::string GridRowLabel(const TSimRecord& rec, int row) {
    if (row == kGridCMFStartRow) return "CMFStart";
    if (row == kGridCommonRow) return "Common";
    if (!isYearRow(row)) return "";
    std::string label = std::to_string(rec.Years[row]);
    if (rec.AltMethodInUse && rec.AltMethodYears[row]) label += "*";
    return label;
}

namespace {
std::string yearFile(const TSimRecord& rec, int i, int col) {
    if (!isYearRow(i)) return "";
    std::string stem = namedStem(rec, i, col);
    if (stem.empty()) return "";
    return toUpper(stem) + gridColumnExt(col);
}

std::string commonFile(const TSimRecord& rec, int col) {
    std::string stem = namedStem(rec, kGridCommonRow, col);
    if (stem.empty()) return "";
    std::string name = toUpper(stem) + gridColumnExt(col);
    return userFileExists(rec.WorkDir, name) ? name : "";
}
}  // namespace

std::string ClosureFileForYear(const TSimRecord& rec, int i, int run) {
    return yearFile(rec, i, run == 1 ? 1 : 3);
}

std::string ShockFileForYear(const TSimRecord& rec, int i) {
    return yearFile(rec, i, 2);
}

std::string ExtraShockFileForYear(const TSimRecord& rec, int i) {
    return yearFile(rec, i, 4);
}

std::string CommonClosureFile(const TSimRecord& rec, int run) {
    return commonFile(rec, run == 1 ? 1 : 3);
}

std::string CommonShockFile(const TSimRecord& rec, int run) {
    if (run == 1) return commonFile(rec, 2);
    if (run == 3) return commonFile(rec, 4);
    return "";
}

std::string CMFStartFile(const TSimRecord& rec, int run) {
    int col = run == 1 ? 1 : run == 2 ? 3 : run == 3 ? 4 : 0;
    if (col == 0) return "";
    std::string stem = namedStem(rec, kGridCMFStartRow, col);
    if (stem.empty()) return "";
    return UserFilePath(rec.WorkDir, toUpper(stem + rec.CMFStartExt[col].str()));
}

}  // namespace vdln
