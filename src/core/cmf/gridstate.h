#pragma once
/// How a cell of the closure/shock grid is drawn: a cell that names a file
/// which does not exist is red; a cell whose file exists but refers to a
/// file that does not exist (a constituent) is green.  The state of a cell
/// is computed from a query taken from the record, so a caller can take the
/// queries on one thread and evaluate them on another (a slow folder must
/// not block the window).

#include <string>
#include <vector>

#include "model/simrecord.h"

namespace vdln {

enum class GridCellState {
    NoFile,              ///< the cell names no file ("none")
    Common,              ///< the cell uses the Common row's file ("common")
    NotApplicable,       ///< "N/A"
    Exists,              ///< the file and everything it refers to exist
    Missing,             ///< the file does not exist (red)
    ConstituentMissing,  ///< the file exists, a file it refers to does not (green)
};

/// What evaluating one cell needs, copied out of the record.
struct GridCellQuery {
    int row = 0;
    int col = 0;
    std::string workDir;
    std::string stem;  ///< `GridStem` of the cell
    std::string file;  ///< `GridFile` of the cell (stem + extension)
    bool operator==(const GridCellQuery&) const = default;
};

/// The query of one cell (rows -1..NumYears, columns 1..4).  The grid's file
/// names are taken as `RefreshGrid` builds them, so the record need not have
/// been refreshed.
GridCellQuery gridCellQuery(const TSimRecord& rec, int row, int col);
/// The queries of every cell of rows -1..NumYears, row by row.
std::vector<GridCellQuery> gridCellQueries(const TSimRecord& rec);
/// Evaluates a query: looks at the disk (the file, then the files it refers
/// to); safe to call on any thread.
GridCellState evaluateGridCell(const GridCellQuery& query);
/// `evaluateGridCell(gridCellQuery(rec, row, col))`.
GridCellState gridCellState(const TSimRecord& rec, int row, int col);

/// True for the states drawn red or green.
inline bool gridCellFlagged(GridCellState s) {
    return s == GridCellState::Missing || s == GridCellState::ConstituentMissing;
}

}  // namespace vdln
