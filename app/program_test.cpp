#include "app/program.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

namespace pelorin::app {
namespace {

TEST(FloatEnvironment, RoundsToNearestAndNeverTraps) {
    std::fesetround(FE_TOWARDZERO);
    set_float_environment();
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
    volatile float zero = 0.0f;
    volatile float one = 1.0f;
    EXPECT_TRUE(std::isinf(one / zero)) << "division by zero yields infinity and goes on";
    EXPECT_TRUE(std::isnan(zero / zero));
    volatile float big = std::numeric_limits<float>::max();
    EXPECT_TRUE(std::isinf(big * 2.0f));
    // Single additions stored at once are IEEE single results.
    volatile float sum = 0.0f;
    for (int i = 0; i < 10; ++i)
        sum = sum + 0.1f;
    EXPECT_EQ(sum, 1.00000012f);
}

}  // namespace
}  // namespace pelorin::app
