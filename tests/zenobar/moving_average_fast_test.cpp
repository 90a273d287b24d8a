// The sliding simple and weighted averages against the literal sums afresh, bit for bit, on
// randomized series of many shapes; and MyMov's simple, triangular and weighted methods against the
// literal passes they stand for.
#include "moving_average.hpp"
#include "numeric.hpp"
#include "sliding_window_average.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace zenobar {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
constexpr std::uint32_t kUnwritten = 0x7FA5A5A5;  // a NaN pattern no average produces

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float floatFromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Random numbers from the raw 32-bit engine only, so that every platform draws the same series.
class Draw {
public:
    explicit Draw(std::uint32_t seed) : engine_(seed) {}
    std::uint32_t bits() { return static_cast<std::uint32_t>(engine_()); }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(bits() >> 8) / 16777216.0; }
    // Uniform integer in [low, high].
    std::int64_t between(std::int64_t low, std::int64_t high) {
        const auto width = static_cast<std::uint64_t>(high - low) + 1;
        return low + static_cast<std::int64_t>(bits() % width);
    }
    bool chance(double p) { return unit() < p; }

private:
    std::mt19937 engine_;
};

using Values = std::vector<float>;

// Prices: a random walk near 100 with moves of about 1%.
Values randomWalk(std::size_t bars, Draw &draw, double level = 100.0) {
    Values v(bars);
    for (std::size_t i = 0; i < bars; ++i) {
        level *= 1.0 + (draw.unit() - 0.5) * 0.02;
        v[i] = static_cast<float>(level);
    }
    return v;
}

// Prices quoted in cents, as a data feed gives them.
Values centPrices(std::size_t bars, Draw &draw) {
    Values v = randomWalk(bars, draw, 42.0);
    for (float &x : v) {
        x = static_cast<float>(std::round(static_cast<double>(x) * 100.0) / 100.0);
    }
    return v;
}

// Volumes: whole numbers from hundreds to tens of millions.
Values volumes(std::size_t bars, Draw &draw) {
    Values v(bars);
    for (float &x : v) {
        x = static_cast<float>(std::floor(std::pow(10.0, 2.0 + 5.0 * draw.unit())));
    }
    return v;
}

// A price series grown a hundred-million-fold: runs of exact windows have to be started afresh as
// the magnitudes move.
Values exponentialDrift(std::size_t bars, Draw &draw) {
    Values v(bars);
    for (std::size_t i = 0; i < bars; ++i) {
        const double level = 1e-3 * std::pow(1e8, static_cast<double>(i) / bars);
        v[i] = static_cast<float>(level * (1.0 + (draw.unit() - 0.5) * 0.01));
    }
    return v;
}

// Any float at all: random sign, significand and exponent, subnormals included.
Values anyFinite(std::size_t bars, Draw &draw) {
    Values v(bars);
    for (float &x : v) {
        const std::uint32_t exponent = static_cast<std::uint32_t>(draw.between(0, 254));
        x = floatFromBits((draw.bits() & 0x807FFFFFu) | (exponent << 23));
    }
    return v;
}

// Values of two magnitudes `apart` binary orders from each other, with full significands: windows
// whose exactness hinges on the last bit of the bound. With `nearTop` the large values all lie just
// below the next power of two and have one sign, so that sums of a few more terms than a window
// holds pass the bound.
Values twoMagnitudes(std::size_t bars, Draw &draw, int apart, bool nearTop) {
    Values v(bars);
    for (float &x : v) {
        const bool large = draw.chance(0.5);
        const std::uint32_t fraction = draw.bits() & 0x7FFFFFu;
        const std::uint32_t highBits = nearTop && large ? 0x7C0000u : 0u;
        const double significand = 1.0 + static_cast<double>(fraction | highBits) / 8388608.0;
        const double sign = !(nearTop && large) && draw.chance(0.3) ? -1.0 : 1.0;
        x = static_cast<float>(sign * std::ldexp(significand, large ? apart : 0));
    }
    return v;
}

// Huge magnitudes only, with infinities and NaNs among them.
Values hugeAndInfinite(std::size_t bars, Draw &draw) {
    Values v(bars);
    for (float &x : v) {
        const std::uint32_t exponent = static_cast<std::uint32_t>(draw.between(240, 255));
        const std::uint32_t fraction = exponent == 255 && draw.chance(0.5) ? 0u : draw.bits() & 0x7FFFFFu;
        x = floatFromBits((draw.bits() & 0x80000000u) | (exponent << 23) | fraction);
    }
    return v;
}

