// The block forms of AddN's and SumArrays' stored sums against the bar-by-bar forms, bit for bit:
// randomized values of every kind (NaN, infinities, signed zeros, subnormals, huge values, values
// and sums at and around the clamp's limits), ranges of every length and start, arrays read and
// written in place or shifted against each other; then the whole computations, texts and narrowing
// ranges included, against their literal forms.
#include "array_arithmetic.hpp"
#include "numeric.hpp"
#include "stored_sums.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace zenobar {
namespace {

constexpr std::uint32_t kUnwritten = 0x7FA5A5A5;  // a NaN pattern no stored sum has

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

const float kUpper = kClampUpper;
const float kLower = kClampLower;
const float kMax = std::numeric_limits<float>::max();
const float kMinNormal = std::numeric_limits<float>::min();
const float kMinSubnormal = std::numeric_limits<float>::denorm_min();
const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Random numbers from the raw 32-bit engine only, so that every platform draws the same values.
class Draw {
public:
    explicit Draw(std::uint32_t seed) : engine_(seed) {}
    std::uint32_t bits() { return static_cast<std::uint32_t>(engine_()); }
    double unit() { return static_cast<double>(bits() >> 8) / 16777216.0; }  // [0, 1)
    std::int64_t between(std::int64_t low, std::int64_t high) {
        const auto width = static_cast<std::uint64_t>(high - low) + 1;
        return low + static_cast<std::int64_t>(bits() % width);
    }
    bool chance(double p) { return unit() < p; }
    template <class T>
    const T &pick(const std::vector<T> &from) {
        return from[static_cast<std::size_t>(between(0, static_cast<std::int64_t>(from.size()) - 1))];
    }

private:
    std::mt19937 engine_;
};

// The float `steps` units in the last place away from x (toward +inf for positive steps).
float stepped(float x, int steps) {
    for (; steps > 0; --steps) x = std::nextafter(x, kInf);
    for (; steps < 0; ++steps) x = std::nextafter(x, -kInf);
    return x;
}

// Magnitudes where the clamp, or rounding to float, changes what it is given.
const std::vector<float> kEdges = {kUpper, kLower, kMax, kMinNormal, kMinSubnormal, 3e38f, 1e-40f};

// Values the clamp treats apart, and their neighbours.
const std::vector<float> kSpecials = {
    0.0f, -0.0f, kInf, -kInf, kNaN, -kNaN, floatFromBits(0x7F800001u), floatFromBits(0xFFC00001u),
    kUpper, -kUpper, kLower, -kLower, stepped(kUpper, 1), stepped(kUpper, -1), stepped(kLower, 1),
    stepped(kLower, -1), -stepped(kUpper, 1), -stepped(kLower, -1), kMax, -kMax, kMinNormal,
    kMinSubnormal, -kMinSubnormal, 1e-40f, -1e-40f, 3e38f, -3e38f, 1.0f, -1.0f};

// One value of a kind drawn at random: price-like, any bit pattern at all, huge, tiny, next to a
// limit, or special.
float anyValue(Draw &draw) {
    switch (draw.between(0, 6)) {
    case 0:
        return static_cast<float>(100.0 * (1.0 + (draw.unit() - 0.5) * 0.2));
    case 1:
        return floatFromBits(draw.bits());  // NaNs and infinities among them
    case 2: {
        const auto exponent = static_cast<std::uint32_t>(draw.between(240, 254));
        return floatFromBits((draw.bits() & 0x807FFFFFu) | (exponent << 23));
    }
    case 3: {
        const auto exponent = static_cast<std::uint32_t>(draw.between(0, 12));  // subnormal to ~2^-114
        return floatFromBits((draw.bits() & 0x807FFFFFu) | (exponent << 23));
    }
    case 4: {
        const float edge = stepped(draw.pick(kEdges), static_cast<int>(draw.between(-3, 3)));
        return draw.chance(0.5) ? -edge : edge;
    }
    default:
        return draw.pick(kSpecials);
    }
}

// A value that, added to `partner`, gives a double sum at or next to a limit: on it, a few units
// of the float or halves of them away, or straight on a point halfway between two floats.
float landingNearALimit(float partner, Draw &draw) {
    const float edge = draw.pick(std::vector<float>{kUpper, kLower, kMax, kMinNormal});
    const double unitHere = static_cast<double>(std::nextafter(edge, kInf)) - static_cast<double>(edge);
    const double target = static_cast<double>(edge) + unitHere * 0.5 * static_cast<double>(draw.between(-6, 6));
    const double signedTarget = draw.chance(0.5) ? -target : target;
    return static_cast<float>(signedTarget - static_cast<double>(partner));
}

// A value for bar k of an input whose partner at that bar is `partner`. `nearLimits` makes most
// sums land next to a limit, so that nearly every block holds a value the clamp does not keep.
float drawnValue(float partner, bool nearLimits, Draw &draw) {
    if (nearLimits ? draw.chance(0.7) : draw.chance(0.02)) {
        return landingNearALimit(partner, draw);
    }
    if (!nearLimits && draw.chance(0.9)) {
        return static_cast<float>(partner * 0.01 + 100.0 * (1.0 + (draw.unit() - 0.5) * 0.2));
    }
    return anyValue(draw);
}

using Values = std::vector<float>;

void expectSameBits(const Values &literal, const Values &fast, const std::string &what) {
    ASSERT_EQ(fast.size(), literal.size());
    int mismatches = 0;
    for (std::size_t bar = 0; bar < literal.size() && mismatches < 5; ++bar) {
        if (bitsOf(fast[bar]) != bitsOf(literal[bar])) {
            ++mismatches;
            ADD_FAILURE() << what << ": entry " << bar << " bar by bar " << literal[bar] << " (0x" << std::hex
                          << bitsOf(literal[bar]) << "), by blocks " << fast[bar] << " (0x"
                          << bitsOf(fast[bar]) << std::dec << ")";
        }
    }
}

std::string hexBits(float value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(bitsOf(value)));
    return text;
}

