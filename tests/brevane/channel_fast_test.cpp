// The channel sweep against the literal walk, bit for bit, on randomized prices of many shapes with
// every relation of the price range (FS, LS) to the user's range (FU, LU), fixed and period-driven
// depths and depths that change from bar to bar; and ChannelHigh, ChannelLow and BrevanePeriod as
// shipped against the literal engine and walk.
#include "brevane_module.hpp"
#include "channel_sweep.hpp"
#include "channel_walk.hpp"
#include "hilbert_period.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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
constexpr std::uint32_t kUnwritten = 0x7FA5A5A5;  // a NaN pattern no channel writes

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

Values randomWalk(std::size_t bars, Draw &draw, double level = 100.0) {
    Values v(bars);
    for (float &x : v) {
        level *= 1.0 + (draw.unit() - 0.5) * 0.03;
        x = static_cast<float>(level);
    }
    return v;
}

Values strictlyRising(std::size_t bars) {
    Values v(bars);
    for (std::size_t i = 0; i < bars; ++i) v[i] = 10.0f + 0.5f * static_cast<float>(i);
    return v;
}

Values strictlyFalling(std::size_t bars) {
    Values v(bars);
    for (std::size_t i = 0; i < bars; ++i) v[i] = 200000.0f - 0.5f * static_cast<float>(i);
    return v;
}

// Few distinct values, so that equal candidates meet in most windows; both zeros among them.
Values manyTies(std::size_t bars, Draw &draw) {
    const Values choices = {0.0f, -0.0f, 1.0f, -1.0f, 2.0f, 0.0f, -0.0f};
    Values v(bars);
    for (float &x : v) x = choices[static_cast<std::size_t>(draw.between(0, choices.size() - 1))];
    return v;
}

// Any bit pattern: NaNs with payloads, infinities, subnormals, huge values.
Values anyBits(std::size_t bars, Draw &draw) {
    Values v(bars);
    for (float &x : v) x = floatFromBits(draw.bits());
    return v;
}

// Around both start values: highs near 0, lows near 100000, with candidates equal to them.
Values aroundTheStartValues(std::size_t bars, Draw &draw) {
    const Values choices = {0.0f, -0.0f, 1e-45f, -1e-45f, 100000.0f, 99999.99f, 100000.01f, -3.0f};
    Values v(bars);
    for (float &x : v) x = choices[static_cast<std::size_t>(draw.between(0, choices.size() - 1))];
    return v;
}

Values withSpecials(Values v, Draw &draw, double every) {
    const Values specials = {kNaN, kInf, -kInf, 0.0f, -0.0f, 1e-42f, -3e38f, 3e38f};
    for (float &x : v) {
        if (draw.chance(1.0 / every)) x = specials[static_cast<std::size_t>(draw.between(0, specials.size() - 1))];
    }
    return v;
}

// Bar 0 is never read: an extreme there would win every window that reaches it.
Values extremeAtBarZero(Values v, float extreme) {
    v[0] = extreme;
    return v;
}

// Periods as the engine gives them (6 to 50 after the warm-up) but jumping from bar to bar, with
// the zeros of bars it does not compute.
Values jumpingPeriods(std::size_t bars, Draw &draw) {
    Values v(bars);
    for (std::size_t i = 0; i < bars; ++i) v[i] = i < 5 ? 0.0f : static_cast<float>(6.0 + 44.0 * draw.unit());
    return v;
}

// Periods no engine gives, which the depth rule still takes: NaN, infinities, negatives, huge.
Values strangePeriods(std::size_t bars, Draw &draw) {
    const Values choices = {kNaN, kInf, -kInf, -3.0f, 0.0f, 0.99f, 1.0f, 2.5f, 7.0f, 1e9f, 30.0f};
    Values v(bars);
    for (float &x : v) x = choices[static_cast<std::size_t>(draw.between(0, choices.size() - 1))];
    return v;
}

struct Twin {
    const ChannelTwin *twin;
    const char *name;
};
const Twin kTwins[] = {{&kHighChannel, "high"}, {&kLowChannel, "low"}};

