#include "formats/harray.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vdln {

namespace {
std::string tooLarge(std::int64_t size) {
    return "Dimension too large(" + std::to_string(size) + "), max is " + std::to_string(kMaxDimSize);
}
}  // namespace

Status AllocMat7(HeadMat& mat, const Dims7& sizes) {
    const char* tag = " [AllocMat7]";
    FreeMat7(mat).isOk();
    for (auto d : sizes) {
        if (d > kMaxDimSize) return Status::fail(tooLarge(d) + tag);
        if (d < 0) return Status::fail("Dimension < 0(" + std::to_string(d) + ")" + tag);
    }
    std::int64_t product = 1;
    bool over = false;
    for (auto d : sizes) {
        // Every size is below 2^27, so the running product is checked before
        // it can overflow 64 bits.
        product *= d;
        if (product > kMaxArrayElements) over = true;
        if (over) break;
    }
    if (over) {
        std::string text = "Array size (";
        for (int k = 0; k < 7; ++k)
            text += (k ? "*" : "") + std::to_string(sizes[static_cast<std::size_t>(k)]);
        return Status::fail(text + ") too large: max is " + std::to_string(kMaxArrayElements) + " elements" +
                            tag);
    }
    if (mat.allocated()) return Status::fail(std::string("Expected nil Root") + tag);
    if (!mat.m_block.allocate(static_cast<std::size_t>(product) * sizeof(float)))
        return Status::fail(std::string("Out of Memory [SafeGetMem]") + tag);
    mat.m_dims = sizes;
    mat.m_size = product;
    mat.nonZeroCount = 0;
    mat.elementCount = product;
    return Status::ok();
}

Status FreeMat7(HeadMat& mat) {
    mat.m_block.release();
    mat.m_dims = {1, 1, 1, 1, 1, 1, 1};
    mat.m_size = 0;
    mat.nonZeroCount = 0;
    mat.elementCount = 0;
    return Status::ok();
}

Status copymat7(const HeadMat& source, HeadMat& target) {
    const char* tag = " [copymat7]";
    if (!source.allocated()) return Status::fail(std::string("Unexpected nil Root") + tag);
    if (&source == &target) return Status::ok();
    Status s = AllocMat7(target, source.dims());
    if (!s) return std::move(s).tag(tag);
    if (source.size() > 0)
        std::memcpy(target.Root(), source.Root(), static_cast<std::size_t>(source.size()) * sizeof(float));
    target.nonZeroCount = source.nonZeroCount;
    target.elementCount = source.elementCount;
    return Status::ok();
}

Status fillvalue7(HeadMat& mat, float value) {
    if (!mat.allocated()) return Status::fail("Unexpected Nil Pointer [fillvalue7]");
    std::fill(mat.Root(), mat.Root() + mat.size(), value);
    return Status::ok();
}

Status countNonZeros(HeadMat& mat) {
    if (!mat.allocated()) return Status::fail("Unexpected Nil Pointer [countNonZeros]");
    const float* p = mat.Root();
    std::int64_t n = 0;
    for (std::int64_t i = 0, e = mat.size(); i < e; ++i) n += (p[i] != 0.0f);
    mat.nonZeroCount = n;
    mat.elementCount = mat.size();
    return Status::ok();
}

Status AllocMat2(Mat2& mat, std::int64_t rows, std::int64_t cols) {
    const char* tag = " [AllocMat2]";
    FreeMat2(mat).isOk();
    if (rows > kMaxDimSize)
        return Status::fail("Too many rows(" + std::to_string(rows) + "), max is " +
                            std::to_string(kMaxDimSize) + tag);
    if (cols > kMaxDimSize)
        return Status::fail("Too many cols(" + std::to_string(cols) + "), max is " +
                            std::to_string(kMaxDimSize) + tag);
    if (rows < 0 || cols < 0) return Status::fail(std::string("Size<0 [SafeGetMem]") + tag);
    try {
        mat.values.assign(static_cast<std::size_t>(rows * cols), 0.0f);
    } catch (const std::bad_alloc&) {
        return Status::fail(std::string("Out of Memory [SafeGetMem]") + tag);
    } catch (const std::length_error&) {
        return Status::fail(std::string("Out of Memory [SafeGetMem]") + tag);
    }
    mat.rows = rows;
    mat.cols = cols;
    return Status::ok();
}

Status FreeMat2(Mat2& mat) {
    mat = Mat2{};
    return Status::ok();
}

Status AllocMat3(Mat3& mat, std::int64_t n1, std::int64_t rows, std::int64_t cols) {
    const char* tag = " [AllocMat3]";
    FreeMat3(mat).isOk();
    if (n1 > kMaxDimSize) return Status::fail(tooLarge(n1) + tag);
    if (rows > kMaxDimSize)
        return Status::fail("Too many rows(" + std::to_string(rows) + "), max is " +
                            std::to_string(kMaxDimSize) + tag);
    if (cols > kMaxDimSize)
        return Status::fail("Too many cols(" + std::to_string(cols) + "), max is " +
                            std::to_string(kMaxDimSize) + tag);
    if (n1 < 0 || rows < 0 || cols < 0) return Status::fail(std::string("Size<0 [SafeGetMem]") + tag);
    const auto total = static_cast<unsigned __int128>(n1) * static_cast<unsigned __int128>(rows) *
                       static_cast<unsigned __int128>(cols);
    if (total > (static_cast<unsigned __int128>(1) << 38))
        return Status::fail(std::string("Out of Memory [SafeGetMem]") + tag);
    try {
        mat.values.assign(static_cast<std::size_t>(total), 0.0f);
    } catch (const std::bad_alloc&) {
        return Status::fail(std::string("Out of Memory [SafeGetMem]") + tag);
    }
    mat.n1 = n1;
    mat.rows = rows;
    mat.cols = cols;
    return Status::ok();
}

Status FreeMat3(Mat3& mat) {
    mat = Mat3{};
    return Status::ok();
}

Status AllocSetRec(PSetRec& rec) {
    rec = std::make_unique<TSetRec>();
    return Status::ok();
}

Status FreeSetRec(PSetRec& rec) {
    rec.reset();
    return Status::ok();
}

Status FreeSetRecArr(SetRecList& list, std::int64_t& count) {
    list.clear();
    list.shrink_to_fit();
    count = 0;
    return Status::ok();
}

Status FreeSetRecArr7(SetRecArr7& arr) {
    for (auto& r : arr) r.reset();
    return Status::ok();
}

}  // namespace vdln