std::string rangeText(Bar first, Bar last) { return "bars " + std::to_string(first) + ".." + std::to_string(last); }

// ---- The two stored-sum forms, separate arrays ------------------------------------------------

// Both forms of addIncrement over first..last of `source`; entries outside the range stay unwritten.
void expectIncrementFormsAgree(const Values &source, float increment, Bar first, Bar last, const std::string &what) {
    Values literal(source.size(), floatFromBits(kUnwritten));
    Values fast = literal;
    addIncrementLiteral(source.data(), increment, literal.data(), first, last);
    addIncrement(source.data(), increment, fast.data(), first, last);
    expectSameBits(literal, fast, what + ", increment " + hexBits(increment) + ", " + rangeText(first, last));
}

// Both forms of addSeries over first..last, into copies of the same partial sums.
void expectSeriesFormsAgree(const Values &series, const Values &partial, Bar first, Bar last, const std::string &what) {
    Values literal = partial;
    Values fast = partial;
    addSeriesLiteral(series.data(), literal.data(), first, last);
    addSeries(series.data(), fast.data(), first, last);
    expectSameBits(literal, fast, what + ", " + rangeText(first, last));
}

// Range lengths around the block length, and starts at every offset within a block.
struct DrawnRange {
    Bar first, last;
    std::size_t size;  // entries the arrays need, with a few beyond the range
};

DrawnRange drawnRange(Draw &draw) {
    const Bar blocks = draw.between(0, 6);
    const Bar length = blocks * kSumBlockBars + draw.between(-2, 2);
    const Bar first = draw.between(0, 2 * kSumBlockBars);
    return DrawnRange{first, first + length - 1, static_cast<std::size_t>(first + std::max<Bar>(length, 0) + 5)};
}

TEST(StoredSums, AddIncrementByBlocksMatchesBarByBar) {
    Draw draw(4401);
    for (int trial = 0; trial < 1500; ++trial) {
        const bool nearLimits = trial % 3 == 0;
        const DrawnRange range = drawnRange(draw);
        const float increment = trial % 5 == 0 ? anyValue(draw) : draw.pick(std::vector<float>{1.5f, -0.0f, 0.0f, 1e-39f});
        Values source(range.size);
        for (float &x : source) x = drawnValue(increment, nearLimits, draw);
        expectIncrementFormsAgree(source, increment, range.first, range.last,
                                  nearLimits ? "sums near the limits" : "mostly prices");
    }
}

