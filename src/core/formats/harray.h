#pragma once
/// In-memory arrays of header array files and set records: the
/// seven-dimension real array `HeadMat`, the two- and three-dimension real
/// matrices, and `TSetRec` with its seven-entry array and its list.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "formats/memutil.h"

namespace vdln {

/// Largest size of one dimension.
inline constexpr std::int64_t kMaxDimSize = 67108862;
/// Largest number of elements of a seven-dimension array.
inline constexpr std::int64_t kMaxArrayElements = 268435455;

/// Seven sizes (or indices) d1..d7.
using Dims7 = std::array<std::int64_t, 7>;

/// A seven-dimension array of 4-byte reals, indices 1-based, first index
/// fastest (column-major, the order of the file format).  Stored as one
/// contiguous zero-filled block; empty until allocated.
class HeadMat {
public:
    /// The element storage; null when not allocated.
    float* Root() { return static_cast<float*>(m_block.get()); }
    const float* Root() const { return static_cast<const float*>(m_block.get()); }
    bool allocated() const { return static_cast<bool>(m_block); }
    /// Sizes d1..d7 (1 for an unused dimension).
    const Dims7& dims() const { return m_dims; }
    std::int64_t dim(int k) const { return m_dims[static_cast<std::size_t>(k - 1)]; }
    /// d1 x ... x d7 (0 when not allocated).
    std::int64_t size() const { return allocated() ? m_size : 0; }
    /// Number of non-zero entries and element count, as set by `countNonZeros`.
    std::int64_t nonZeroCount = 0;
    std::int64_t elementCount = 0;

    /// Position of (i1..i7), 1-based, in the block: (i1-1) + d1 x ((i2-1) + ...).
    std::int64_t offset(const Dims7& idx) const {
        std::int64_t off = 0;
        for (int k = 6; k >= 0; --k)
            off = off * m_dims[static_cast<std::size_t>(k)] + (idx[static_cast<std::size_t>(k)] - 1);
        return off;
    }
    /// The element at 1-based indices (unused trailing indices may be left
    /// at 1).  The caller keeps the indices in range.
    float& at(std::int64_t i1, std::int64_t i2 = 1, std::int64_t i3 = 1, std::int64_t i4 = 1,
              std::int64_t i5 = 1, std::int64_t i6 = 1, std::int64_t i7 = 1) {
        return Root()[offset({i1, i2, i3, i4, i5, i6, i7})];
    }
    float at(std::int64_t i1, std::int64_t i2 = 1, std::int64_t i3 = 1, std::int64_t i4 = 1,
             std::int64_t i5 = 1, std::int64_t i6 = 1, std::int64_t i7 = 1) const {
        return Root()[offset({i1, i2, i3, i4, i5, i6, i7})];
    }

    /// Backs elements [from, to) (0-based) with memory ahead of filling them.
    void prefault(std::int64_t from, std::int64_t to) {
        m_block.prefault(static_cast<std::size_t>(from) * sizeof(float),
                         static_cast<std::size_t>(to) * sizeof(float));
    }

private:
    friend Status AllocMat7(HeadMat&, const Dims7&);
    friend Status FreeMat7(HeadMat&);
    ZeroBlock m_block;
    Dims7 m_dims{1, 1, 1, 1, 1, 1, 1};
    std::int64_t m_size = 0;
};

/// Allocates a zero-filled array of the given sizes (existing storage is
/// released first).  Messages "Dimension too large(" + size + "), max is
/// 67108862", "Array size (d1*...*d7) too large: max is 268435455
/// elements", "Out of Memory [SafeGetMem]"; tag " [AllocMat7]".  After a
/// failure the array is empty.
Status AllocMat7(HeadMat& mat, const Dims7& sizes);
/// Releases the storage and clears the record, sizes included.
Status FreeMat7(HeadMat& mat);
/// Allocates `target` with the sizes of `source` and copies every element
/// and the counts.  Message "Unexpected nil Root"; tag " [copymat7]".
Status copymat7(const HeadMat& source, HeadMat& target);
/// Sets every element to `value`.  Message "Unexpected Nil Pointer"; tag
/// " [fillvalue7]".
Status fillvalue7(HeadMat& mat, float value);
/// Sets the non-zero count and the element count.  Message "Unexpected Nil
/// Pointer"; tag " [countNonZeros]".
Status countNonZeros(HeadMat& mat);

/// A rows x columns matrix of 4-byte reals, 0-based.
struct Mat2 {
    std::int64_t rows = 0, cols = 0;
    std::vector<float> values;
    float& at(std::int64_t r, std::int64_t c) { return values[static_cast<std::size_t>(r * cols + c)]; }
    float at(std::int64_t r, std::int64_t c) const { return values[static_cast<std::size_t>(r * cols + c)]; }
};
/// A first dimension of rows x columns matrices, 0-based.
struct Mat3 {
    std::int64_t n1 = 0, rows = 0, cols = 0;
    std::vector<float> values;
    float& at(std::int64_t i, std::int64_t r, std::int64_t c) {
        return values[static_cast<std::size_t>((i * rows + r) * cols + c)];
    }
    float at(std::int64_t i, std::int64_t r, std::int64_t c) const {
        return values[static_cast<std::size_t>((i * rows + r) * cols + c)];
    }
};
/// Allocates a zero-filled matrix (released first).  Messages "Too many
/// rows(" + rows + "), max is 67108862", "Too many cols(...)..."; tag
/// " [AllocMat2]".
Status AllocMat2(Mat2& mat, std::int64_t rows, std::int64_t cols);
Status FreeMat2(Mat2& mat);
/// As `AllocMat2` with a first size ("Dimension too large(...)"); tag
/// " [AllocMat3]".
Status AllocMat3(Mat3& mat, std::int64_t n1, std::int64_t rows, std::int64_t cols);
Status FreeMat3(Mat3& mat);

/// One set: size, name, description and (when known) its element names.
struct TSetRec {
    std::int64_t size = 0;  ///< number of elements; negative when not known
    std::string name;       ///< up to 12 characters
    std::string description;
    bool ElmsKnown = false;
    /// The element names, entry k-1 for element k; present exactly when
    /// `ElmsKnown` holds (except where names are generated for a model set).
    std::optional<std::vector<std::string>> SetElms;
};
using PSetRec = std::unique_ptr<TSetRec>;
/// One set record per dimension of a header (entry k-1 for dimension k).
using SetRecArr7 = std::array<PSetRec, 7>;
/// A list of set records (a model's sets).
using SetRecList = std::vector<PSetRec>;

/// Allocates an empty set record into `rec` (released first).
Status AllocSetRec(PSetRec& rec);
/// Releases a set record (null already: success).
Status FreeSetRec(PSetRec& rec);
/// Releases entries 1..count of the list and the list; count becomes 0.
Status FreeSetRecArr(SetRecList& list, std::int64_t& count);
/// Releases all seven entries.
Status FreeSetRecArr7(SetRecArr7& arr);

}  // namespace vdln
