// The shared numeric rules, tested directly.
#include "numeric.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace zenobar {
namespace {

std::uint64_t bitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(ZenobarNumeric, ClampLimitsHaveTheirExactBitPatterns) {
    EXPECT_EQ(bitsOf(kClampUpper), 0x7F7D9B19u);
    EXPECT_EQ(bitsOf(kClampLower), 0x038F722Fu);
}

TEST(ZenobarNumeric, ClampToSingleKeepsMagnitudesBetweenTheLimitsAndTheSign) {
    const double upper = kClampUpper;
    const double lower = kClampLower;
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double in;
        double out;
    };
    const Case cases[] = {
        {0.0, 0.0},
        {-0.0, -0.0},
        {1.5, 1.5},
        {-1.5, -1.5},
        {1e-40, lower},
        {-1e-40, -lower},
        {std::numeric_limits<double>::denorm_min(), lower},
        {3.4e38, upper},
        {-3.4e38, -upper},
        {std::numeric_limits<double>::max(), upper},
        {inf, upper},
        {-inf, -upper},
        {std::numeric_limits<double>::quiet_NaN(), upper},
        {-std::numeric_limits<double>::quiet_NaN(), upper},
        {upper, upper},
        {lower, lower},
        {-upper, -upper},
        {-lower, -lower},
        {std::nextafter(upper, inf), upper},
        {std::nextafter(upper, 0.0), std::nextafter(upper, 0.0)},
        {std::nextafter(lower, 0.0), lower},
        {std::nextafter(-lower, 0.0), -lower},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(bitsOf(clampToSingle(c.in)), bitsOf(c.out)) << c.in << " gave " << clampToSingle(c.in);
    }
}

TEST(ZenobarNumeric, AStoredSumThatOverflowsAFloatIsTheUpperLimit) {
    const float big = 3.0e38f;
    const double sum = static_cast<double>(big) + static_cast<double>(big);
    EXPECT_EQ(bitsOf(storedValue(sum)), bitsOf(kClampUpper));
    EXPECT_EQ(bitsOf(storedValue(-sum)), bitsOf(-kClampUpper));
    EXPECT_EQ(bitsOf(storedValue(1e-40)), bitsOf(kClampLower));
    // A value between two floats goes to the nearer one, a halfway value to the even one.
    EXPECT_EQ(bitsOf(storedValue(1.0 + 0x1p-24)), bitsOf(1.0f));
    EXPECT_EQ(bitsOf(storedValue(1.0 + 0x3p-24)), bitsOf(1.0f + 0x1p-22f));
}

TEST(ZenobarNumeric, RoundingGoesToTheNearestIntegerAndHalfwayToEven) {
    const std::pair<double, double> cases[] = {
        {2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {4.4, 4}, {4.6, 5},
        {0.5, 0}, {1.5, 2}, {-0.4, 0},  {7.0, 7},   {1e9 + 0.5, 1e9},
    };
    for (const auto &[in, out] : cases) {
        EXPECT_EQ(roundHalfToEven(in), out) << in;
    }
}

TEST(ZenobarNumeric, APeriodIsTruncatedAndMustBeAnInt32) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, int32> usable[] = {
        {2.9f, 2}, {0.9f, 0}, {-1.5f, -1}, {-3.0f, -3}, {40000.7f, 40000},
        {2147483520.0f, 2147483520}, {-2147483648.0f, std::numeric_limits<int32>::min()},
    };
    for (const auto &[in, out] : usable) {
        const std::optional<int32> period = truncatedPeriod(in);
        ASSERT_TRUE(period.has_value()) << in;
        EXPECT_EQ(*period, out) << in;
    }
    for (float in : {nan, inf, -inf, 2147483648.0f, -2147483904.0f, 3.0e9f}) {
        EXPECT_FALSE(truncatedPeriod(in).has_value()) << in;
    }
}

}  // namespace
}  // namespace zenobar