TEST(StoredSums, AddSeriesByBlocksMatchesBarByBar) {
    Draw draw(4402);
    for (int trial = 0; trial < 1500; ++trial) {
        const bool nearLimits = trial % 3 == 0;
        const DrawnRange range = drawnRange(draw);
        Values partial(range.size);
        Values series(range.size);
        for (std::size_t k = 0; k < range.size; ++k) {
            partial[k] = trial % 4 == 0 ? 0.0f : anyValue(draw);  // the first letter adds to zeros
            series[k] = drawnValue(partial[k], nearLimits, draw);
        }
        expectSeriesFormsAgree(series, partial, range.first, range.last,
                               nearLimits ? "sums near the limits" : "mostly prices");
    }
}

// Pairs whose sums the clamp treats apart: signed zeros, sums that round onto a limit or just past
// it, halfway points that round to the even neighbour, subnormal sums, overflow, NaNs.
struct Pair {
    float a, b;
};

std::vector<Pair> boundaryPairs() {
    const float halfUnitAtUpper = static_cast<float>(
        (static_cast<double>(stepped(kUpper, 1)) - static_cast<double>(kUpper)) / 2.0);
    const float halfUnitAtLower = static_cast<float>(
        (static_cast<double>(stepped(kLower, 1)) - static_cast<double>(kLower)) / 2.0);
    std::vector<Pair> pairs = {
        {-0.0f, -0.0f}, {0.0f, -0.0f}, {-0.0f, 0.0f}, {0.0f, 0.0f}, {1.0f, -1.0f}, {-kUpper, kUpper},
        {kUpper, halfUnitAtUpper}, {kUpper, stepped(halfUnitAtUpper, -1)}, {stepped(kUpper, -1), halfUnitAtUpper},
        {-kUpper, -halfUnitAtUpper}, {kUpper, kMinSubnormal}, {kUpper, -kMinSubnormal},
        {kLower, halfUnitAtLower}, {kLower, -halfUnitAtLower}, {stepped(kLower, -1), halfUnitAtLower},
        {kLower, -kMinSubnormal}, {kLower, kMinSubnormal}, {-kLower, kMinSubnormal}, {kLower, -kLower},
        {kLower * 0.5f, kLower * 0.5f}, {kMinSubnormal, kMinSubnormal}, {kMinSubnormal, -kMinSubnormal},
        {kMinNormal, -kMinSubnormal}, {1e-40f, -1e-40f}, {1e-40f, 1e-40f}, {kMax, kMax}, {-kMax, -kMax},
        {kMax, -kMax}, {3e38f, 3e38f}, {3e38f, -3e38f}, {kInf, -kInf}, {kInf, 1.0f}, {-kInf, -kInf},
        {kNaN, 1.0f}, {-kNaN, 1.0f}, {1.0f, -kNaN}, {kNaN, kInf}, {floatFromBits(0x7F800001u), 0.0f},
        {kUpper, 0.0f}, {kLower, 0.0f}, {-kLower, -0.0f}, {stepped(kUpper, 1), -0.0f}, {stepped(kLower, -1), 0.0f},
    };
    return pairs;
}

TEST(StoredSums, BoundaryPairsGiveTheSameBitsAloneAndAmongOrdinaryBars) {
    // Each pair fills a whole block, and sits alone at one bar of a block of prices.
    for (const Pair &pair : boundaryPairs()) {
        const std::string what = "pair " + hexBits(pair.a) + " + " + hexBits(pair.b);
        for (bool alone : {false, true}) {
            const std::size_t bars = 3 * kSumBlockBars + 1;
            Values a(bars, 101.25f);
            Values b(bars, 99.5f);
            for (std::size_t k = 0; k < bars; ++k) {
                if (!alone || k == kSumBlockBars + 37) {
                    a[k] = pair.a;
                    b[k] = pair.b;
                }
            }
            const Bar last = static_cast<Bar>(bars) - 1;
            expectSeriesFormsAgree(a, b, 1, last, what);
            expectSeriesFormsAgree(b, a, 1, last, what + " (swapped)");
            if (!alone) {
                expectIncrementFormsAgree(a, pair.b, 1, last, what);
                expectIncrementFormsAgree(b, pair.a, 1, last, what + " (swapped)");
            }
        }
    }
}

