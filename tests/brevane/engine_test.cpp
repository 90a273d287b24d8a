// The cycle-period engine and the channel's look-back depth, called directly: they are internal to
// the Brevane module, which reaches the host only through BrevanePeriod, ChannelHigh and ChannelLow.
#include "channel_walk.hpp"
#include "hilbert_period.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace brevane {
namespace {

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::uint64_t bitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The periods of `values` over first..last, as every caller runs the engine: a zero-filled array of
// last + 1 entries.
std::vector<float> periodsOf(const std::vector<float> &values, int32 first, int32 last) {
    std::vector<float> period(static_cast<std::size_t>(last) + 1, 0.0f);
    EXPECT_EQ(CalcHilbertPeriod(values.data(), first, last, period.data(), last + 1), kPeriodMeasured);
    return period;
}

std::vector<float> randomSeries(std::size_t bars, unsigned seed, float low, float high) {
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> value(low, high);
    std::vector<float> series(bars);
    for (float &v : series) v = value(engine);
    return series;
}

// level + amplitude · sin(2π i / period), rounded to float.
std::vector<float> sineWave(double period, double amplitude, double level, std::size_t bars) {
    std::vector<float> series(bars);
    const double pi = std::acos(-1.0);
    for (std::size_t i = 0; i < bars; ++i) {
        series[i] = static_cast<float>(level + amplitude * std::sin(2.0 * pi * static_cast<double>(i) / period));
    }
    return series;
}

bool sameBits(const std::vector<float> &a, const std::vector<float> &b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// ---- ClampToFloatRange ---------------------------------------------------------------------

TEST(ClampToFloatRange, KeepsEveryValueInsideTheMagnitudeRangeOfAFloat) {
    const double largest = 3.4028234663852886e38;   // (2 - 2^-23) · 2^127
    const double smallest = 1.1754943508222875e-38;  // 2^-126
    struct Case {
        double in, out;
    };
    // Rows: the listed values, the limits themselves, and values just inside and outside them.
    const Case cases[] = {
        {1e39, largest},
        {-1e39, -largest},
        {1e-40, smallest},
        {-1e-40, -smallest},
        {1.0, 1.0},
        {-2.5, -2.5},
        {largest, largest},
        {-largest, -largest},
        {smallest, smallest},
        {-smallest, -smallest},
        {std::nextafter(largest, 0.0), std::nextafter(largest, 0.0)},
        {std::nextafter(smallest, 1.0), std::nextafter(smallest, 1.0)},
        {std::numeric_limits<double>::infinity(), largest},
        {-std::numeric_limits<double>::infinity(), -largest},
        {std::numeric_limits<double>::denorm_min(), smallest},
        {-std::numeric_limits<double>::denorm_min(), -smallest},
        {std::numeric_limits<double>::quiet_NaN(), -largest},
        {-std::numeric_limits<double>::quiet_NaN(), -largest},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(bitsOf(ClampToFloatRange(c.in)), bitsOf(c.out)) << c.in;
    }
    EXPECT_EQ(bitsOf(ClampToFloatRange(0.0)), bitsOf(0.0));
    EXPECT_EQ(bitsOf(ClampToFloatRange(-0.0)), bitsOf(-0.0));
    // The result is a double: a value between two floats is not rounded.
    EXPECT_EQ(ClampToFloatRange(1.0 + 1e-12), 1.0 + 1e-12);
}

// ---- CalcHilbertPeriod ---------------------------------------------------------------------

// The bits of 1.2, 2.16, 2.928, 3.5424 and 4.03392 as the engine stores them: 1.2000000476837158,
// 2.1600000858306885, 2.9280002117156982, 3.5424001216888428, 4.0339202880859375.
constexpr std::uint32_t kWarmUpBits[] = {0x3F99999A, 0x400A3D71, 0x403B645B, 0x4062B6AF, 0x408115E0};

TEST(CalcHilbertPeriod, WarmsUpWithTheSameFiveValuesWhateverTheInput) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float big = std::numeric_limits<float>::max();
    struct Case {
        const char *what;
        std::vector<float> values;
    };
    const Case cases[] = {
        {"zeros", std::vector<float>(16, 0.0f)},
        {"a constant", std::vector<float>(16, 100.0f)},
        {"random prices", randomSeries(16, 7, 50.0f, 150.0f)},
        {"alternating extremes", {big, -big, big, -big, big, -big, big, -big, big, -big, big, -big, big, -big, big, -big}},
        {"infinities and NaN", {inf, -inf, nan, 1, inf, nan, -inf, 2, nan, inf, 3, -inf, nan, 4, inf, 5}},
        {"subnormals", std::vector<float>(16, std::numeric_limits<float>::denorm_min())},
    };
    for (int32 first : {0, 1, 3}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.what);
            SCOPED_TRACE(first);
            const std::vector<float> period = periodsOf(c.values, first, 15);
            for (int32 k = 0; k < 5; ++k) {
                EXPECT_EQ(bitsOf(period[first + 5 + k]), kWarmUpBits[k]) << "bar firstValid + " << 5 + k;
            }
            for (int32 bar = 0; bar < first + 5; ++bar) {
                EXPECT_EQ(bitsOf(period[bar]), 0u) << "bar " << bar << " is not computed";
            }
            for (int32 bar = first + 5; bar <= 15; ++bar) {
                EXPECT_TRUE(period[bar] >= 1.2f && period[bar] <= 50.0f) << "bar " << bar;
            }
        }
    }
}

