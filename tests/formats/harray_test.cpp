#include "formats/harray.h"

#include <gtest/gtest.h>

#include "formats/memutil.h"

namespace vdln {
namespace {

TEST(HeadMatTest, AllocationLimits) {
    struct Case {
        Dims7 dims;
        std::string message;  // empty: allocated
    } cases[] = {
        // 67108862 x 4 = 268435448 is still within the element limit; x 5 is not.
        {{67108862, 5, 1, 1, 1, 1, 1},
         "Array size (67108862*5*1*1*1*1*1) too large: max is 268435455 elements [AllocMat7]"},
        {{16384, 16384, 1, 1, 1, 1, 1},
         "Array size (16384*16384*1*1*1*1*1) too large: max is 268435455 elements [AllocMat7]"},
        {{67108863, 1, 1, 1, 1, 1, 1}, "Dimension too large(67108863), max is 67108862 [AllocMat7]"},
        {{2, 0, 3, 1, 1, 1, 1}, ""},
        {{2, 3, 4, 5, 2, 1, 3}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        HeadMat m;
        Status s = AllocMat7(m, c.dims);
        if (c.message.empty()) {
            ASSERT_TRUE(s) << s.message();
            EXPECT_TRUE(m.allocated());
            EXPECT_EQ(m.dims(), c.dims);
            std::int64_t n = 1;
            for (auto d : c.dims) n *= d;
            EXPECT_EQ(m.elementCount, n);
            for (std::int64_t i = 0; i < m.size(); ++i) ASSERT_EQ(m.Root()[i], 0.0f);
        } else {
            ASSERT_FALSE(s);
            EXPECT_EQ(s.message(), c.message);
            EXPECT_FALSE(m.allocated());
        }
    }
}

TEST(HeadMatTest, IndexOrderIsFirstIndexFastest) {
    HeadMat m;
    ASSERT_TRUE(AllocMat7(m, {2, 3, 1, 1, 1, 1, 2}));
    m.at(2, 1, 1, 1, 1, 1, 1) = 1;
    m.at(1, 2, 1, 1, 1, 1, 1) = 2;
    m.at(1, 1, 1, 1, 1, 1, 2) = 3;
    EXPECT_EQ(m.Root()[1], 1.0f);
    EXPECT_EQ(m.Root()[2], 2.0f);
    EXPECT_EQ(m.Root()[6], 3.0f);
    ASSERT_TRUE(countNonZeros(m));
    EXPECT_EQ(m.nonZeroCount, 3);
    EXPECT_EQ(m.elementCount, 12);
    ASSERT_TRUE(fillvalue7(m, 2.5f));
    EXPECT_EQ(m.at(2, 3, 1, 1, 1, 1, 2), 2.5f);
}

TEST(HeadMatTest, CopyFreeAndEmptyArrays) {
    HeadMat empty;
    ASSERT_TRUE(AllocMat7(empty, {3, 0, 1, 1, 1, 1, 1}));
    EXPECT_EQ(empty.size(), 0);
    HeadMat copy;
    ASSERT_TRUE(copymat7(empty, copy));
    EXPECT_EQ(copy.dims(), empty.dims());
    EXPECT_EQ(copy.size(), 0);

    HeadMat never;
    EXPECT_TRUE(FreeMat7(never));
    EXPECT_EQ(copymat7(never, copy).message(), "Unexpected nil Root [copymat7]");
    EXPECT_EQ(fillvalue7(never, 1).message(), "Unexpected Nil Pointer [fillvalue7]");
    EXPECT_EQ(countNonZeros(never).message(), "Unexpected Nil Pointer [countNonZeros]");

    HeadMat a;
    ASSERT_TRUE(AllocMat7(a, {2, 2, 1, 1, 1, 1, 1}));
    a.at(2, 2) = 7;
    ASSERT_TRUE(copymat7(a, copy));
    a.at(2, 2) = 8;
    EXPECT_EQ(copy.at(2, 2), 7.0f);
    ASSERT_TRUE(FreeMat7(a));
    EXPECT_FALSE(a.allocated());
    EXPECT_EQ(a.dims(), (Dims7{1, 1, 1, 1, 1, 1, 1}));

    PSetRec rec;
    EXPECT_TRUE(FreeSetRec(rec));
    SetRecArr7 arr;
    ASSERT_TRUE(AllocSetRec(arr[2]));
    EXPECT_TRUE(FreeSetRecArr7(arr));
    EXPECT_FALSE(arr[2]);
}

TEST(MatrixTest, LimitsAndAccess) {
    Mat2 m2;
    EXPECT_EQ(AllocMat2(m2, 67108863, 1).message(), "Too many rows(67108863), max is 67108862 [AllocMat2]");
    EXPECT_EQ(AllocMat2(m2, 1, 67108863).message(), "Too many cols(67108863), max is 67108862 [AllocMat2]");
    ASSERT_TRUE(AllocMat2(m2, 3, 4));
    m2.at(2, 3) = 5;
    EXPECT_EQ(m2.values[11], 5.0f);
    Mat3 m3;
    EXPECT_EQ(AllocMat3(m3, 67108863, 1, 1).message(),
              "Dimension too large(67108863), max is 67108862 [AllocMat3]");
    ASSERT_TRUE(AllocMat3(m3, 3, 2, 4));
    m3.at(2, 1, 3) = 1;
    EXPECT_EQ(m3.values[2 * 8 + 4 + 3], 1.0f);
}

TEST(MemUtilTest, GuardsAndMessages) {
    PStrVec v;
    EXPECT_EQ(AllocPStrVec(v, 70000000).message(), "NElm(70000000)>MaxPtr(67108862) [AllocPStrVec]");
    ASSERT_TRUE(AllocPStrVec(v, 3));
    ASSERT_EQ(v->size(), 4u);
    (*v)[2] = "longest";
    PStrVec copy;
    std::int64_t maxLen = 0;
    ASSERT_TRUE(DupePStrVec(v, copy, 3, maxLen));
    EXPECT_EQ(maxLen, 7);
    EXPECT_EQ((*copy)[2], "longest");
    EXPECT_EQ(DupePStrVec(v, copy, 3, maxLen).message(), "Expected Nil Pointer [DupePStrVec]");
    PStrVec none;
    EXPECT_EQ(DupePStrVec(none, copy, 3, maxLen).message(), "Unexpected Nil Pointer [DupePStrVec]");

    void* p = nullptr;
    ASSERT_TRUE(SafeGetMem(p, 0));
    EXPECT_EQ(p, nullptr);
    ASSERT_TRUE(SafeGetMem(p, 16));
    EXPECT_EQ(static_cast<char*>(p)[15], 0);
    EXPECT_EQ(SafeGetMem(p, 16).message(), "pointer should be nil [SafeGetMem]");
    ASSERT_TRUE(SafeFreeMem(p, 16));
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(SafeGetMem(p, -1).message(), "Size<0 [SafeGetMem]");

    PArr2 a;
    EXPECT_EQ(AllocArr(a, 67108863, 1, 4).message(), "NElm(67108863)>MaxPtr(67108862) [AllocArr]");
    EXPECT_EQ(AllocArr(a, 1, 67108864, 4).message(), "NElm(67108864)>MaxCol(67108863) [AllocArr]");
    ASSERT_TRUE(AllocArr(a, 2, 3, 4));
    a->i32(2, 3) = -5;
    PArr2 b;
    ASSERT_TRUE(DupeLongIntArr(a, b, 2, 3));
    EXPECT_EQ(b->i32(2, 3), -5);
    PBoolVec bv;
    EXPECT_EQ(AllocBoolVec(bv, MaxBool + 1).message(), "NElm(268435455)>MaxBool(268435454) [AllocBoolVec]");
}

}  // namespace
}  // namespace vdln
