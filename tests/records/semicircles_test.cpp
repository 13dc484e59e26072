// Degrees <-> semicircles.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "records/record_formats.h"

namespace {

TEST(Semicircles, ToDegreesIsExactScaling) {
    EXPECT_EQ(semicirclesToDegrees(0), 0.0);
    EXPECT_EQ(semicirclesToDegrees(INT32_MIN), -180.0);
    EXPECT_EQ(semicirclesToDegrees(0x40000000), 90.0);
    EXPECT_EQ(semicirclesToDegrees(1), 8.381903171539307e-08);
    EXPECT_EQ(semicirclesToDegrees(INT32_MAX), (double)INT32_MAX * 180.0 / 2147483648.0);
    EXPECT_EQ(semicirclesToDegrees(-5965232), -5965232.0 * 180.0 / 2147483648.0);
}

TEST(Semicircles, FromDegreesTruncatesTowardZero) {
    EXPECT_EQ(degreesToSemicircles(0.0), 0);
    EXPECT_EQ(degreesToSemicircles(-0.5), -5965232);
    EXPECT_EQ(degreesToSemicircles(0.5), 5965232);
    EXPECT_EQ(degreesToSemicircles(90.0), 0x40000000);
    EXPECT_EQ(degreesToSemicircles(-90.0), -0x40000000);
    EXPECT_EQ(degreesToSemicircles(-180.0), INT32_MIN);
    // 180 degrees is 2^31: its low 32 bits are 0x80000000.
    EXPECT_EQ((uint32_t)degreesToSemicircles(180.0), 0x80000000u);
    // 1e-8 degrees is 0.119 semicircles.
    EXPECT_EQ(degreesToSemicircles(1e-8), 0);
    EXPECT_EQ(degreesToSemicircles(-1e-8), 0);
    // 10.0 * 11930464.711111112 = 119304647.11...
    EXPECT_EQ(degreesToSemicircles(10.0), 119304647);
    EXPECT_EQ(degreesToSemicircles(-10.0), -119304647);
}

TEST(Semicircles, FromDegreesBeyondRangeKeepsLow32Bits) {
    // 360 degrees = 2^32 -> 0; 270 degrees = 3 * 2^30 -> 0xC0000000.
    EXPECT_EQ(degreesToSemicircles(360.0), 0);
    EXPECT_EQ((uint32_t)degreesToSemicircles(270.0), 0xC0000000u);
    EXPECT_EQ((uint32_t)degreesToSemicircles(-270.0), 0x40000000u);
}

TEST(Semicircles, FromDegreesNonFiniteAndHugeGiveZero) {
    EXPECT_EQ(degreesToSemicircles(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(degreesToSemicircles(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(degreesToSemicircles(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(degreesToSemicircles(1e300), 0);
    EXPECT_EQ(degreesToSemicircles(-1e300), 0);
    EXPECT_EQ(degreesToSemicircles(std::numeric_limits<double>::max()), 0);
}

TEST(Semicircles, RoundTripStaysWithinOneSemicircle) {
    for (int32_t s : {0, 1, -1, 5965232, -5965232, 0x3FFFFFFF, -0x40000000, INT32_MAX, INT32_MIN + 1}) {
        int32_t back = degreesToSemicircles(semicirclesToDegrees(s));
        EXPECT_LE(std::llabs((long long)back - (long long)s), 1) << s;
    }
}

}  // namespace