// ---- Arrays read and written in place, or shifted against each other ---------------------------

// A buffer with the input at `inputAt` and the output at `outputAt` (entries of one buffer), both
// forms run on copies of it; the whole buffer compared.
TEST(StoredSums, InPlaceAndShiftedArraysGiveTheSameBitsAsBarByBar) {
    Draw draw(4403);
    const Bar last = 3 * kSumBlockBars + 9;
    for (std::ptrdiff_t shift : {0, 1, -1, 3, -5, 63, -64, 64, 65, 200}) {
        for (bool nearLimits : {false, true}) {
            Values buffer(static_cast<std::size_t>(last) + 500);
            for (float &x : buffer) x = drawnValue(1.5f, nearLimits, draw);
            const std::size_t inputAt = 250;
            const std::size_t outputAt = static_cast<std::size_t>(250 + shift);
            const std::string what = std::string(nearLimits ? "near the limits" : "prices") + ", output shifted by " +
                                     std::to_string(shift);
            Values literal = buffer;
            Values fast = buffer;
            addIncrementLiteral(literal.data() + inputAt, 1.5f, literal.data() + outputAt, 1, last);
            addIncrement(fast.data() + inputAt, 1.5f, fast.data() + outputAt, 1, last);
            expectSameBits(literal, fast, "addIncrement, " + what);
            literal = buffer;
            fast = buffer;
            addSeriesLiteral(literal.data() + inputAt, literal.data() + outputAt, 1, last);
            addSeries(fast.data() + inputAt, fast.data() + outputAt, 1, last);
            expectSameBits(literal, fast, "addSeries, " + what);
        }
    }
}

TEST(StoredSums, SharesOtherBarsOnlyWhenShiftedArraysOverlap) {
    Values buffer(100);
    float *base = buffer.data() + 10;
    EXPECT_FALSE(sharesOtherBars(base, base, 1, 50));  // in place
    EXPECT_TRUE(sharesOtherBars(base, base + 1, 1, 50));
    EXPECT_TRUE(sharesOtherBars(base + 1, base, 1, 50));
    EXPECT_TRUE(sharesOtherBars(base, base + 49, 1, 50));  // the last bar of one is the first of the other
    EXPECT_FALSE(sharesOtherBars(base, base + 50, 1, 50));
    EXPECT_FALSE(sharesOtherBars(base + 50, base, 1, 50));
    EXPECT_FALSE(sharesOtherBars(base, base + 1, 5, 4));  // no bars
}

// ---- The whole computations against their literal forms ----------------------------------------

// The records of one call, the output array filled with a pattern, and what the call left.
struct Outcome {
    int32 status;
    Values output;
    int32 first, last;
    std::string errorText;
};

struct CallData {
    PriceDataRec prices{};
    DataArrayRec source{};
    DataArgs dataArgs{};
    NumericArgs numericArgs{};
    StringArgs stringArgs{};
    CustomArgs customArgs{};
};

Outcome run(int32 (*compute)(const zpk::Call &), CallData data, std::size_t bars, float32 *outputValues = nullptr) {
    Values own(bars, floatFromBits(kUnwritten));
    DataArrayRec output{outputValues != nullptr ? outputValues : own.data(), 77, 78};
    ResultRec result{};
    result.data = &output;
    std::memset(result.errorText, 'x', sizeof result.errorText);
    data.dataArgs.args[0] = &data.source;
    const zpk::Call call{&data.prices, &data.dataArgs, &data.numericArgs, &data.stringArgs, &data.customArgs, &result};
    const int32 status = compute(call);
    Outcome outcome{status, Values(output.values, output.values + bars), output.firstValid, output.lastValid,
                    std::string(result.errorText, sizeof result.errorText)};
    return outcome;
}

