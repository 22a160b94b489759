#pragma once
/// Two-dimensional slices of headers: which dimension runs down the rows,
/// which across the columns, and the element each other dimension is fixed
/// at; the slice's values with the set elements as row and column labels;
/// and the slice as CSV or TSV text.

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "formats/harheader.h"

namespace vdln {

/// Which part of a header a slice shows.  Dimensions are 1-based; 0 means
/// none (a header of fewer dimensions).
struct HarSliceChoice {
    int rowDim = 1;
    int colDim = 2;
    /// The 1-based element of every dimension that is neither the row nor
    /// the column dimension (entries of those two are ignored).
    Dims7 fixed{1, 1, 1, 1, 1, 1, 1};
};

/// The default slice of a header: dimension 1 down, dimension 2 across
/// (when it has two), every other dimension at its first element.
HarSliceChoice defaultSliceChoice(const HarHeader& header);
/// Checks `choice` against the header's dimensions and clamps nothing.
/// Messages "Row dimension N is not a dimension of the header", "Column
/// dimension ...", "The row and column dimensions must differ", "Element N
/// of dimension K is outside 1..SIZE".
Status checkSliceChoice(const HarHeader& header, const HarSliceChoice& choice);

/// A slice: rows x columns values in row order, with labels.
struct HarSlice {
    std::string headerName;  ///< trimmed
    std::string headType;    ///< "RE", "2I" or "1C"
    std::int64_t rows = 0, cols = 0;
    std::string rowTitle, colTitle;  ///< set names of the shown dimensions (may be empty)
    /// The labels of the rows and columns when they have names (set
    /// elements); empty when they are numbered 1, 2, ... (see `rowLabel`).
    std::vector<std::string> rowLabels, colLabels;
    std::vector<float> reals;          ///< "RE": rows x cols
    std::vector<std::int32_t> ints;    ///< "2I": rows x cols
    std::vector<std::string> strings;  ///< "1C": rows x 1
    std::int64_t replacedCount = 0;    ///< non-finite reals replaced on reading

    std::size_t index(std::int64_t r, std::int64_t c) const { return static_cast<std::size_t>(r * cols + c); }
    /// The label of 0-based row r (column c): its name, or its number.
    std::string rowLabel(std::int64_t r) const;
    std::string colLabel(std::int64_t c) const;
    /// The cell at 0-based (r, c) as text (a real as the shortest text that
    /// reads back as the same value).
    std::string cellText(std::int64_t r, std::int64_t c) const;
};

/// The element names of dimension k (1-based) of a header when known (as
/// many as its size); empty when its elements are only numbered.
std::vector<std::string> dimensionLabels(const HarHeader& header, int k);
/// The label of element i (1-based) of dimension k: its name, or its number.
std::string dimensionLabel(const std::vector<std::string>& names, std::int64_t i);
/// Prepares an empty slice of the header's shape for `choice` (labels set,
/// values zero).  The slice description must have passed `checkSliceChoice`.
HarSlice emptySlice(const HarHeader& header, const HarSliceChoice& choice);
/// The slice of a header held in memory.  Tag " [sliceOf]".
Result<HarSlice> sliceOf(const HarHeader& header, const HarSliceChoice& choice);

/// The slice as text: a first line of the column labels (after the row
/// title), then one line per row, the row label and the values, separated
/// by `separator` (',' or '\t'); lines end with CR LF when `crlf`.  A field
/// holding the separator, a double quote, or a line break is written in
/// double quotes with its quotes doubled.
std::string sliceText(const HarSlice& slice, char separator, bool crlf = false);
/// One field of such text, quoted when it must be.
std::string csvField(const std::string& field, char separator);

/// Parses the text of `vdlnhar csv --slice`: ROWDIM[,COLDIM][,DIM=ELEMENT]...
/// where a DIM is a set name (without regard to case) or a dimension
/// number, and an ELEMENT an element name (without regard to case) or an
/// element number.  Messages name the part that is wrong.
Result<HarSliceChoice> parseSliceChoice(const HarHeader& header, const std::string& text);

}  // namespace vdln