// Signed zeros and small whole numbers whose windows often sum to zero.
Values zerosAndSmallIntegers(std::size_t bars, Draw &draw) {
    Values v(bars);
    for (float &x : v) {
        const std::int64_t pick = draw.between(0, 5);
        x = pick == 0 ? 0.0f : pick == 1 ? -0.0f : static_cast<float>(draw.between(-2, 2));
    }
    return v;
}

// Copies `v` with special values placed at random bars, about one bar in `every`.
Values sprinkled(Values v, Draw &draw, const Values &specials, double every) {
    for (float &x : v) {
        if (draw.chance(1.0 / every)) {
            x = specials[static_cast<std::size_t>(draw.between(0, specials.size() - 1))];
        }
    }
    return v;
}

const Values kSpecials = {kNaN, kInf, -kInf, 0.0f, -0.0f, 1e-40f, -1e-42f, 3e38f, -3e38f,
                          1e-30f, 1e30f, 0x1p60f, -0x1p60f};

// Every entry of both arrays, and both ranges, identical.
void expectSameBits(const Values &literal, const DataArrayRec &literalRange, const Values &fast,
                    const DataArrayRec &fastRange, const std::string &what) {
    EXPECT_EQ(fastRange.firstValid, literalRange.firstValid) << what;
    EXPECT_EQ(fastRange.lastValid, literalRange.lastValid) << what;
    ASSERT_EQ(fast.size(), literal.size());
    std::size_t mismatches = 0;
    for (std::size_t bar = 0; bar < literal.size() && mismatches < 5; ++bar) {
        if (bitsOf(fast[bar]) != bitsOf(literal[bar])) {
            ++mismatches;
            ADD_FAILURE() << what << ": bar " << bar << " literal " << literal[bar] << " (0x" << std::hex
                          << bitsOf(literal[bar]) << "), sliding " << fast[bar] << " (0x"
                          << bitsOf(fast[bar]) << std::dec << ")";
        }
    }
}

// windowAverage and slidingWindowAverage over source bars first..last.
void expectSlidingMatchesLiteral(Values values, int32 first, int32 last, int32 n, bool weighted,
                                 const std::string &shape) {
    const std::string what = shape + (weighted ? ", weighted" : ", simple") + ", n " +
                             std::to_string(n) + ", bars " + std::to_string(first) + ".." +
                             std::to_string(last);
    const DataArrayRec source{values.data(), first, last};
    Values literal(values.size() + 1, floatFromBits(kUnwritten));
    Values fast = literal;
    DataArrayRec literalOut{literal.data(), 77, 77};
    DataArrayRec fastOut{fast.data(), 77, 77};
    windowAverage(source, literalOut, n, weighted);
    slidingWindowAverage(source, fastOut, n, weighted);
    expectSameBits(literal, literalOut, fast, fastOut, what);
}

void expectBothMatch(const Values &values, int32 first, int32 last, int32 n, const std::string &shape) {
    expectSlidingMatchesLiteral(values, first, last, n, false, shape);
    expectSlidingMatchesLiteral(values, first, last, n, true, shape);
}

constexpr int32 kPeriods[] = {1, 2, 3, 4, 7, 10, 31, 64, 200, 777};

TEST(SlidingWindowAverage, MatchesTheLiteralSumsOnPriceAndVolumeData) {
    Draw draw(20240607);
    for (int32 n : kPeriods) {
        expectBothMatch(randomWalk(1500, draw), 1, 1499, n, "random walk");
        expectBothMatch(centPrices(1500, draw), 3, 1400, n, "cent prices");
        expectBothMatch(volumes(1500, draw), 1, 1499, n, "volumes");
        expectBothMatch(exponentialDrift(3000, draw), 1, 2999, n, "exponential drift");
    }
}

TEST(SlidingWindowAverage, MatchesTheLiteralSumsAroundSpecialValues) {
    Draw draw(7);
    for (int32 n : kPeriods) {
        expectBothMatch(sprinkled(randomWalk(1200, draw), draw, kSpecials, 150.0), 1, 1199, n,
                        "random walk with specials");
        expectBothMatch(sprinkled(volumes(1200, draw), draw, {kNaN, kInf, -kInf, 3e38f}, 400.0), 2,
                        1199, n, "volumes with NaN and infinities");
        expectBothMatch(zerosAndSmallIntegers(800, draw), 1, 799, n, "signed zeros");
        expectBothMatch(anyFinite(800, draw), 1, 799, n, "any finite float");
        expectBothMatch(hugeAndInfinite(800, draw), 1, 799, n, "huge and infinite");
        expectBothMatch(sprinkled(anyFinite(800, draw), draw, kSpecials, 50.0), 1, 799, n,
                        "any float");
    }
}

