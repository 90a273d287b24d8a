// ChannelHigh and ChannelLow through the loaded module, called by name as the host calls them.
#include "brevane_module.hpp"

#include <cmath>
#include <functional>

namespace zpk::test {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// What a test needs to know of each twin.
struct Twin {
    const char *name;
    char letter;  // the price series it reads: H or L
    float start;  // the value of a bar whose window holds no candidate
};
const Twin kHigh{"ChannelHigh", 'H', 0.0f};
const Twin kLow{"ChannelLow", 'L', 100000.0f};

class ChannelTest : public BrevaneTest {
protected:
    CalcFunction function(const Twin &twin) const { return twin.letter == 'H' ? channelHigh : channelLow; }
};

// A call of a channel twin: the user's series, the twin's price series, the two numbers.
CallRecords channelCall(const Twin &twin, const Series &user, const Series &prices, float multiplier,
                        float alternate, std::size_t outputBars) {
    CallRecords call(outputBars);
    call.addData(user);
    call.setPrice(twin.letter, prices);
    call.addNumber(multiplier);
    call.addNumber(alternate);
    return call;
}

// Expected values of one twin at bars 0..11; U: not written.
constexpr float U = std::numeric_limits<float>::infinity();
using Twelve = std::vector<float>;

void expectValues(const CallRecords &call, const Twelve &expected) {
    for (std::size_t bar = 0; bar < expected.size(); ++bar) {
        if (expected[bar] == U) {
            EXPECT_EQ(call.outputBits(bar), kUntouchedBits) << "bar " << bar << " was written";
        } else {
            EXPECT_EQ(call.outputBits(bar), bitsOf(expected[bar])) << "bar " << bar;
        }
    }
    EXPECT_TRUE(call.outputUntouchedFrom(expected.size()));
}

// The twelve values X = 10, 12, 11, 15, 14, 13, 9, 8, 16, 7, 6, 5 as highs and as lows. Rows say
// where their expected values come from; "by hand" rows take the window of every bar from the depth
// given. The engine's periods at bars 5..9 are 1.2, 2.16, 2.928, 3.5424, 4.03392 whatever the input,
// and 4.43..4.88 at bars 10 and 11 (within the rate limits), so depths from the period are known.
struct FigureCase {
    const char *what;
    int32 priceFirst;
    int32 userFirst, userLast;
    float multiplier, alternate;
    Twelve high, low;
};

const FigureCase kFigures[] = {
    {"FS 0, alternate 3 (the worked figures)", 0, 0, 11, 1, 3,
     {0, 12, 12, 15, 15, 15, 15, 14, 16, 16, 16, 16},
     {100000, 12, 11, 11, 11, 11, 9, 8, 8, 7, 6, 5}},
    {"FS 1, alternate 3: the current bar is left out (the worked figures)", 1, 0, 11, 1, 3,
     {U, 0, 12, 12, 15, 15, 15, 14, 13, 16, 16, 16},
     {U, 100000, 12, 11, 11, 11, 13, 9, 8, 8, 7, 6}},
    {"FS 4, alternate 3: no offset is walked (the worked figures)", 4, 0, 11, 1, 3,
     {U, U, U, U, 0, 0, 0, 0, 0, 0, 0, 0},
     {U, U, U, U, 100000, 100000, 100000, 100000, 100000, 100000, 100000, 100000}},
    {"FS 2, alternate 5: windows reach bar 1, below FS (by hand)", 2, 0, 11, 1, 5,
     {U, U, 0, 12, 12, 15, 15, 15, 15, 14, 16, 16},
     {U, U, 100000, 12, 11, 11, 11, 11, 9, 8, 8, 7}},
    {"no period computed (U 7..11), alternate 0: bars i and i-1 (the worked figures)", 0, 7, 11, 1, 0,
     {0, 12, 12, 15, 15, 14, 13, 9, 16, 16, 7, 6},
     {100000, 12, 11, 11, 14, 13, 9, 8, 8, 7, 6, 5}},
    {"user firstValid at the int32 limit: no period computed either", 0, kInt32Max, 11, 1, 0,
     {0, 12, 12, 15, 15, 14, 13, 9, 16, 16, 7, 6},
     {100000, 12, 11, 11, 14, 13, 9, 8, 8, 7, 6, 5}},
    {"multiplier -1 is taken as 0: depth 1", 0, 0, 11, -1, 0,
     {0, 12, 12, 15, 15, 14, 13, 9, 16, 16, 7, 6},
     {100000, 12, 11, 11, 14, 13, 9, 8, 8, 7, 6, 5}},
    {"multiplier NaN is taken as 0: depth 1", 0, 0, 11, kNaN, 0,
     {0, 12, 12, 15, 15, 14, 13, 9, 16, 16, 7, 6},
     {100000, 12, 11, 11, 14, 13, 9, 8, 8, 7, 6, 5}},
    {"depth from the period, multiplier 1: 1 to bar 5, then 2, 2, 3, 4, 4, 4 (by hand)", 0, 0, 11, 1, 0,
     {0, 12, 12, 15, 15, 14, 14, 13, 16, 16, 16, 16},
     {100000, 12, 11, 11, 14, 13, 9, 8, 8, 7, 6, 5}},
    {"alternate -5 is taken as 0: the period decides, as above", 0, 0, 11, 1, -5,
     {0, 12, 12, 15, 15, 14, 14, 13, 16, 16, 16, 16},
     {100000, 12, 11, 11, 14, 13, 9, 8, 8, 7, 6, 5}},
    {"alternate NaN is taken as 0: the period decides, as above", 0, 0, 11, 1, kNaN,
     {0, 12, 12, 15, 15, 14, 14, 13, 16, 16, 16, 16},
     {100000, 12, 11, 11, 14, 13, 9, 8, 8, 7, 6, 5}},
    {"depth from the period, multiplier 2.5: 1 to bar 4, then 3, 5, 7, 8, 10, 11 (by hand)", 0, 0, 11, 2.5f, 0,
     {0, 12, 12, 15, 15, 15, 15, 15, 16, 16, 16, 16},
     {100000, 12, 11, 11, 14, 11, 9, 8, 8, 7, 6, 5}},
    {"bars beyond the user's lastValid have period 0 (U 0..5, multiplier 100; by hand)", 0, 0, 5, 100, 0,
     {0, 12, 12, 15, 15, 15, 13, 9, 16, 16, 7, 6},
     {100000, 12, 11, 11, 14, 11, 9, 8, 8, 7, 6, 5}},
};

TEST_F(ChannelTest, TheTwelveValueFigures) {
    for (const FigureCase &c : kFigures) {
        SCOPED_TRACE(c.what);
        for (const Twin *twin : {&kHigh, &kLow}) {
            SCOPED_TRACE(twin->name);
            // The user's series is X as well; only its range and the periods measured on it count.
            CallRecords call = channelCall(*twin, Series(kTwelve, c.userFirst, c.userLast),
                                           Series(kTwelve, c.priceFirst, 11), c.multiplier, c.alternate, 12);
            expectSucceeded(call, call.call(function(*twin)), c.priceFirst + 6, 11);
            expectValues(call, twin == &kHigh ? c.high : c.low);
        }
    }
}

// The depth shows directly over a price series that only falls (highs) or only rises (lows): the
// extreme of bar i's window is the bar furthest back, i - depth, cut at bar 1. The user's series is a
// sine wave of period 60, whose measured period is 49.999996185302734 on every bar from 200 on.
TEST_F(ChannelTest, TheDepthOfEveryWindow) {
    struct Case {
        float multiplier, alternate;
        int32 depth;  // at bars 200 and later
    };
    const Case cases[] = {
        {1, 3, 3},      {1, 7.9f, 7},   {1, 0.5f, 1},   {1, 100, 100},  {1, 250, 100},
        {1, -5, 49},    {1, kNaN, 49},  {1, 0, 49},     {2, 0, 99},     {0.25f, 0, 12},
        {-1, 0, 1},     {kNaN, 0, 1},   {0, 0, 1},
    };
    const int32 bars = 300;
    std::vector<float> user(bars), falling(bars), rising(bars);
    const double pi = std::acos(-1.0);
    for (int32 i = 0; i < bars; ++i) {
        user[i] = static_cast<float>(100.0 + 10.0 * std::sin(2.0 * pi * i / 60.0));
        falling[i] = static_cast<float>(1000 - i);
        rising[i] = static_cast<float>(1000 + i);
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "multiplier " << c.multiplier << ", alternate " << c.alternate);
        for (const Twin *twin : {&kHigh, &kLow}) {
            const std::vector<float> &prices = twin == &kHigh ? falling : rising;
            CallRecords call = channelCall(*twin, Series(user), Series(prices), c.multiplier, c.alternate, bars);
            expectSucceeded(call, call.call(function(*twin)), 6, bars - 1);
            for (int32 bar = 200; bar < bars; ++bar) {
                const int32 furthest = std::max(1, bar - c.depth);
                ASSERT_EQ(call.outputBits(bar), bitsOf(prices[furthest])) << twin->name << ", bar " << bar;
            }
        }
    }
}