void expectSameOutcome(const Outcome &literal, const Outcome &fast, const std::string &what) {
    EXPECT_EQ(fast.status, literal.status) << what;
    EXPECT_EQ(fast.first, literal.first) << what;
    EXPECT_EQ(fast.last, literal.last) << what;
    EXPECT_EQ(fast.errorText, literal.errorText) << what;
    expectSameBits(literal.output, fast.output, what);
}

// A valid range somewhere in 0..bars-1, or an empty or odd one now and then.
DataArrayRec drawnSeries(Values &values, Draw &draw) {
    const auto bars = static_cast<Bar>(values.size());
    Bar first = std::min(draw.chance(0.6) ? draw.between(0, 3) : draw.between(0, bars - 1), bars - 1);
    Bar last = draw.chance(0.6) ? std::max(bars - 1 - draw.between(0, 3), first) : draw.between(first, bars - 1);
    if (draw.chance(0.05)) {
        first = 0;
        last = -1;  // empty
    } else if (draw.chance(0.05)) {
        std::swap(first, last);  // first after last
    }
    return DataArrayRec{values.data(), static_cast<int32>(first), static_cast<int32>(last)};
}

// Six price series over `bars` bars, with their own values and ranges.
struct Prices {
    explicit Prices(std::size_t bars) : values(7, Values(bars)) {}
    std::vector<Values> values;  // open, high, low, close, volume, series6, series7
};

PriceDataRec drawnPrices(Prices &prices, bool nearLimits, Draw &draw) {
    for (Values &series : prices.values) {
        for (float &x : series) x = drawnValue(50.0f, nearLimits, draw);
    }
    PriceDataRec rec{};
    DataArrayRec *fields[] = {&rec.open, &rec.high, &rec.low, &rec.close, &rec.volume, &rec.series6, &rec.series7};
    for (std::size_t k = 0; k < 7; ++k) {
        *fields[k] = drawnSeries(prices.values[k], draw);
    }
    return rec;
}

// Texts of letters (either case), characters that select nothing, repeats; now and then longer
// than a walk per chunk allows.
std::string drawnText(Draw &draw) {
    static const std::string kCharacters = "OHLCVIohlcvi -xX1\x7F\xC3";
    const std::int64_t length = draw.chance(0.1) ? draw.between(60, 140) : draw.between(0, 8);
    std::string text;
    for (std::int64_t k = 0; k < length; ++k) {
        text += kCharacters[static_cast<std::size_t>(draw.between(0, static_cast<std::int64_t>(kCharacters.size()) - 1))];
    }
    return text;
}

TEST(StoredSumsInCalls, AddNByBlocksMatchesItsLiteralForm) {
    Draw draw(4404);
    int callsThatStored = 0;
    for (int trial = 0; trial < 600; ++trial) {
        const std::size_t bars = static_cast<std::size_t>(draw.between(1, 700));
        const bool nearLimits = trial % 3 == 0;
        Prices prices(bars);
        Values source(bars);
        CallData data;
        data.prices = drawnPrices(prices, nearLimits, draw);
        if (draw.chance(0.6)) {
            data.prices.close.firstValid = 1;  // a close over all bars, so that most sources are usable
            data.prices.close.lastValid = static_cast<int32>(bars) - 1;
        }
        const float increment = trial % 4 == 0 ? anyValue(draw) : 1.5f;
        for (float &x : source) x = drawnValue(increment, nearLimits, draw);
        data.source = drawnSeries(source, draw);
        data.dataArgs.count = draw.chance(0.95) ? 1 : static_cast<int32>(draw.between(0, 2));
        data.numericArgs.args[0] = increment;
        data.numericArgs.count = draw.chance(0.95) ? 1 : static_cast<int32>(draw.between(0, 2));
        const std::string what = "AddN trial " + std::to_string(trial) + ", source " +
                                 rangeText(data.source.firstValid, data.source.lastValid) + ", close " +
                                 rangeText(data.prices.close.firstValid, data.prices.close.lastValid);
        const Outcome literal = run(addNumberLiteral, data, bars);
        expectSameOutcome(literal, run(addNumber, data, bars), what);
        callsThatStored += literal.first <= literal.last ? 1 : 0;
    }
    EXPECT_GT(callsThatStored, 150);  // the draws reach the sums, not only the refusals
}

