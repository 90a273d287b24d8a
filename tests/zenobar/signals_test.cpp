// The nineteen Signal functions through the loaded module.
#include "zenobar_fixture.hpp"

#include <cmath>
#include <limits>

namespace zpk::test {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

enum class Base { Volume, Run, Ext, Ast, Spe, Pru, Tre };

struct SignalName {
    const char *name;
    Base base;
    const char *baseName;
};

// Seven computations under nineteen names.
const SignalName kSignals[] = {
    {"SignalVolume", Base::Volume, "SignalVolume"}, {"SignalVolume2", Base::Volume, "SignalVolume"},
    {"SignalRun", Base::Run, "SignalRun"},          {"SignalRun2", Base::Run, "SignalRun"},
    {"SignalExt", Base::Ext, "SignalExt"},          {"SignalExt2", Base::Ext, "SignalExt"},
    {"SignalExt3", Base::Ext, "SignalExt"},         {"SignalAst", Base::Ast, "SignalAst"},
    {"SignalAst2", Base::Ast, "SignalAst"},         {"SignalAst3", Base::Ast, "SignalAst"},
    {"SignalSpe", Base::Spe, "SignalSpe"},          {"SignalSpe2", Base::Spe, "SignalSpe"},
    {"SignalSpe3", Base::Spe, "SignalSpe"},         {"SignalPru", Base::Pru, "SignalPru"},
    {"SignalPru2", Base::Pru, "SignalPru"},         {"SignalPru3", Base::Pru, "SignalPru"},
    {"SignalTre", Base::Tre, "SignalTre"},          {"SignalTre2", Base::Tre, "SignalTre"},
    {"SignalTre3", Base::Tre, "SignalTre"},
};

// Distinct values at every bar, with NaNs, zeros and a negative close among them so that every
// computation takes more than one path.
std::vector<float> wavy(std::size_t bars, float base, float amplitude, unsigned seed) {
    std::vector<float> values(bars);
    for (std::size_t i = 0; i < bars; ++i) {
        values[i] = base + amplitude * std::sin(static_cast<float>(i * seed % 97));
    }
    return values;
}

void setRichPrices(CallRecords &call, std::size_t bars, int32 highFirst, int32 highLast, int32 lowFirst,
                   int32 lowLast) {
    std::vector<float> close = wavy(bars, 10, 2, 7);
    close[4] = 0;
    close[9] = -3;
    close[12] = kNaN;
    std::vector<float> open = wavy(bars, 10, 2, 11);
    open[20] = kNaN;
    call.setPrices(Series(open, 1, 2), Series(wavy(bars, 12, 0.5f, 3), highFirst, highLast),
                   Series(wavy(bars, 8, 0.5f, 5), lowFirst, lowLast), Series(close, 1, 3),
                   Series(wavy(bars, 1000, 900, 13), 0, -1));
}

// Whatever argument records the host passes: a function without arguments reads none of them.
void setGarbageArguments(CallRecords &call) {
    call.data.count = -1;
    call.numeric.count = 10;
    call.strings.count = 7;
    call.custom.count = 2;
}

class SignalTest : public ZenobarTest {};

TEST_F(SignalTest, EveryNameWritesTheCommonRangeOfHighAndLow) {
    for (const SignalName &signal : kSignals) {
        SCOPED_TRACE(signal.name);
        CallRecords call(110);
        setRichPrices(call, 110, 5, 100, 3, 98);
        setGarbageArguments(call);
        ASSERT_EQ(call.call(calculation(signal.name)), StatusSuccess);
        expectRange(call, 5, 98);
        for (std::size_t i = 0; i < 110; ++i) {
            const bool inRange = i >= 5 && i <= 98;
            EXPECT_EQ(call.outputBits(i) != kUntouchedBits, inRange) << "bar " << i;
        }
        EXPECT_TRUE(call.errorTextUntouched());
        EXPECT_TRUE(call.inputsUnchanged());
    }
}

TEST_F(SignalTest, DisjointHighAndLowWriteNothingAndReportTheEmptyRange) {
    for (const SignalName &signal : kSignals) {
        SCOPED_TRACE(signal.name);
        CallRecords call(50);
        setRichPrices(call, 50, 10, 20, 30, 40);
        ASSERT_EQ(call.call(calculation(signal.name)), StatusSuccess);
        expectRange(call, 30, 20);
        EXPECT_TRUE(call.outputUntouched());
    }
}

TEST_F(SignalTest, EachVariantIsByteIdenticalToItsBase) {
    for (const SignalName &signal : kSignals) {
        SCOPED_TRACE(signal.name);
        CallRecords variant(60), base(60);
        setRichPrices(variant, 60, 0, 50, 0, 55);
        setRichPrices(base, 60, 0, 50, 0, 55);
        ASSERT_EQ(variant.call(calculation(signal.name)), StatusSuccess);
        ASSERT_EQ(base.call(calculation(signal.baseName)), StatusSuccess);
        EXPECT_EQ(0, std::memcmp(variant.output().data(), base.output().data(), 60 * sizeof(float)));
        EXPECT_EQ(variant.firstValid(), base.firstValid());
        EXPECT_EQ(variant.lastValid(), base.lastValid());
    }
}

// The names of one computation.
std::vector<const char *> namesOf(Base base) {
    std::vector<const char *> names;
    for (const SignalName &signal : kSignals) {
        if (signal.base == base) {
            names.push_back(signal.name);
        }
    }
    return names;
}

TEST_F(SignalTest, CopiesKeepEveryBitOfTheirSeries) {
    // NaN payloads, a signalling NaN, signed zeros, infinities and a subnormal.
    const std::vector<float> special = {1.25f,
                                        floatFromBits(0x7FC12345),
                                        floatFromBits(0x7F800001),
                                        -0.0f,
                                        kInf,
                                        -kInf,
                                        floatFromBits(0x00000001),
                                        floatFromBits(0xFFC00000)};
    const int32 last = static_cast<int32>(special.size()) - 1;
    // The copied series and its range: high and low set the written bars 1..last; the open's and
    // the close's own ranges are not consulted.
    struct Copy {
        Base base;
        char letter;
        int32 first, last;
    };
    const Copy copies[] = {{Base::Ast, 'H', 1, last}, {Base::Spe, 'L', 0, last}, {Base::Pru, 'O', 0, 0},
                           {Base::Tre, 'C', 0, 0}};
    for (const Copy &copy : copies) {
        for (const char *name : namesOf(copy.base)) {
            SCOPED_TRACE(name);
            CallRecords call(special.size());
            call.setPrices(Series(wavy(8, 1, 1, 3)), Series(wavy(8, 2, 1, 5), 1, last),
                           Series(wavy(8, 3, 1, 7), 0, last), Series(wavy(8, 4, 1, 9)), Series());
            call.setPrice(copy.letter, Series(special, copy.first, copy.last));
            ASSERT_EQ(call.call(calculation(name)), StatusSuccess);
            std::vector<float> expected = special;
            expected[0] = U;
            expectOutput(call, expected);
            expectRange(call, 1, last);
        }
    }
}

TEST_F(SignalTest, RunWritesTheSquareRootOf252) {
    for (const char *name : namesOf(Base::Run)) {
        SCOPED_TRACE(name);
        CallRecords call(9);
        call.setPrices(Series(), Series(std::vector<float>(9, kNaN), 5, 7), Series(std::vector<float>(9), 2, 8),
                       Series(), Series());
        ASSERT_EQ(call.call(calculation(name)), StatusSuccess);
        const float root = 15.874508f;
        expectOutput(call, {U, U, U, U, U, root, root, root, U});
        expectRange(call, 5, 7);
    }
}

// Previous and current close, and the value written at the current bar.
struct ExtCase {
    const char *what;
    float previous, current;
    float expected;
};

const ExtCase kExtCases[] = {
    {"110 after 100", 100, 110, 0.09531018f},
    {"100 after 110", 110, 100, -0.09531018f},
    {"unchanged", 7, 7, 0.0f},
    {"two negative closes: ratio 1.1", -100, -110, 0.09531018f},
    {"previous 0", 0, 5, 0.0f},
    {"current 0", 5, 0, 0.0f},
    {"both 0", 0, 0, 0.0f},
    {"opposite signs", -5, 5, 0.0f},
    {"opposite signs the other way", 5, -5, 0.0f},
    {"NaN previous", kNaN, 5, 0.0f},
    {"NaN current", 5, kNaN, 0.0f},
    {"infinite current", 5, kInf, 0.0f},
    {"infinite previous: ratio 0", kInf, 5, 0.0f},
};

TEST_F(SignalTest, ExtWritesTheLogarithmOfTheCloseRatioOrZero) {
    for (const char *name : namesOf(Base::Ext)) {
        for (const ExtCase &c : kExtCases) {
            SCOPED_TRACE(std::string(name) + ": " + c.what);
            CallRecords call(7);
            // Range 5..5; the close before it is read although the close range excludes it.
            call.setPrices(Series(), Series(std::vector<float>(7), 5, 5), Series(std::vector<float>(7), 0, 6),
                           Series({1, 1, 1, 1, c.previous, c.current, 1}, 5, 6), Series());
            ASSERT_EQ(call.call(calculation(name)), StatusSuccess);
            expectOutput(call, {U, U, U, U, U, c.expected, U});
            expectRange(call, 5, 5);
        }
    }
}

TEST_F(SignalTest, ExtStartingAtBarZeroWritesZeroThere) {
    for (const char *name : namesOf(Base::Ext)) {
        SCOPED_TRACE(name);
        CallRecords call(3);
        call.setPrices(Series(), Series({0, 0, 0}), Series({0, 0, 0}), Series({100, 110, 100}), Series());
        ASSERT_EQ(call.call(calculation(name)), StatusSuccess);
        expectOutput(call, {0.0f, 0.09531018f, -0.09531018f});
        expectRange(call, 0, 2);
    }
}

// One bar per row: open, high, low, close, and whether its volume of 1000 passes.
struct VolumeBar {
    const char *what;
    float open, high, low, close;
    bool passes;
};

const VolumeBar kVolumeBars[] = {
    // High 12, low 8: thirds of 4/3.
    {"rose, closed in the top third", 10, 12, 8, 11.5f, true},
    {"fell, opened in the top third, closed in the middle third", 11.8f, 12, 8, 10, true},
    {"level, opened in the middle third", 10, 12, 8, 10, false},
    {"rose, closed below the top third", 9, 12, 8, 10.5f, false},
    {"fell, closed in the bottom third", 11, 12, 8, 9, false},
    // High 12, low 9: thirds of 1, on the lines.
    {"rose, closed exactly on the top-third line", 10, 12, 9, 11, true},
    {"fell, closed exactly on the bottom-third line", 11.5f, 12, 9, 10, false},
    {"fell, opened exactly on the top-third line", 11, 12, 9, 10.5f, false},
    {"no range at all", 10, 10, 10, 10, true},
    {"NaN open on a bar that closed in the top third: the negated test passes", kNaN, 12, 8, 11.5f, true},
    {"NaN open on a level-looking bar", kNaN, 12, 8, 10, false},
    {"NaN close", 10, 12, 8, kNaN, false},
    {"NaN high", 11.8f, kNaN, 8, 10, false},
};

TEST_F(SignalTest, VolumePassesOnBarsByWhereTheyOpenedAndClosed) {
    const std::size_t bars = std::size(kVolumeBars) + 1;  // bar 0 lies outside every range
    std::vector<float> open(bars), high(bars), low(bars), close(bars), volume(bars, 1000), expected(bars, U);
    for (std::size_t i = 1; i < bars; ++i) {
        const VolumeBar &bar = kVolumeBars[i - 1];
        open[i] = bar.open;
        high[i] = bar.high;
        low[i] = bar.low;
        close[i] = bar.close;
        expected[i] = bar.passes ? 1000.0f : 0.0f;
    }
    const int32 last = static_cast<int32>(bars) - 1;
    for (const char *name : namesOf(Base::Volume)) {
        SCOPED_TRACE(name);
        CallRecords call(bars);
        call.setPrices(Series(open, 0, 0), Series(high, 1, last), Series(low, 1, last), Series(close, 1, last),
                       Series(volume, 0, 0));
        ASSERT_EQ(call.call(calculation(name)), StatusSuccess);
        for (std::size_t i = 1; i < bars; ++i) {
            EXPECT_EQ(call.outputBits(i), bitsOf(expected[i])) << kVolumeBars[i - 1].what;
        }
        EXPECT_EQ(call.outputBits(0), kUntouchedBits);
        expectRange(call, 1, last);
    }
}

TEST_F(SignalTest, VolumeNeedsACloseFromBarOne) {
    // A closed gate with bars to write computes nothing and says so with the empty result; with
    // no bars to write the range is the frame's, as for every Signal function.
    struct GateCase {
        int32 closeFirst, closeLast, highFirst;
        int32 reportedFirst, reportedLast;
    };
    const GateCase cases[] = {{0, 5, 1, 0, -1}, {1, 0, 1, 0, -1}, {-2, -1, 1, 0, -1}, {0, 5, 7, 7, 5}};
    for (const char *name : namesOf(Base::Volume)) {
        for (const GateCase &c : cases) {
            SCOPED_TRACE(std::string(name) + " close " + std::to_string(c.closeFirst) + ".." +
                         std::to_string(c.closeLast));
            CallRecords call(6);
            const std::vector<float> flat(6, 10.0f);
            call.setPrices(Series(flat), Series(flat, c.highFirst, 5), Series(flat, 1, 5),
                           Series(flat, c.closeFirst, c.closeLast), Series(std::vector<float>(6, 1000)));
            ASSERT_EQ(call.call(calculation(name)), StatusSuccess);
            expectRange(call, c.reportedFirst, c.reportedLast);
            EXPECT_TRUE(call.outputUntouched());
        }
    }
}

TEST_F(SignalTest, ARangeStartingBeforeBarZeroStartsAtBarZero) {
    for (const SignalName &signal : kSignals) {
        SCOPED_TRACE(signal.name);
        CallRecords call(5);
        const std::vector<float> flat(5, 10.0f);
        call.setPrices(Series(flat), Series(flat, -3, 3), Series(flat, -5, 4), Series(flat, 1, 4),
                       Series(std::vector<float>(5, 1000)));
        ASSERT_EQ(call.call(calculation(signal.name)), StatusSuccess);
        expectRange(call, 0, 3);
        EXPECT_NE(call.outputBits(0), kUntouchedBits);
        EXPECT_TRUE(call.outputUntouchedFrom(4));
    }
}

TEST_F(SignalTest, RangesBeyondSixteenBitsWork) {
    const int32 last = 40000;
    const std::vector<float> flat(last + 1, 10.0f);
    for (const SignalName &signal : kSignals) {
        SCOPED_TRACE(signal.name);
        CallRecords call(last + 1);
        call.setPrices(Series(flat), Series(flat), Series(flat), Series(flat, 1, last),
                       Series(std::vector<float>(last + 1, 1000)));
        ASSERT_EQ(call.call(calculation(signal.name)), StatusSuccess);
        expectRange(call, 0, last);
        EXPECT_NE(call.outputBits(32767), kUntouchedBits);
        EXPECT_NE(call.outputBits(last), kUntouchedBits);
    }
}

}  // namespace
}  // namespace zpk::test