TEST_F(ChannelTest, PricesBeyondTheStartValueNeverShow) {
    // Highs all negative never beat the start value 0; lows all above 100000 never undercut it.
    std::vector<float> negative(40), huge(40);
    for (int32 i = 0; i < 40; ++i) {
        negative[i] = -1.0f - static_cast<float>(i);
        huge[i] = 100001.0f + static_cast<float>(i);
    }
    for (float alternate : {3.0f, 0.0f}) {
        for (const Twin *twin : {&kHigh, &kLow}) {
            SCOPED_TRACE(twin->name);
            CallRecords call = channelCall(*twin, Series(negative), Series(twin == &kHigh ? negative : huge),
                                           100, alternate, 40);
            expectSucceeded(call, call.call(function(*twin)), 6, 39);
            for (int32 bar = 0; bar < 40; ++bar) {
                EXPECT_EQ(call.outputBits(bar), bitsOf(twin->start)) << "bar " << bar;
            }
        }
    }
}

TEST_F(ChannelTest, ShortAndReversedRangesSucceedWithTheirOwnRange) {
    for (const Twin *twin : {&kHigh, &kLow}) {
        SCOPED_TRACE(twin->name);
        // LS = FS + 5: bars FS..LS are written, the reported range FS + 6..LS is empty.
        CallRecords shortRange = channelCall(*twin, Series(kTwelve), Series(kTwelve, 2, 7), 1, 3, 12);
        expectSucceeded(shortRange, shortRange.call(function(*twin)), 8, 7);
        // By hand, depth 3 from FS 2: bar i holds the extreme of bars i-2 and i-3, cut at bar 1.
        const Twelve high = {U, U, 0, 12, 12, 15, 15, 14, U, U, U, U};
        const Twelve low = {U, U, 100000, 12, 11, 11, 14, 13, U, U, U, U};
        expectValues(shortRange, twin == &kHigh ? high : low);

        // FS 5 and LS 3: no bar at all.
        CallRecords reversed = channelCall(*twin, Series(kTwelve), Series(kTwelve, 5, 3), 1, 3, 12);
        expectSucceeded(reversed, reversed.call(function(*twin)), 11, 3);
        EXPECT_TRUE(reversed.outputUntouched());
    }
}