TEST(CalcHilbertPeriod, WritesFromFirstValidPlusFiveOnly) {
    const std::vector<float> values = randomSeries(12, 3, 1.0f, 2.0f);
    // Entries the engine must not write hold a pattern instead of the usual zeros.
    const float pattern = 123.0f;
    for (int32 last : {1, 3, 6, 7}) {  // firstValid 2: the first bar would be 7
        std::vector<float> period(static_cast<std::size_t>(last) + 1, pattern);
        period[std::min(last, 6)] = 0.0f;  // the previous period of bar 7
        std::vector<float> before = period;
        EXPECT_EQ(CalcHilbertPeriod(values.data(), 2, last, period.data(), last + 1), kPeriodMeasured);
        if (last < 7) {
            EXPECT_TRUE(sameBits(period, before)) << "lastValid " << last;
        } else {
            EXPECT_EQ(bitsOf(period[7]), kWarmUpBits[0]);
            before[7] = period[7];
            EXPECT_TRUE(sameBits(period, before)) << "only bar 7 is written";
        }
    }
}

TEST(CalcHilbertPeriod, FirstValidNearTheInt32LimitComputesNoBar) {
    // firstValid + 5 passes the limit: no bar, no wrap to a negative start.
    const float values[2] = {1.0f, 2.0f};
    float period[2] = {0.0f, 0.0f};
    for (int32 first : {std::numeric_limits<int32>::max() - 4, std::numeric_limits<int32>::max()}) {
        EXPECT_EQ(CalcHilbertPeriod(values, first, 1, period, 2), kPeriodMeasured);
        EXPECT_EQ(bitsOf(period[0]), 0u);
        EXPECT_EQ(bitsOf(period[1]), 0u);
    }
}

TEST(CalcHilbertPeriod, BarsBeforeFirstValidPlusTwoNeverEnter) {
    const std::vector<float> values = randomSeries(120, 11, 90.0f, 110.0f);
    const int32 first = 4;
    const std::vector<float> reference = periodsOf(values, first, 119);
    std::vector<float> changed = values;
    for (int32 bar = 0; bar < first + 2; ++bar) {  // firstValid, firstValid + 1 and the bars before
        changed[bar] = bar % 2 ? std::numeric_limits<float>::quiet_NaN() : 1e30f;
    }
    EXPECT_TRUE(sameBits(periodsOf(changed, first, 119), reference));

    // Bar firstValid + 2 does enter.
    changed = values;
    changed[first + 2] += 1.0f;
    EXPECT_FALSE(sameBits(periodsOf(changed, first, 119), reference));
}