TEST(StoredSumsInCalls, SumArraysByBlocksMatchesItsLiteralFormAsTheRangeNarrows) {
    Draw draw(4405);
    int callsThatStored = 0;
    for (int trial = 0; trial < 600; ++trial) {
        // Up to a few chunks of bars, so that the letters are walked chunk after chunk.
        const std::size_t bars = static_cast<std::size_t>(trial % 10 == 0 ? draw.between(2000, 3500) : draw.between(1, 700));
        const bool nearLimits = trial % 3 == 0;
        Prices prices(bars);
        CallData data;
        data.prices = drawnPrices(prices, nearLimits, draw);
        const std::string text = drawnText(draw);
        data.stringArgs.args[0] = draw.chance(0.02) ? nullptr : text.c_str();
        data.stringArgs.count = draw.chance(0.97) ? 1 : static_cast<int32>(draw.between(0, 2));
        const std::string what = "SumArrays trial " + std::to_string(trial) + ", text \"" + text + "\", close " +
                                 rangeText(data.prices.close.firstValid, data.prices.close.lastValid);
        const Outcome literal = run(sumArraysLiteral, data, bars);
        expectSameOutcome(literal, run(sumArrays, data, bars), what);
        callsThatStored += literal.status == StatusSuccess && literal.first <= literal.last ? 1 : 0;
    }
    EXPECT_GT(callsThatStored, 150);
}

TEST(StoredSumsInCalls, SumArraysMatchesItsLiteralFormWhenASeriesIsTheOutput) {
    // The host's output array given as a price series too: read and written at the same bars, or
    // shifted by some bars, where the literal order reads sums of other bars it has just stored.
    // The range spans several chunks of the walk.
    Draw draw(4406);
    const std::size_t bars = 4000;
    const std::size_t outputAt = 2500;
    for (std::ptrdiff_t shift : {0, 1, -1, 7, -300, 1100, -1100, 2400}) {
        for (const char *text : {"HC", "CH", "CHH", "OHLC", "hHlLcC"}) {
            Prices prices(bars);
            CallData data;
            data.prices = drawnPrices(prices, false, draw);
            data.prices.close = DataArrayRec{prices.values[3].data(), 2, static_cast<int32>(bars) - 1};
            data.stringArgs.args[0] = text;
            data.stringArgs.count = 1;
            Values buffer(outputAt + bars + 2500);
            for (float &x : buffer) x = drawnValue(50.0f, false, draw);
            Values literalBuffer = buffer;
            Values fastBuffer = buffer;
            const auto highAt = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(outputAt) + shift);
            const std::string what = std::string("text ") + text + ", high shifted by " + std::to_string(shift);
            data.prices.high = DataArrayRec{literalBuffer.data() + highAt, 1, static_cast<int32>(bars) - 2};
            run(sumArraysLiteral, data, bars, literalBuffer.data() + outputAt);
            data.prices.high.values = fastBuffer.data() + highAt;
            run(sumArrays, data, bars, fastBuffer.data() + outputAt);
            expectSameBits(literalBuffer, fastBuffer, what);
        }
    }
}

TEST(StoredSumsInCalls, AddNMatchesItsLiteralFormInPlace) {
    Draw draw(4407);
    for (bool nearLimits : {false, true}) {
        const std::size_t bars = 900;
        Prices prices(bars);
        CallData data;
        data.prices = drawnPrices(prices, false, draw);
        data.prices.close = DataArrayRec{prices.values[3].data(), 1, static_cast<int32>(bars) - 1};
        Values literal(bars);
        for (float &x : literal) x = drawnValue(-2.0f, nearLimits, draw);
        Values fast = literal;
        data.dataArgs.count = 1;
        data.numericArgs.args[0] = -2.0f;
        data.numericArgs.count = 1;
        data.source = DataArrayRec{literal.data(), 3, static_cast<int32>(bars) - 2};
        run(addNumberLiteral, data, bars, literal.data());
        data.source.values = fast.data();
        run(addNumber, data, bars, fast.data());
        expectSameBits(literal, fast, nearLimits ? "in place, near the limits" : "in place");
    }
}

}  // namespace
}  // namespace zenobar
