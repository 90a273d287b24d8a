// CalcHilbertPeriod, which keeps the last bars of its series only, against the literal engine over
// fourteen whole series: the same periods bit for bit on randomized inputs of many shapes, and no
// scratch memory that grows with the bars.
#include "address_space_limit.hpp"
#include "hilbert_period.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace brevane {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

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
    double unit() { return static_cast<double>(bits() >> 8) / 16777216.0; }
    std::int64_t between(std::int64_t low, std::int64_t high) {
        return low + static_cast<std::int64_t>(bits() % static_cast<std::uint64_t>(high - low + 1));
    }
    bool chance(double p) { return unit() < p; }

private:
    std::mt19937 engine_;
};

using Values = std::vector<float>;

Values randomWalk(std::size_t bars, Draw &draw) {
    Values v(bars);
    double level = 100.0;
    for (float &x : v) {
        level *= 1.0 + (draw.unit() - 0.5) * 0.03;
        x = static_cast<float>(level);
    }
    return v;
}

// Cycles of a random length between 8 and 70 bars, changing every few hundred bars, with noise.
Values changingCycles(std::size_t bars, Draw &draw) {
    Values v(bars);
    const double pi = std::acos(-1.0);
    double phase = 0.0;
    double period = 20.0;
    for (std::size_t i = 0; i < bars; ++i) {
        if (i % 300 == 0) period = 8.0 + 62.0 * draw.unit();
        phase += 2.0 * pi / period;
        v[i] = static_cast<float>(50.0 + 5.0 * std::sin(phase) + (draw.unit() - 0.5));
    }
    return v;
}

// Any bit pattern: every float, NaNs with payloads and infinities included.
Values anyBits(std::size_t bars, Draw &draw) {
    Values v(bars);
    for (float &x : v) x = floatFromBits(draw.bits());
    return v;
}

// Values near the float limits and below the normal range, which drive the clamps.
Values extremes(std::size_t bars, Draw &draw) {
    const Values choices = {3e38f, -3e38f, 3.4028235e38f, 1e-40f, -1e-40f, 1e-45f, 0.0f, -0.0f,
                            1e38f, 1e-38f, 100.0f};
    Values v(bars);
    for (float &x : v) x = choices[static_cast<std::size_t>(draw.between(0, choices.size() - 1))];
    return v;
}

Values withSpecials(Values v, Draw &draw, double every) {
    const Values specials = {kNaN, kInf, -kInf, 0.0f, -0.0f, 1e-42f, 3e38f};
    for (float &x : v) {
        if (draw.chance(1.0 / every)) x = specials[static_cast<std::size_t>(draw.between(0, specials.size() - 1))];
    }
    return v;
}

// Both engines over first..last of `values`, each into its own array of last + 1 entries filled
// with `fill` (the callers' zero, or anything else), compared entry by entry.
void expectSamePeriods(const Values &values, int32 first, int32 last, const std::string &shape,
                       float fill = 0.0f) {
    const std::size_t count = static_cast<std::size_t>(last) + 1;
    Values literal(count, fill), recent(count, fill);
    ASSERT_EQ(CalcHilbertPeriodLiteral(values.data(), first, last, literal.data(), last + 1), kPeriodMeasured);
    ASSERT_EQ(CalcHilbertPeriod(values.data(), first, last, recent.data(), last + 1), kPeriodMeasured);
    for (std::size_t bar = 0; bar < count; ++bar) {
        ASSERT_EQ(bitsOf(recent[bar]), bitsOf(literal[bar]))
            << shape << ", bars " << first << ".." << last << ": bar " << bar << " literal "
            << literal[bar] << ", recent bars " << recent[bar];
    }
}

TEST(RecentBarsEngine, GivesTheLiteralPeriodsOnPriceLikeSeries) {
    Draw draw(1);
    for (int32 first : {0, 1, 2, 3, 7, 64}) {
        expectSamePeriods(randomWalk(3000, draw), first, 2999, "random walk");
        expectSamePeriods(changingCycles(3000, draw), first, 2999, "changing cycles");
    }
    expectSamePeriods(randomWalk(20000, draw), 0, 19999, "long random walk");
}

TEST(RecentBarsEngine, GivesTheLiteralPeriodsOnSpecialValues) {
    Draw draw(2);
    for (int32 first : {0, 1, 5}) {
        expectSamePeriods(withSpecials(randomWalk(2000, draw), draw, 100.0), first, 1999,
                          "random walk with NaN, infinities, zeros and subnormals");
        expectSamePeriods(anyBits(2000, draw), first, 1999, "any bit pattern");
        expectSamePeriods(extremes(2000, draw), first, 1999, "extremes and subnormals");
        expectSamePeriods(Values(500, 0.0f), first, 499, "zeros");
        expectSamePeriods(Values(500, -0.0f), first, 499, "negative zeros");
        expectSamePeriods(Values(500, 42.0f), first, 499, "constant");
    }
}

TEST(RecentBarsEngine, GivesTheLiteralPeriodsOnEveryShortRange) {
    // From no bar computed (last < first + 5) through the first few, where the filters still read
    // bars not computed yet and bars below 0.
    Draw draw(3);
    const Values values = randomWalk(64, draw);
    for (int32 first = 0; first <= 8; ++first) {
        for (int32 last = std::max(first, 1); last <= first + 14; ++last) {
            expectSamePeriods(values, first, last, "short range");
        }
    }
}

TEST(RecentBarsEngine, ReadsThePeriodArrayAsTheLiteralEngineDoes) {
    // The callers fill it with zeros; whatever it holds, both engines read and keep the same entries.
    Draw draw(4);
    for (float fill : {0.0f, 30.0f, -1.0f, kNaN, 1e30f, -100.0f, -1e30f, kInf, -kInf}) {
        expectSamePeriods(randomWalk(400, draw), 3, 399, "filled period array", fill);
    }
}

TEST(RecentBarsEngine, NeedsNoScratchMemoryThatGrowsWithTheBars) {
    // A million bars in less room than one whole series of the literal engine would take.
    const int32 last = 1000 * 1000 - 1;
    Draw draw(5);
    const Values values = randomWalk(static_cast<std::size_t>(last) + 1, draw);
    Values literal(values.size(), 0.0f), recent(values.size(), 0.0f);
    ASSERT_EQ(CalcHilbertPeriodLiteral(values.data(), 0, last, literal.data(), last + 1), kPeriodMeasured);
    int32 status;
    {
        zpk::test::AddressSpaceLimit limit(1u << 20);
        if (!limit.enforced()) GTEST_SKIP() << "the address-space limit is not enforced here";
        status = CalcHilbertPeriod(values.data(), 0, last, recent.data(), last + 1);
    }
    EXPECT_EQ(status, kPeriodMeasured);
    EXPECT_EQ(std::memcmp(recent.data(), literal.data(), values.size() * sizeof(float)), 0);
}

}  // namespace
}  // namespace brevane
