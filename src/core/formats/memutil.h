#pragma once
/// Guarded memory: allocations with explicit limits and the messages the
/// file-format routines pass up, string vectors (slots 0..n, slot 0 unused)
/// and two-dimensional arrays of 4-byte integers or 1-byte flags.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/result.h"

namespace vdln {

/// Largest count of a string vector or of array rows.
inline constexpr std::int64_t MaxPtr = 67108862;
/// Largest count of a boolean vector.
inline constexpr std::int64_t MaxBool = 268435454;
/// Largest number of columns of an array of `elemSize`-byte elements.
inline constexpr std::int64_t MaxCol(std::int64_t elemSize) {
    return 268435455 / elemSize;
}

/// The count-limit message: "NElm(" + count + ")>" + limit name + "(" + limit + ")".
std::string countLimitText(std::int64_t count, const char* limitName, std::int64_t limit);

/// A zero-filled heap block released with free(); large blocks are obtained
/// from the system already zeroed, so untouched pages cost nothing.
class ZeroBlock {
public:
    ZeroBlock() = default;
    ~ZeroBlock() { release(); }
    ZeroBlock(const ZeroBlock&) = delete;
    ZeroBlock& operator=(const ZeroBlock&) = delete;
    ZeroBlock(ZeroBlock&& o) noexcept : m_ptr(o.m_ptr), m_bytes(o.m_bytes), m_mapped(o.m_mapped) {
        o.m_ptr = nullptr;
        o.m_bytes = o.m_mapped = 0;
    }
    ZeroBlock& operator=(ZeroBlock&& o) noexcept {
        if (this != &o) {
            release();
            m_ptr = o.m_ptr;
            m_bytes = o.m_bytes;
            m_mapped = o.m_mapped;
            o.m_ptr = nullptr;
            o.m_bytes = o.m_mapped = 0;
        }
        return *this;
    }
    /// Allocates `bytes` zero bytes (at least one byte is reserved, so an
    /// empty block still counts as allocated).  Large blocks are mapped
    /// straight from the system (zero pages, huge pages where offered).
    /// False when out of memory.
    bool allocate(std::size_t bytes);
    void release();
    /// Asks the system to back bytes [from, to) of a mapped block with
    /// memory now, in one call, rather than page by page on first write
    /// (nothing for a heap block).
    void prefault(std::size_t from, std::size_t to);
    void* get() const { return m_ptr; }
    std::size_t bytes() const { return m_bytes; }
    explicit operator bool() const { return m_ptr != nullptr; }

private:
    void* m_ptr = nullptr;
    std::size_t m_bytes = 0;
    std::size_t m_mapped = 0;  // length of the mapping; 0 for a heap block
};

/// Allocates a zero-filled block of `size` bytes into `ptr`, which must be
/// null; size 0 succeeds and allocates nothing.  Messages "pointer should
/// be nil", "Size<0", "Out of Memory" (pointer left null); tag " [SafeGetMem]".
Status SafeGetMem(void*& ptr, std::int64_t size);
/// Releases a block from `SafeGetMem`; a null pointer succeeds.  The
/// pointer becomes null.
Status SafeFreeMem(void*& ptr, std::int64_t size);

/// A string vector: slots 0..n (slot 0 unused); null when not allocated.
using PStrVec = std::unique_ptr<std::vector<std::string>>;

/// Allocates slots 0..n of empty strings into a null vector.  Messages: the
/// count-limit message naming `MaxPtr`, "Expected Nil Pointer", "Out of
/// Memory"; tag " [AllocPStrVec]".
Status AllocPStrVec(PStrVec& vec, std::int64_t n);
/// Copies slots 0..n of `source` into the null `target`; `maxLen` receives
/// the longest string length (at least 1).  Messages "Unexpected Nil
/// Pointer", "Expected Nil Pointer", allocation messages; tag " [DupePStrVec]".
Status DupePStrVec(const PStrVec& source, PStrVec& target, std::int64_t n, std::int64_t& maxLen);
/// Clears and releases a string vector (null already: success).
void FreePStrVec(PStrVec& vec, std::int64_t n);

/// A boolean vector: bytes 0..n.
using PBoolVec = std::unique_ptr<std::vector<std::uint8_t>>;
/// Allocates bytes 0..n (zero) into a null vector.  Messages: the
/// count-limit message naming `MaxBool`, "Expected Nil Pointer", "Out of
/// Memory"; tag " [AllocBoolVec]".
Status AllocBoolVec(PBoolVec& vec, std::int64_t n);

/// A two-dimensional array, rows 0..rows and columns 0..cols, of elements
/// of 4 bytes (integers) or 1 byte (flags), zero-filled, one contiguous
/// block with row r starting at r * (cols + 1).
class Arr2 {
public:
    std::int64_t rows() const { return m_rows; }
    std::int64_t cols() const { return m_cols; }
    int elemSize() const { return m_elemSize; }
    /// The 4-byte integer at (r, c), 0 <= r <= rows, 0 <= c <= cols.
    std::int32_t& i32(std::int64_t r, std::int64_t c) {
        return static_cast<std::int32_t*>(m_block.get())[r * (m_cols + 1) + c];
    }
    std::int32_t i32(std::int64_t r, std::int64_t c) const {
        return static_cast<const std::int32_t*>(m_block.get())[r * (m_cols + 1) + c];
    }
    /// The 1-byte flag at (r, c).
    std::uint8_t& flag(std::int64_t r, std::int64_t c) {
        return static_cast<std::uint8_t*>(m_block.get())[r * (m_cols + 1) + c];
    }

private:
    friend Status AllocArr(std::unique_ptr<Arr2>&, std::int64_t, std::int64_t, int);
    std::int64_t m_rows = 0, m_cols = 0;
    int m_elemSize = 4;
    ZeroBlock m_block;
};
using PArr2 = std::unique_ptr<Arr2>;

/// Allocates a zero-filled array (rows + 1) x (cols + 1) of `elemSize`-byte
/// elements into a null pointer.  Messages: the count-limit message naming
/// `MaxPtr` (rows) or `MaxCol` (columns), "Expected Nil Pointer", "Out of
/// Memory"; tag " [AllocArr]".
Status AllocArr(PArr2& arr, std::int64_t rows, std::int64_t cols, int elemSize);
/// Releases an array (null already: success).
void FreeArr(PArr2& arr);
/// Copies a 4-byte array into the null `target`.  Messages "Unexpected Nil
/// Pointer", "Expected Nil Pointer", allocation messages; tag
/// " [DupeLongIntArr]".
Status DupeLongIntArr(const PArr2& source, PArr2& target, std::int64_t rows, std::int64_t cols);

}  // namespace vdln
