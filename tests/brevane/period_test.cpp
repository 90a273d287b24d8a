// BrevanePeriod through the loaded module, called by name as the host calls it.
#include "address_space_limit.hpp"
#include "brevane_module.hpp"
#include "hilbert_period.hpp"

#include <cfenv>
#include <functional>
#include <random>

namespace zpk::test {
namespace {

using BrevanePeriodTest = BrevaneTest;

std::vector<float> randomPrices(std::size_t bars, unsigned seed) {
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> price(80.0f, 120.0f);
    std::vector<float> values(bars);
    for (float &v : values) v = price(engine);
    return values;
}

// A call with one data array and nothing else.
CallRecords periodCall(const Series &input, std::size_t outputBars) {
    CallRecords call(outputBars);
    call.addData(input);
    return call;
}

TEST_F(BrevanePeriodTest, HandsTheEnginesPeriodsToTheHost) {
    const std::vector<float> values = randomPrices(300, 1);
    const int32 first = 3, last = 280;
    CallRecords call = periodCall(Series(values, first, last), values.size());
    expectSucceeded(call, call.call(brevanePeriod), first + 6, last);

    std::vector<float> expected(last + 1, 0.0f);
    ASSERT_EQ(brevane::CalcHilbertPeriod(values.data(), first, last, expected.data(), last + 1), 0);
    for (int32 bar = 0; bar <= last; ++bar) {
        ASSERT_EQ(call.outputBits(bar), bitsOf(expected[bar])) << "bar " << bar;
    }
    EXPECT_TRUE(call.outputUntouchedFrom(last + 1));
    // The first reported values are the warm-up, whatever the prices.
    EXPECT_EQ(call.outputBits(first + 5), 0x3F99999Au);  // 1.2, outside the range
    EXPECT_EQ(call.outputBits(first + 6), 0x400A3D71u);  // 2.16
    EXPECT_EQ(call.outputBits(first + 9), 0x408115E0u);  // 4.03392
}

// Rows: ranges too short or reversed, worked out from the engine's warm-up. Z: zero, W: 1.2 (the
// unreported first bar), T: 2.16, U: not written.
TEST_F(BrevanePeriodTest, ShortAndReversedRangesSucceedWithTheirOwnRange) {
    constexpr std::uint32_t Z = 0, W = 0x3F99999A, T = 0x400A3D71, U = kUntouchedBits;
    struct Case {
        int32 first, last;
        std::vector<std::uint32_t> expected;  // bars 0..7
        int32 reportedFirst, reportedLast;
    };
    const Case cases[] = {
        {0, 4, {Z, Z, Z, Z, Z, U, U, U}, 6, 4},
        {0, 5, {Z, Z, Z, Z, Z, W, U, U}, 6, 5},
        {0, 6, {Z, Z, Z, Z, Z, W, T, U}, 6, 6},
        {3, 2, {Z, Z, Z, U, U, U, U, U}, 9, 2},
        {1, 1, {Z, Z, U, U, U, U, U, U}, 7, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "range " << c.first << ".." << c.last);
        CallRecords call = periodCall(Series(randomPrices(8, 2), c.first, c.last), 8);
        expectSucceeded(call, call.call(brevanePeriod), c.reportedFirst, c.reportedLast);
        for (std::size_t bar = 0; bar < c.expected.size(); ++bar) {
            EXPECT_EQ(call.outputBits(bar), c.expected[bar]) << "bar " << bar;
        }
    }
}

TEST_F(BrevanePeriodTest, RejectsCountsAndRangesItDoesNotAccept) {
    struct Case {
        const char *what;
        std::function<void(CallRecords &)> spoil;
    };
    const Case cases[] = {
        {"no data array", [](CallRecords &c) { c.data.count = 0; c.data.args[0] = nullptr; }},
        {"two data arrays", [](CallRecords &c) { c.addData(Series({1, 2, 3, 4, 5, 6, 7, 8})); }},
        {"a negative data count", [](CallRecords &c) { c.data.count = -1; }},
        {"a number", [](CallRecords &c) { c.addNumber(1.0f); }},
        {"a text", [](CallRecords &c) { c.addText("x"); }},
        {"a custom argument", [](CallRecords &c) { c.addCustom(0); }},
        {"firstValid -1", [](CallRecords &c) { c.data.args[0]->firstValid = -1; }},
        {"firstValid at the int32 minimum", [](CallRecords &c) { c.data.args[0]->firstValid = std::numeric_limits<int32>::min(); }},
        {"lastValid 0", [](CallRecords &c) { c.data.args[0]->lastValid = 0; }},
        {"the empty range", [](CallRecords &c) { c.data.args[0]->firstValid = 0; c.data.args[0]->lastValid = -1; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CallRecords call = periodCall(Series(randomPrices(8, 3)), 8);
        c.spoil(call);
        expectRejected(call, call.call(brevanePeriod));
    }
}

TEST_F(BrevanePeriodTest, IgnoresEverythingButItsDataArray) {
    const Series input(randomPrices(64, 4), 2, 60);
    CallRecords plain = periodCall(input, 64);
    ASSERT_EQ(plain.call(brevanePeriod), StatusSuccess);

    CallRecords noisy = periodCall(input, 64);
    noisy.setPrices(Series(randomPrices(64, 5)), Series({1, 2}), Series(), Series(randomPrices(9, 6)),
                    Series({-1, -2, -3}, 0, 2), Series({7}));
    scrambleIgnoredBytes(noisy);
    ASSERT_EQ(noisy.call(brevanePeriod), StatusSuccess);

    EXPECT_EQ(plain.firstValid(), noisy.firstValid());
    EXPECT_EQ(plain.lastValid(), noisy.lastValid());
    EXPECT_EQ(0, std::memcmp(plain.output().data(), noisy.output().data(), 64 * sizeof(float)));
    EXPECT_TRUE(noisy.errorTextUntouched());
}

TEST_F(BrevanePeriodTest, FirstValidNearTheInt32LimitNeverWraps) {
    // firstValid + 6 still fits: the ordinary too-few-bars answer, zeros written at bars 0..lastValid.
    {
        CallRecords call = periodCall(Series(randomPrices(11, 7), kInt32Max - 6, 10), 12);
        expectSucceeded(call, call.call(brevanePeriod), kInt32Max, 10);
        for (int32 bar = 0; bar <= 10; ++bar) EXPECT_EQ(call.outputBits(bar), 0u) << bar;
        EXPECT_TRUE(call.outputUntouchedFrom(11));
    }
    // firstValid + 6 would pass the limit: too few bars, the empty range, nothing written.
    for (int32 first : {kInt32Max - 5, kInt32Max}) {
        CallRecords call = periodCall(Series(randomPrices(11, 7), first, 10), 12);
        expectSucceeded(call, call.call(brevanePeriod), 0, -1);
        EXPECT_TRUE(call.outputUntouched());
    }
}

TEST_F(BrevanePeriodTest, APeriodArrayBeyondTheInt32BarCountFailsTheCalculation) {
    // Bars 0..2^31-1 cannot be counted in the engine's int32: the array is never obtained, and
    // nothing of the input is read (it has 8 bars only).
    CallRecords call = periodCall(Series(randomPrices(8, 8), 0, kInt32Max), 8);
    expectFailed(call, call.call(brevanePeriod), "Hilbert Period Calculation Failed");
}

TEST_F(BrevanePeriodTest, ScratchMemoryThatCannotBeObtainedFailsTheCalculation) {
    // The call's only scratch that grows with the bars is the period array, here 16 MiB; the engine
    // itself keeps a few hundred bytes. The room left suffices for the 16 MiB copy the test makes of
    // the input before the call, not for the period array as well.
    const int32 last = 4 * 1024 * 1024 - 1;
    CallRecords call = periodCall(Series(randomPrices(last + 1, 9)), last + 1);
    int32 status;
    {
        AddressSpaceLimit limit(24u << 20);
        if (!limit.enforced()) GTEST_SKIP() << "the address-space limit is not enforced here";
        status = call.call(brevanePeriod);
    }
    // The period array was not obtained: nothing was measured or copied.
    expectFailed(call, status, "Hilbert Period Calculation Failed");
}

#if defined(__GLIBC__) && (defined(__x86_64__) || defined(__i386__))
TEST_F(BrevanePeriodTest, RunsWithTheCallersFloatingPointTrapsMaskedAndRestoresThem) {
    // Infinite prices make the filters subtract infinities (an invalid operation); a host with
    // unmasked exceptions must neither trap nor see its flags or masks changed.
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> values(64);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = i % 3 ? inf : -inf;
    CallRecords call = periodCall(Series(values), values.size());

    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_OVERFLOW | FE_INVALID | FE_DIVBYZERO);
    const int32 status = call.call(brevanePeriod);
    const int enabled = fegetexcept();
    const int raised = std::fetestexcept(FE_ALL_EXCEPT);
    fedisableexcept(FE_ALL_EXCEPT);

    expectSucceeded(call, status, 6, 63);
    EXPECT_EQ(enabled, FE_OVERFLOW | FE_INVALID | FE_DIVBYZERO);
    EXPECT_EQ(raised, 0);
    for (int32 bar = 6; bar <= 63; ++bar) {
        EXPECT_TRUE(call.output()[bar] >= 1.2f && call.output()[bar] <= 50.0f) << "bar " << bar;
    }
}
#endif

}  // namespace
}  // namespace zpk::test