// The walk and the sweep over prices first..last (FS..LS) with `periods`, into arrays of
// `prices.size()` entries prefilled with a pattern; every entry compared.
void expectSweepMatchesWalk(const Values &prices, int32 first, int32 last, const Values &periods,
                            float multiplier, float alternate, const std::string &what) {
    Values pricesCopy = prices;
    const DataArrayRec series{pricesCopy.data(), first, last};
    const LookBackLengths lengths = boundLookBackLengths(multiplier, alternate);
    for (const Twin &t : kTwins) {
        Values walked(prices.size(), floatFromBits(kUnwritten));
        Values swept = walked;
        walkChannel(*t.twin, series, periods.data(), periods.size(), lengths, walked.data());
        sweepChannel(*t.twin, series, periods.data(), periods.size(), lengths, swept.data());
        for (std::size_t bar = 0; bar < prices.size(); ++bar) {
            ASSERT_EQ(bitsOf(swept[bar]), bitsOf(walked[bar]))
                << what << ", " << t.name << ", FS " << first << ", LS " << last << ", multiplier "
                << multiplier << ", alternate " << alternate << ": bar " << bar << " walked "
                << walked[bar] << ", swept " << swept[bar];
        }
    }
}

// Every pairing of the two numbers that matters: fixed depths (short, fractional, the largest)
// and period-driven ones (none, fractional, the largest), with the out-of-range values the bounds
// take in.
struct Lengths {
    float multiplier, alternate;
};
const Lengths kLengths[] = {{1, 3},   {1, 7.9f},  {1, 0.5f}, {1, 10},   {1, 100},  {1, 250},
                            {0, 0},   {-1, 0},    {kNaN, 0}, {0.25f, 0}, {1, 0},   {3.7f, 0},
                            {100, 0}, {150, 0},   {1, -5},   {1, kNaN}};

TEST(ChannelSweep, MatchesTheWalkOnEveryDataShape) {
    Draw draw(101);
    const std::size_t bars = 1200;
    const Values shapes[] = {randomWalk(bars, draw),
                             strictlyRising(bars),
                             strictlyFalling(bars),
                             manyTies(bars, draw),
                             anyBits(bars, draw),
                             aroundTheStartValues(bars, draw),
                             withSpecials(randomWalk(bars, draw), draw, 40.0),
                             Values(bars, 5.0f),
                             extremeAtBarZero(randomWalk(bars, draw), kInf),
                             extremeAtBarZero(randomWalk(bars, draw), -kInf)};
    const char *names[] = {"random walk",        "rising",   "falling",  "ties",
                           "any bits",           "start values",
                           "walk with specials", "constant", "+inf at bar 0", "-inf at bar 0"};
    const Values periods = jumpingPeriods(bars, draw);
    for (std::size_t s = 0; s < std::size(shapes); ++s) {
        for (const Lengths &l : kLengths) {
            for (int32 first : {0, 1, 2, 9}) {
                expectSweepMatchesWalk(shapes[s], first, static_cast<int32>(bars) - 1, periods,
                                       l.multiplier, l.alternate, names[s]);
            }
        }
    }
}

TEST(ChannelSweep, MatchesTheWalkForEveryRelationOfTheRanges) {
    // The period array covers bars 0..LU; FS, LS against FU, LU and against the depth.
    Draw draw(202);
    const Values prices = withSpecials(randomWalk(700, draw), draw, 60.0);
    const Values user = randomWalk(700, draw);
    struct Ranges {
        int32 fs, ls, fu, lu;
    };
    const Ranges ranges[] = {
        {0, 699, 0, 699},    {5, 699, 0, 699},    {0, 699, 100, 699},   {0, 699, 0, 300},
        {200, 699, 0, 150},  {0, 300, 0, 699},    {150, 160, 0, 699},   {699, 699, 0, 699},
        {40, 45, 0, 699},    {60, 699, 0, 699},   {120, 699, 0, 699},   {300, 200, 0, 699},
        {0, 699, 690, 699},  {3, 699, 0, 1},      {0, 1, 0, 699},       {1, 1, 0, 699},
    };
    for (const Ranges &r : ranges) {
        Values periods(static_cast<std::size_t>(r.lu) + 1, 0.0f);
        ASSERT_EQ(CalcHilbertPeriodLiteral(user.data(), r.fu, r.lu, periods.data(), r.lu + 1), kPeriodMeasured);
        for (const Lengths &l : kLengths) {
            expectSweepMatchesWalk(prices, r.fs, r.ls, periods, l.multiplier, l.alternate,
                                   "FU " + std::to_string(r.fu) + ", LU " + std::to_string(r.lu));
        }
    }
}

TEST(ChannelSweep, MatchesTheWalkWhenTheDepthChangesFromBarToBar) {
    Draw draw(303);
    const std::size_t bars = 3000;
    const Values shapes[] = {randomWalk(bars, draw), strictlyRising(bars), strictlyFalling(bars),
                             manyTies(bars, draw), withSpecials(randomWalk(bars, draw), draw, 30.0)};
    for (const Values &prices : shapes) {
        for (float multiplier : {1.0f, 2.5f, 100.0f}) {
            expectSweepMatchesWalk(prices, 0, bars - 1, jumpingPeriods(bars, draw), multiplier, 0,
                                   "jumping periods");
            expectSweepMatchesWalk(prices, 3, bars - 1, strangePeriods(bars, draw), multiplier, 0,
                                   "strange periods");
        }
    }
}

