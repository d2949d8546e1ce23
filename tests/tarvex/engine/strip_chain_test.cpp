// Work buffers back into samples: truncation toward zero, the 32-bit limits,
// NaN as silence, and the clip flag.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/strip_chain.h"

using namespace tarvex;

TEST(StoreWithClipCheck, TruncatesHoldsAtTheLimitsAndFlagsOnlyRealOvers) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::vector<double> left{2.9,           -2.9, 2147483647.5, -2147483648.0,
                                   -2147483649.0, kNaN, kInf,         -0.5};
    const std::vector<double> right{kNaN, -kInf, 1e300, -1e300, 0.0, 100.0, -100.0, 7.0};
    const std::vector<int32_t> wantL{2, -2, INT32_MAX, INT32_MIN, INT32_MIN, 0, INT32_MAX, 0};
    const std::vector<int32_t> wantR{0, INT32_MIN, INT32_MAX, INT32_MIN, 0, 100, -100, 7};
    std::vector<int32_t> outL(left.size()), outR(right.size());
    const auto n = static_cast<int32_t>(left.size());

    int32_t flag = 0;
    storeWithClipCheck(left, right, outL, outR, n, 2147483648.0, flag);
    EXPECT_EQ(outL, wantL);
    EXPECT_EQ(outR, wantR);
    EXPECT_EQ(flag, 1); // the infinities and -2^31 - 1 pass full scale

    // A NaN is no over, and values at full scale are not beyond it.
    const std::vector<double> quiet{kNaN, 8388608.0, -8388608.0};
    std::vector<int32_t> l(3), r(3);
    flag = 0;
    storeWithClipCheck(quiet, quiet, l, r, 3, 8388608.0, flag);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(l, (std::vector<int32_t>{0, 8388608, -8388608}));

    // Once set, the flag stays.
    flag = 1;
    storeWithClipCheck(quiet, quiet, l, r, 3, 8388608.0, flag);
    EXPECT_EQ(flag, 1);
}