TEST_F(ChannelTest, PriceFirstValidNearTheInt32LimitNeverWraps) {
    for (const Twin *twin : {&kHigh, &kLow}) {
        SCOPED_TRACE(twin->name);
        // FS + 6 still fits: the ordinary reversed range, no bar computed.
        CallRecords fits = channelCall(*twin, Series(kTwelve), Series(kTwelve, kInt32Max - 6, 11), 1, 3, 12);
        expectSucceeded(fits, fits.call(function(*twin)), kInt32Max, 11);
        EXPECT_TRUE(fits.outputUntouched());
        // FS + 6 would pass the limit: too few bars, the empty range, nothing written.
        for (int32 first : {kInt32Max - 5, kInt32Max}) {
            CallRecords call = channelCall(*twin, Series(kTwelve), Series(kTwelve, first, 11), 1, 3, 12);
            expectSucceeded(call, call.call(function(*twin)), 0, -1);
            EXPECT_TRUE(call.outputUntouched());
        }
    }
}

TEST_F(ChannelTest, APeriodArrayBeyondTheInt32BarCountFailsTheCalculation) {
    // The user's bars 0..2^31-1 cannot be counted in the engine's int32: the period array is never
    // obtained and the user's values are never read. The channel is still walked, with period 0
    // everywhere, before the failure is reported.
    for (const Twin *twin : {&kHigh, &kLow}) {
        SCOPED_TRACE(twin->name);
        CallRecords call = channelCall(*twin, Series(kTwelve, 0, kInt32Max), Series(kTwelve), 1, 0, 12);
        expectFailed(call, call.call(function(*twin)), "Hilbert Period Calculation Failed", false);
        const Twelve high = {0, 12, 12, 15, 15, 14, 13, 9, 16, 16, 7, 6};
        const Twelve low = {100000, 12, 11, 11, 14, 13, 9, 8, 8, 7, 6, 5};
        expectValues(call, twin == &kHigh ? high : low);
    }
}