TEST(SlidingWindowAverage, MatchesTheLiteralSumsAtTheEdgeOfExactness) {
    // Two magnitudes at every distance around the span that the bound lets through for the period:
    // a bound one bit too loose would let inexact sums slide.
    Draw draw(99);
    for (int32 n : {2, 3, 4, 5, 16, 100, 1000, 1024}) {
        for (bool weighted : {false, true}) {
            for (bool nearTop : {false, true}) {
                const int limit = exactSpanLimit(n, weighted);
                for (int apart = limit - 27; apart <= limit - 20; ++apart) {
                    if (apart < 0) continue;
                    expectSlidingMatchesLiteral(twoMagnitudes(2500, draw, apart, nearTop), 1, 2499, n,
                                                weighted,
                                                "two magnitudes " + std::to_string(apart) + " apart" +
                                                    (nearTop ? ", near the top" : ""));
                }
            }
        }
    }
}

TEST(SlidingWindowAverage, MatchesTheLiteralSumsOnCancellingHugeValues) {
    // Sums afresh lose the 1 next to 2^60 in some windows and keep it in others.
    const Values pattern = {0x1p60f, 1.0f, -0x1p60f, 0x1p60f, 1.0f, 3.0f, -0x1p60f, 0.5f};
    Values values(400);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = pattern[i % pattern.size()];
    for (int32 n : {1, 2, 3, 4, 5, 8, 9, 50}) {
        expectBothMatch(values, 1, 399, n, "cancelling huge values");
    }
}

TEST(SlidingWindowAverage, MatchesTheLiteralSumsForLongPeriodsAndEveryRange) {
    Draw draw(5);
    const Values prices = randomWalk(7000, draw);
    expectBothMatch(prices, 1, 6999, 5000, "random walk");
    expectBothMatch(sprinkled(prices, draw, {1e30f}, 3000.0), 1, 6999, 5000, "one huge value");
    // The weighted divisor stops being exact above 5792; heavy weights narrow the span that slides.
    for (int32 n : {5792, 5793, 20000}) {
        expectSlidingMatchesLiteral(volumes(n + 600, draw), 1, n + 599, n, true, "volumes");
        expectSlidingMatchesLiteral(randomWalk(n + 600, draw), 1, n + 599, n, true, "random walk");
    }
    expectBothMatch(volumes(33500, draw), 1, 33499, 33000, "volumes beyond 16 bits");
    // Ranges: exactly one window, no window at all, windows starting late in the array.
    expectBothMatch(prices, 1, 200, 200, "one window");
    expectBothMatch(prices, 1, 198, 200, "no window");
    expectBothMatch(prices, 6000, 6999, 300, "late start");
}

TEST(SlidingWindowAverage, MatchesTheLiteralSumsWhenTheTargetIsTheSource) {
    // The literal form then reads averages it has just written; the sliding form must do the same.
    Draw draw(11);
    for (int32 n : {1, 3, 20}) {
        for (bool weighted : {false, true}) {
            Values literal = randomWalk(300, draw);
            Values fast = literal;
            DataArrayRec literalRec{literal.data(), 1, 299};
            DataArrayRec fastRec{fast.data(), 1, 299};
            windowAverage(literalRec, literalRec, n, weighted);
            slidingWindowAverage(fastRec, fastRec, n, weighted);
            expectSameBits(literal, literalRec, fast, fastRec,
                           "in place, n " + std::to_string(n));
        }
    }
}

TEST(SlidingWindowAverage, SpanLimitLeavesRoomForTheWeights) {
    // 53 bits less the bits of the sum of the weights, rounded up; never more than 51.
    EXPECT_EQ(exactSpanLimit(1, false), 51);
    EXPECT_EQ(exactSpanLimit(2, false), 51);
    EXPECT_EQ(exactSpanLimit(3, false), 51);
    EXPECT_EQ(exactSpanLimit(4, false), 51);
    EXPECT_EQ(exactSpanLimit(5, false), 50);
    EXPECT_EQ(exactSpanLimit(1, true), 51);   // weight 1
    EXPECT_EQ(exactSpanLimit(2, true), 51);   // weights add up to 3
    EXPECT_EQ(exactSpanLimit(3, true), 50);   // 6
    EXPECT_EQ(exactSpanLimit(5000, false), 40);
    EXPECT_EQ(exactSpanLimit(5000, true), 29);  // 12,502,500 < 2^24
    EXPECT_EQ(exactSpanLimit(std::numeric_limits<int32>::max(), true), -8);
}

