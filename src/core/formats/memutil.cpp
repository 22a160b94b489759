#include "formats/memutil.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace vdln {

std::string countLimitText(std::int64_t count, const char* limitName, std::int64_t limit) {
    return "NElm(" + std::to_string(count) + ")>" + limitName + "(" + std::to_string(limit) + ")";
}

bool ZeroBlock::allocate(std::size_t bytes) {
    release();
    constexpr std::size_t kMapFrom = 4u << 20;
    if (bytes >= kMapFrom) {
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return false;
#ifdef MADV_HUGEPAGE
        // Large pages make filling a big array several times cheaper.
        // Advice only: the memory works the same without it.
        [[maybe_unused]] const int advised = ::madvise(p, bytes, MADV_HUGEPAGE);
#endif
        m_ptr = p;
        m_bytes = m_mapped = bytes;
        return true;
    }
    void* p = std::calloc(std::max<std::size_t>(bytes, 1), 1);
    if (!p) return false;
    m_ptr = p;
    m_bytes = bytes;
    return true;
}

void ZeroBlock::prefault(std::size_t from, std::size_t to) {
#ifdef MADV_POPULATE_WRITE
    if (!m_mapped || from >= to) return;
    const std::size_t page = 4096;
    from = from / page * page;
    to = std::min(m_mapped, (to + page - 1) / page * page);
    // Advice only: pages not populated here are faulted in when written.
    if (from < to) {
        [[maybe_unused]] const int advised =
            ::madvise(static_cast<char*>(m_ptr) + from, to - from, MADV_POPULATE_WRITE);
    }
#else
    (void)from;
    (void)to;
#endif
}

void ZeroBlock::release() {
    if (m_ptr) {
        if (m_mapped)
            ::munmap(m_ptr, m_mapped);
        else
            std::free(m_ptr);
    }
    m_ptr = nullptr;
    m_bytes = m_mapped = 0;
}

Status SafeGetMem(void*& ptr, std::int64_t size) {
    const char* tag = " [SafeGetMem]";
    if (ptr != nullptr) return Status::fail(std::string("pointer should be nil") + tag);
    if (size < 0) return Status::fail(std::string("Size<0") + tag);
    if (size == 0) return Status::ok();
    ptr = std::calloc(static_cast<std::size_t>(size), 1);
    if (!ptr) return Status::fail(std::string("Out of Memory") + tag);
    return Status::ok();
}

Status SafeFreeMem(void*& ptr, std::int64_t /*size*/) {
    std::free(ptr);
    ptr = nullptr;
    return Status::ok();
}

Status AllocPStrVec(PStrVec& vec, std::int64_t n) {
    const char* tag = " [AllocPStrVec]";
    if (n > MaxPtr) return Status::fail(countLimitText(n, "MaxPtr", MaxPtr) + tag);
    if (n < 0) return Status::fail(std::string("Size<0 [SafeGetMem]") + tag);
    if (vec) return Status::fail(std::string("pointer should be nil [SafeGetMem]") + tag);
    try {
        vec = std::make_unique<std::vector<std::string>>(static_cast<std::size_t>(n + 1));
    } catch (const std::bad_alloc&) {
        vec.reset();
        return Status::fail(std::string("Out of Memory [SafeGetMem]") + tag);
    }
    return Status::ok();
}

Status DupePStrVec(const PStrVec& source, PStrVec& target, std::int64_t n, std::int64_t& maxLen) {
    const char* tag = " [DupePStrVec]";
    if (!source) return Status::fail(std::string("Unexpected Nil Pointer") + tag);
    if (target) return Status::fail(std::string("Expected Nil Pointer") + tag);
    Status s = AllocPStrVec(target, n);
    if (!s) return std::move(s).tag(tag);
    maxLen = 1;
    const auto have = static_cast<std::int64_t>(source->size());
    for (std::int64_t i = 0; i <= n && i < have; ++i) {
        (*target)[static_cast<std::size_t>(i)] = (*source)[static_cast<std::size_t>(i)];
        maxLen = std::max<std::int64_t>(
            maxLen, static_cast<std::int64_t>((*source)[static_cast<std::size_t>(i)].size()));
    }
    return Status::ok();
}

void FreePStrVec(PStrVec& vec, std::int64_t /*n*/) {
    vec.reset();
}

Status AllocBoolVec(PBoolVec& vec, std::int64_t n) {
    const char* tag = " [AllocBoolVec]";
    if (n > MaxBool) return Status::fail(countLimitText(n, "MaxBool", MaxBool) + tag);
    if (n < 0) return Status::fail(std::string("Size<0 [SafeGetMem]") + tag);
    if (vec) return Status::fail(std::string("Expected Nil Pointer") + tag);
    try {
        vec = std::make_unique<std::vector<std::uint8_t>>(static_cast<std::size_t>(n + 1), 0);
    } catch (const std::bad_alloc&) {
        vec.reset();
        return Status::fail(std::string("Out of Memory [SafeGetMem]") + tag);
    }
    return Status::ok();
}

Status AllocArr(PArr2& arr, std::int64_t rows, std::int64_t cols, int elemSize) {
    const char* tag = " [AllocArr]";
    if (elemSize != 1 && elemSize != 4) return Status::fail(std::string("Bad element size") + tag);
    if (rows > MaxPtr) return Status::fail(countLimitText(rows, "MaxPtr", MaxPtr) + tag);
    if (cols > MaxCol(elemSize)) return Status::fail(countLimitText(cols, "MaxCol", MaxCol(elemSize)) + tag);
    if (rows < 0 || cols < 0) return Status::fail(std::string("Size<0 [SafeGetMem]") + tag);
    if (arr) return Status::fail(std::string("Expected Nil Pointer") + tag);
    auto a = std::make_unique<Arr2>();
    a->m_rows = rows;
    a->m_cols = cols;
    a->m_elemSize = elemSize;
    const auto bytes = static_cast<unsigned __int128>(rows + 1) * static_cast<unsigned __int128>(cols + 1) *
                       static_cast<unsigned>(elemSize);
    if (bytes > (static_cast<unsigned __int128>(1) << 40) ||
        !a->m_block.allocate(static_cast<std::size_t>(bytes)))
        return Status::fail(std::string("Out of Memory [SafeGetMem]") + tag);
    arr = std::move(a);
    return Status::ok();
}

void FreeArr(PArr2& arr) {
    arr.reset();
}

Status DupeLongIntArr(const PArr2& source, PArr2& target, std::int64_t rows, std::int64_t cols) {
    const char* tag = " [DupeLongIntArr]";
    if (!source) return Status::fail(std::string("Unexpected Nil Pointer") + tag);
    if (target) return Status::fail(std::string("Expected Nil Pointer") + tag);
    Status s = AllocArr(target, rows, cols, 4);
    if (!s) return std::move(s).tag(tag);
    const std::int64_t r = std::min(rows, source->rows()), c = std::min(cols, source->cols());
    for (std::int64_t i = 0; i <= r; ++i)
        for (std::int64_t j = 0; j <= c; ++j) target->i32(i, j) = source->i32(i, j);
    return Status::ok();
}

}  // namespace vdln