TEST_F(ChannelTest, RejectsCountsAndRangesItDoesNotAccept) {
    struct Case {
        const char *what;
        std::function<void(CallRecords &, char letter)> spoil;
    };
    const auto priceRange = [](CallRecords &c, char letter) -> DataArrayRec & {
        return letter == 'H' ? c.prices.high : c.prices.low;
    };
    const Case cases[] = {
        {"no data array", [](CallRecords &c, char) { c.data.count = 0; c.data.args[0] = nullptr; }},
        {"two data arrays", [](CallRecords &c, char) { c.addData(Series(kTwelve)); }},
        {"no number", [](CallRecords &c, char) { c.numeric.count = 0; }},
        {"one number (no alternate length)", [](CallRecords &c, char) { c.numeric.count = 1; }},
        {"three numbers", [](CallRecords &c, char) { c.addNumber(1.0f); }},
        {"a text", [](CallRecords &c, char) { c.addText("x"); }},
        {"a custom argument", [](CallRecords &c, char) { c.addCustom(0); }},
        {"user firstValid -1", [](CallRecords &c, char) { c.data.args[0]->firstValid = -1; }},
        {"user lastValid 0", [](CallRecords &c, char) { c.data.args[0]->lastValid = 0; }},
        {"the empty user range", [](CallRecords &c, char) { c.data.args[0]->firstValid = 0; c.data.args[0]->lastValid = -1; }},
        {"price firstValid -1", [&](CallRecords &c, char l) { priceRange(c, l).firstValid = -1; }},
        {"price lastValid 0", [&](CallRecords &c, char l) { priceRange(c, l).lastValid = 0; }},
        {"the empty price range", [&](CallRecords &c, char l) { priceRange(c, l).firstValid = 0; priceRange(c, l).lastValid = -1; }},
        {"price firstValid at the int32 minimum", [&](CallRecords &c, char l) { priceRange(c, l).firstValid = std::numeric_limits<int32>::min(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const Twin *twin : {&kHigh, &kLow}) {
            SCOPED_TRACE(twin->name);
            CallRecords call = channelCall(*twin, Series(kTwelve), Series(kTwelve), 1, 3, 12);
            c.spoil(call, twin->letter);
            expectRejected(call, call.call(function(*twin)));
        }
    }
}

TEST_F(ChannelTest, IgnoresEverythingButItsOwnSeriesAndArguments) {
    for (const Twin *twin : {&kHigh, &kLow}) {
        SCOPED_TRACE(twin->name);
        CallRecords plain = channelCall(*twin, Series(kTwelve), Series(kTwelve), 1, 0, 12);
        ASSERT_EQ(plain.call(function(*twin)), StatusSuccess);

        // The other series, even invalid ones, and every byte beyond the counts.
        CallRecords noisy(12);
        noisy.setPrices(Series({1, 2}, 0, -1), Series({3}, -1, 0), Series({4}, -1, 0), Series(),
                        Series({5, 6, 7}));
        noisy.setPrice(twin->letter, Series(kTwelve));
        noisy.addData(Series(kTwelve));
        noisy.addNumber(1);
        noisy.addNumber(0);
        scrambleIgnoredBytes(noisy);
        ASSERT_EQ(noisy.call(function(*twin)), StatusSuccess);

        EXPECT_EQ(plain.firstValid(), noisy.firstValid());
        EXPECT_EQ(plain.lastValid(), noisy.lastValid());
        EXPECT_EQ(0, std::memcmp(plain.output().data(), noisy.output().data(), 12 * sizeof(float)));
        EXPECT_TRUE(noisy.errorTextUntouched());
    }
}

TEST_F(ChannelTest, AFixedLengthMakesTheUsersValuesIrrelevant) {
    std::vector<float> other(kTwelve.size());
    for (std::size_t i = 0; i < other.size(); ++i) other[i] = static_cast<float>(i * i) - 40.0f;
    for (const Twin *twin : {&kHigh, &kLow}) {
        CallRecords first = channelCall(*twin, Series(kTwelve), Series(kTwelve), 1, 4, 12);
        CallRecords second = channelCall(*twin, Series(other), Series(kTwelve), 1, 4, 12);
        ASSERT_EQ(first.call(function(*twin)), StatusSuccess);
        ASSERT_EQ(second.call(function(*twin)), StatusSuccess);
        EXPECT_EQ(0, std::memcmp(first.output().data(), second.output().data(), 12 * sizeof(float)))
            << twin->name;
    }
}

}  // namespace
}  // namespace zpk::test