// ---- MyMov as shipped, against the literal passes ---------------------------------------------

struct MyMovRecords {
    PriceDataRec prices{};
    DataArrayRec source{};
    DataArgs dataArgs{};
    NumericArgs numericArgs{};
    StringArgs stringArgs{};
    CustomArgs customArgs{};
    DataArrayRec output{};
    ResultRec result{};
};

// MyMov over `values` (bars first..last valid, close valid over all of them) into `out`.
int32 runMyMov(Values &values, int32 first, int32 last, float period, int32 method, Values &out) {
    MyMovRecords r;
    r.prices.close = DataArrayRec{values.data(), 1, static_cast<int32>(values.size()) - 1};
    r.source = DataArrayRec{values.data(), first, last};
    r.dataArgs.args[0] = &r.source;
    r.dataArgs.count = 1;
    r.numericArgs.args[0] = period;
    r.numericArgs.count = 1;
    r.customArgs.args[0] = method;
    r.customArgs.count = 1;
    r.output = DataArrayRec{out.data(), 77, 77};
    r.result.data = &r.output;
    const zpk::Call call{&r.prices, &r.dataArgs, &r.numericArgs, &r.stringArgs, &r.customArgs, &r.result};
    const int32 status = movingAverage(call);
    out.push_back(floatFromBits(static_cast<std::uint32_t>(r.output.firstValid)));
    out.push_back(floatFromBits(static_cast<std::uint32_t>(r.output.lastValid)));
    return status;
}

// What the literal passes give for a method, with the range appended like runMyMov does.
void literalMyMov(Values &values, int32 first, int32 last, int32 n, int32 method, Values &out) {
    DataArrayRec source{values.data(), first, last};
    DataArrayRec target{out.data(), 77, 77};
    if (method == TriangularMethod) {
        const int32 m = triangularLength(n);
        Values scratchValues(static_cast<std::size_t>(last) + 2, 0.0f);
        DataArrayRec scratch{scratchValues.data(), 0, -1};
        windowAverage(source, scratch, m, false);
        windowAverage(scratch, target, m, false);
    } else {
        windowAverage(source, target, n, method == WeightedMethod);
    }
    out.push_back(floatFromBits(static_cast<std::uint32_t>(target.firstValid)));
    out.push_back(floatFromBits(static_cast<std::uint32_t>(target.lastValid)));
}

void expectMyMovMatchesLiteral(Values values, int32 first, int32 last, int32 n, int32 method,
                               const std::string &shape) {
    Values shipped(values.size(), floatFromBits(kUnwritten));
    Values literal = shipped;
    ASSERT_EQ(runMyMov(values, first, last, static_cast<float>(n), method, shipped), StatusSuccess);
    literalMyMov(values, first, last, n, method, literal);
    const std::string what = shape + ", method " + std::to_string(method) + ", n " + std::to_string(n);
    ASSERT_EQ(shipped.size(), literal.size());
    for (std::size_t i = 0; i < literal.size(); ++i) {
        ASSERT_EQ(bitsOf(shipped[i]), bitsOf(literal[i])) << what << ", entry " << i
                                                          << " (the last two are the range)";
    }
}

TEST(SlidingMyMov, SimpleTriangularAndWeightedMatchTheLiteralPasses) {
    Draw draw(31337);
    for (int32 method : {SimpleMethod, TriangularMethod, WeightedMethod}) {
        for (int32 n : {1, 2, 3, 4, 5, 9, 10, 13, 200, 999}) {
            expectMyMovMatchesLiteral(randomWalk(2200, draw), 1, 2199, n, method, "random walk");
            expectMyMovMatchesLiteral(sprinkled(randomWalk(2200, draw), draw, kSpecials, 300.0), 5,
                                      2150, n, method, "random walk with specials");
            expectMyMovMatchesLiteral(anyFinite(1200, draw), 1, 1199, n, method, "any finite float");
        }
        expectMyMovMatchesLiteral(randomWalk(6000, draw), 1, 5999, 5000, method, "long period");
    }
}

}  // namespace
}  // namespace zenobar