TEST(CalcHilbertPeriod, ShiftingTheSeriesOneBarShiftsThePeriods) {
    // The filter taps that reach below bar 0 read 0, like bars not computed yet.
    const std::vector<float> values = randomSeries(150, 5, 10.0f, 20.0f);
    std::vector<float> shifted(1, 55.5f);
    shifted.insert(shifted.end(), values.begin(), values.end());
    const std::vector<float> atZero = periodsOf(values, 0, 149);
    const std::vector<float> atOne = periodsOf(shifted, 1, 150);
    EXPECT_EQ(bitsOf(atOne[0]), 0u);
    for (std::size_t bar = 0; bar < atZero.size(); ++bar) {
        ASSERT_EQ(bitsOf(atOne[bar + 1]), bitsOf(atZero[bar])) << "bar " << bar;
    }
}

TEST(CalcHilbertPeriod, NeverRisesAboveFiftyNorBelowTheWarmUp) {
    const std::vector<float> values = randomSeries(2000, 17, -1e6f, 1e6f);
    const std::vector<float> period = periodsOf(values, 0, 1999);
    for (std::size_t bar = 5; bar < period.size(); ++bar) {
        ASSERT_GE(period[bar], 1.2f) << bar;
        ASSERT_LE(period[bar], 50.0f) << bar;
    }
}

// Sine waves of 400 bars, firstValid 0: the measured period settles from bar 200 on, whatever the
// amplitude and the level.
TEST(CalcHilbertPeriod, FindsThePeriodOfASineWave) {
    struct Case {
        double period, lowest, highest;
    };
    const Case cases[] = {{10, 10.00, 10.08}, {20, 19.92, 20.11}, {40, 39.98, 40.02}};
    struct Shape {
        double amplitude, level;
    };
    const Shape shapes[] = {{10, 100}, {1, 0}, {1000, 5000}, {0.5, 10}};
    for (const Case &c : cases) {
        for (const Shape &s : shapes) {
            SCOPED_TRACE(testing::Message() << "period " << c.period << ", amplitude " << s.amplitude
                                            << ", level " << s.level);
            const std::vector<float> period = periodsOf(sineWave(c.period, s.amplitude, s.level, 400), 0, 399);
            for (std::size_t bar = 200; bar < period.size(); ++bar) {
                EXPECT_GE(period[bar], c.lowest) << "bar " << bar;
                EXPECT_LE(period[bar], c.highest) << "bar " << bar;
            }
        }
    }
}

TEST(CalcHilbertPeriod, SettlesJustBelowFiftyOnALongCycle) {
    // Step 12 bounds the period at 50 bar after bar; the smoothing then rounds to the largest float
    // below 50 and never reaches 50 itself.
    const std::uint32_t justBelowFifty = 0x4247FFFF;  // 49.999996185302734
    for (double amplitude : {10.0, 1.0, 1000.0}) {
        const std::vector<float> period = periodsOf(sineWave(60, amplitude, 100, 400), 0, 399);
        for (std::size_t bar = 200; bar < period.size(); ++bar) {
            ASSERT_EQ(bitsOf(period[bar]), justBelowFifty) << "amplitude " << amplitude << ", bar " << bar;
        }
    }
}

