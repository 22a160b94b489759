#include "cmf/gridstate.h"

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/strutil.h"
#include "cmf/cmfreader.h"
#include "model/simgrid.h"

namespace vdln {

namespace {

/// Shows nothing and answers every question as its default would: the
/// cell check only wants to know whether a constituent is missing.
class QuietDialogs : public Dialogs {
public:
    Button message(MsgKind, const std::string&, Buttons buttons, int) override {
        if (buttons & BtnOk) return BtnOk;
        if (buttons & BtnYes) return BtnYes;
        for (unsigned bit = 1; bit != 0 && bit <= BtnNoToAll; bit <<= 1)
            if ((buttons & bit) && bit != BtnHelp) return static_cast<Button>(bit);
        return BtnNone;
    }
    std::optional<std::string> chooseFile(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> inputText(const std::string&, const std::string&,
                                         const std::string&) override {
        return std::nullopt;
    }
    std::optional<int> chooseOption(const std::string&, const std::string&, const std::vector<std::string>&,
                                    int) override {
        return std::nullopt;
    }
    void waitBegin(const std::string&) override {}
    void waitStage(const std::string&) override {}
    bool cancelRequested() override { return false; }
};

}  // namespace

GridCellQuery gridCellQuery(const TSimRecord& rec, int row, int col) {
    GridCellQuery q;
    q.row = row;
    q.col = col;
    q.workDir = rec.WorkDir;
    if (row < kGridCMFStartRow || row > kMaxYears || col < 1 || col > 4) return q;
    q.stem = rec.GridStem(row, col).str();
    const std::string ext = row == kGridCMFStartRow ? rec.CMFStartExt[col].str() : gridColumnExt(col);
    q.file = toUpper(q.stem + ext);
    return q;
}

std::vector<GridCellQuery> gridCellQueries(const TSimRecord& rec) {
    std::vector<GridCellQuery> out;
    const int last = std::min(rec.NumYears, kMaxYears);
    out.reserve(static_cast<size_t>(last + 2) * 4);
    for (int row = kGridCMFStartRow; row <= last; ++row)
        for (int col = 1; col <= 4; ++col) out.push_back(gridCellQuery(rec, row, col));
    return out;
}

GridCellState evaluateGridCell(const GridCellQuery& q) {
    const std::string stem = trim(q.stem);
    if (stem.empty()) return GridCellState::NoFile;
    if (stem == "?") return GridCellState::Common;
    if (toUpper(stem) == "N/A") return GridCellState::NotApplicable;
    const std::string path = UserFilePath(q.workDir, q.file);
    if (!fileExists(path)) return GridCellState::Missing;
    // Quiet: nothing is shown, only the answer is wanted.  The dialogs are
    // local so the check can run on a worker thread.
    QuietDialogs quiet;
    if (!CheckConstituents(path, false, true, quiet)) return GridCellState::ConstituentMissing;
    return GridCellState::Exists;
}

GridCellState gridCellState(const TSimRecord& rec, int row, int col) {
    return evaluateGridCell(gridCellQuery(rec, row, col));
}

}  // namespace vdln