TEST(ChannelSweep, MatchesTheWalkAtTheDeepestWindows) {
    // Multiplier 100 on periods near 50: windows of up to 4999 bars, longer than the early bars.
    Draw draw(404);
    const std::size_t bars = 12000;
    Values periods(bars);
    for (std::size_t i = 0; i < bars; ++i) periods[i] = 49.999996185302734f - static_cast<float>(draw.unit() * 0.5);
    for (const Values &prices : {randomWalk(bars, draw), strictlyFalling(bars), strictlyRising(bars)}) {
        expectSweepMatchesWalk(prices, 0, bars - 1, periods, 100, 0, "deep windows");
        expectSweepMatchesWalk(prices, 4000, bars - 1, periods, 100, 0, "deep windows, FS 4000");
    }
}

TEST(ChannelSweep, WritesNothingForAReversedRange) {
    const Values prices(20, 1.0f);
    expectSweepMatchesWalk(prices, 9, 3, Values(20, 0.0f), 1, 3, "reversed");
}

// ---- The functions as shipped, through the module ----------------------------------------------

class ShippedChannels : public zpk::test::BrevaneTest {};

TEST_F(ShippedChannels, ChannelHighAndLowMatchTheLiteralEngineAndWalk) {
    Draw draw(505);
    const std::size_t bars = 2500;
    const Values user = randomWalk(bars, draw);
    struct Ranges {
        int32 fs, ls, fu, lu;
    };
    for (const Ranges &r : {Ranges{0, 2499, 0, 2499}, Ranges{1, 2499, 30, 2000}, Ranges{40, 2499, 0, 2499}}) {
        Values periods(static_cast<std::size_t>(r.lu) + 1, 0.0f);
        ASSERT_EQ(CalcHilbertPeriodLiteral(user.data(), r.fu, r.lu, periods.data(), r.lu + 1), kPeriodMeasured);
        for (const Lengths &l : kLengths) {
            for (const Twin &t : kTwins) {
                // Prices that make the deepest bar of every window the extreme, then any prices.
                const Values deepestWins = t.twin == &kHighChannel ? strictlyFalling(bars) : strictlyRising(bars);
                const Values &prices = draw.chance(0.5) ? deepestWins : user;
                zpk::test::CallRecords call(bars);
                call.addData(zpk::test::Series(user, r.fu, r.lu));
                call.setPrice(t.twin == &kHighChannel ? 'H' : 'L', zpk::test::Series(prices, r.fs, r.ls));
                call.addNumber(l.multiplier);
                call.addNumber(l.alternate);
                ASSERT_EQ(call.call(t.twin == &kHighChannel ? channelHigh : channelLow), StatusSuccess);

                Values expected(bars, floatFromBits(zpk::test::kUntouchedBits));
                Values pricesCopy = prices;
                walkChannel(*t.twin, DataArrayRec{pricesCopy.data(), r.fs, r.ls}, periods.data(),
                            periods.size(), boundLookBackLengths(l.multiplier, l.alternate), expected.data());
                for (std::size_t bar = 0; bar < bars; ++bar) {
                    ASSERT_EQ(call.outputBits(bar), bitsOf(expected[bar]))
                        << t.name << ", multiplier " << l.multiplier << ", alternate " << l.alternate
                        << ", FS " << r.fs << ", FU " << r.fu << ": bar " << bar;
                }
            }
        }
    }
}

TEST_F(ShippedChannels, BrevanePeriodMatchesTheLiteralEngine) {
    Draw draw(606);
    const Values user = withSpecials(randomWalk(3000, draw), draw, 200.0);
    for (int32 first : {0, 1, 17}) {
        zpk::test::CallRecords call(3000);
        call.addData(zpk::test::Series(user, first, 2999));
        ASSERT_EQ(call.call(brevanePeriod), StatusSuccess);
        Values expected(3000, 0.0f);
        ASSERT_EQ(CalcHilbertPeriodLiteral(user.data(), first, 2999, expected.data(), 3000), kPeriodMeasured);
        for (std::size_t bar = 0; bar < expected.size(); ++bar) {
            ASSERT_EQ(call.outputBits(bar), bitsOf(expected[bar])) << "first " << first << ", bar " << bar;
        }
    }
}

}  // namespace
}  // namespace brevane