TEST(CalcHilbertPeriod, GivesTheSameBitsOnEveryTarget) {
    // A sawtooth of whole numbers (exact in float, no library function in the input). The bits were
    // recorded from the x86-64 build; a 32-bit build with SSE2 gives them too, while x87 extended
    // precision or fused multiply-adds change bars 15 and 20 at least. Warm-up ends at bar 9.
    std::vector<float> values(120);
    for (int i = 0; i < 120; ++i) values[i] = static_cast<float>(100 + (i * 37) % 23 - 11);
    const std::vector<float> period = periodsOf(values, 0, 119);
    const std::pair<int, std::uint32_t> pinned[] = {
        {10, 0x408DFE77},  // 4.4373126
        {11, 0x409C3183},  // 4.88104391
        {15, 0x40E4AEC9},  // 7.14633608
        {20, 0x413825E0},  // 11.5092468
        {30, 0x41DC592C},  // 27.543541
        {45, 0x416090E2},  // 14.0353718
        {60, 0x41262E4B},  // 10.386302
        {80, 0x411EC0AD},  // 9.92203999
        {100, 0x410C6B0A},  // 8.77613258
        {119, 0x40FB9A68},  // 7.86259842
    };
    for (const auto &[bar, bits] : pinned) {
        EXPECT_EQ(bitsOf(period[bar]), bits) << "bar " << bar;
    }
}

TEST(CalcHilbertPeriod, GivesTheRecordedBitsOverALongRandomWalk) {
    // 20000 bars of a random walk in steps of 1/64 (exact in float, from an integer generator). A
    // constant used in the wrong precision (the gain's 0.046 or 0.332, the rate limit's 0.67 as
    // doubles) changes a few of these bars in their last bit; the digest of all of them shows it.
    // Recorded from the x86-64 build; the 32-bit SSE2 build and a 64-bit Windows build agree.
    const int bars = 20000;
    std::vector<float> values(bars);
    std::uint32_t state = 12345;
    double level = 100;
    for (float &v : values) {
        state = state * 1664525u + 1013904223u;
        level += (static_cast<int>(state >> 24) - 128) / 64.0;
        v = static_cast<float>(level);
    }
    const std::vector<float> period = periodsOf(values, 0, bars - 1);
    std::uint64_t digest = 1469598103934665603ull;  // FNV-1a over the bits of every entry
    for (float p : period) {
        digest ^= bitsOf(p);
        digest *= 1099511628211ull;
    }
    EXPECT_EQ(digest, 0xC6418EBC675434BFull);
    EXPECT_EQ(bitsOf(period[bars - 1]), bitsOf(34.3633156f));
}

// ---- The channel's look-back depth ---------------------------------------------------------

TEST(LookBackDepth, ComesFromTheBoundedAlternateLengthOrThePeriodTimesTheMultiplier) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float multiplier, alternate, period;
        int32 depth;
    };
    // Rows: the worked figures of the channel functions, and the bounds of both numbers.
    const Case cases[] = {
        {1, 7.9f, 10, 7},       // the alternate length is truncated
        {1, 0.5f, 10, 1},       // and raised to 1
        {1, 250, 10, 100},      // and bounded to 100
        {1, 100.5f, 10, 100},
        {1, -5, 10, 10},        // a negative one counts as 0: the period decides
        {1, nan, 10, 10},
        {1, 3, 0, 3},           // a set alternate length ignores the period
        {-1, 0, 10, 1},         // a negative multiplier counts as 0
        {nan, 0, 10, 1},
        {150, 0, 50, 5000},     // the multiplier is bounded to 100
        {0.25f, 0, 10, 2},
        {1, 0, 2.1600000858306885f, 2},
        {2.5f, 0, 1.2000000476837158f, 3},  // 3.0000001
        {1, 0, 0, 1},           // a bar without a period
        {0, 0, inf, 1},         // 0 times an infinite period is not a number
        {100, 0, inf, std::numeric_limits<int32>::max()},
    };
    for (const Case &c : cases) {
        const LookBackLengths lengths = boundLookBackLengths(c.multiplier, c.alternate);
        EXPECT_EQ(lookBackDepth(lengths, c.period), c.depth)
            << "multiplier " << c.multiplier << ", alternate " << c.alternate << ", period " << c.period;
    }
}

}  // namespace
}  // namespace brevane
