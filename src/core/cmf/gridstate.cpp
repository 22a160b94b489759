#include "cmf/gridstate.h"

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/strutil.h"
#include "cmf/cmfreader.h"
#include "model/simgrid.h"

namespace vdln {

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
    ScriptedDialogs quiet;
    if (!CheckConstituents(path, false, true, quiet)) return GridCellState::ConstituentMissing;
    return GridCellState::Exists;
}

GridCellState gridCellState(const TSimRecord& rec, int row, int col) {
    return evaluateGridCell(gridCellQuery(rec, row, col));
}

}  // namespace vdln
