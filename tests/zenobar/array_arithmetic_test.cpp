// AddN and SumArrays through the loaded module.
#include "zenobar_fixture.hpp"

#include "numeric.hpp"

#include <limits>

namespace zpk::test {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kUpper = zenobar::kClampUpper;
const float kLower = zenobar::kClampLower;
const char *const kWrongCount = "Wrong number of arguments";

// Source values at bars 0.., its range, the close range, the argument counts, and what the call
// leaves (U: not written). Expected values are the sums worked by hand, through the clamp.
struct AddCase {
    const char *what;
    float increment;
    std::vector<float> source;
    int32 first, last, closeFirst, closeLast;
    std::vector<float> expected;
    int32 reportedFirst, reportedLast;
    int32 status = StatusSuccess;
    int32 dataCount = 1, numericCount = 1;
};

const AddCase kAddCases[] = {
    {"1.5 on bars 2 to 4 inside the close", 1.5f, {9, 9, 1, 2, 3, 9}, 2, 4, 1, 5, {U, U, 2.5f, 3.5f, 4.5f, U}, 2, 4},
    {"0 clamps tiny values; 0 + -0 is +0", 0, {9, 1e-40f, -1e-40f, 0.0f, -0.0f}, 1, 4, 1, 4,
     {U, kLower, -kLower, 0.0f, 0.0f}, 1, 4},
    {"-0 keeps a negative zero", -0.0f, {9, -0.0f, 0.0f}, 1, 2, 1, 2, {U, -0.0f, 0.0f}, 1, 2},
    {"sums beyond a float are the limits; a NaN is the upper limit", 3e38f, {9, 3e38f, -3e38f, kNaN}, 1, 3, 1, 3,
     {U, kUpper, 0.0f, kUpper}, 1, 3},
    {"source from bar 0", 1, {1, 2, 3}, 0, 2, 0, 2, {U, U, U}, 0, -1},
    {"source one bar beyond the close", 1, {1, 2, 3, 4}, 1, 3, 1, 2, {U, U, U, U}, 0, -1},
    {"source starting before the close", 1, {1, 2, 3, 4}, 1, 3, 2, 3, {U, U, U, U}, 0, -1},
    {"first after last inside the close", 1, {1, 2, 3, 4}, 3, 2, 1, 3, {U, U, U, U}, 0, -1},
    {"two numbers", 1, {1, 2, 3}, 1, 2, 1, 2, {U, U, U}, 0, -1, StatusFailure, 1, 2},
    {"no data array", 1, {1, 2, 3}, 1, 2, 1, 2, {U, U, U}, 0, -1, StatusFailure, 0, 1},
    {"two data arrays", 1, {1, 2, 3}, 1, 2, 1, 2, {U, U, U}, 0, -1, StatusFailure, 2, 1},
};

TEST_F(ZenobarTest, AddNAddsTheIncrementToEveryValidBar) {
    const CalcFunction addN = calculation("AddN");
    for (const AddCase &c : kAddCases) {
        SCOPED_TRACE(c.what);
        CallRecords call(c.source.size());
        call.setPrice('C', Series({}, c.closeFirst, c.closeLast));
        for (int32 k = 0; k < c.dataCount; ++k) {
            call.addData(Series(c.source, c.first, c.last));
        }
        for (int32 k = 0; k < c.numericCount; ++k) {
            call.addNumber(c.increment);
        }
        call.strings.count = 3;  // kinds AddN does not read are not examined
        call.custom.count = -1;
        const TextField before = errorTextOf(call);
        ASSERT_EQ(call.call(addN), c.status);
        expectOutput(call, c.expected);
        expectRange(call, c.reportedFirst, c.reportedLast);
        if (c.status == StatusFailure) {
            expectPlainMessage(call, before, kWrongCount);
        } else {
            EXPECT_TRUE(call.errorTextUntouched());
        }
        EXPECT_TRUE(call.inputsUnchanged());
    }
}

// The price data of every SumArrays case (bars 0 to 7):
//   open 10+i valid 0..7, high 200+i valid 2..7, low 50+i valid 1..5, close 100+i valid 1..6,
//   volume 1000+i but empty (0..-1), series7 i/2 valid 3..6.
void setSumPrices(CallRecords &call) {
    auto series = [](float base, float step, int32 first, int32 last) {
        std::vector<float> values(8);
        for (int32 i = 0; i < 8; ++i) {
            values[i] = base + step * static_cast<float>(i);
        }
        return Series(values, first, last);
    };
    call.setPrices(series(10, 1, 0, 7), series(200, 1, 2, 7), series(50, 1, 1, 5), series(100, 1, 1, 6),
                   series(1000, 1, 0, -1), series(0, 0.5f, 3, 6));
}

// Text, output entries (U: not written) and reported range. Bars that drop out of the narrowing
// range keep the partial sum they had.
struct SumCase {
    const char *what;
    const char *text;
    std::vector<float> expected;
    int32 reportedFirst, reportedLast;
};

const SumCase kSumCases[] = {
    {"C: the close", "C", {U, 101, 102, 103, 104, 105, 106, U}, 1, 6},
    {"CC: twice the close", "CC", {U, 202, 204, 206, 208, 210, 212, U}, 1, 6},
    {"HL: high plus low on 2..5; bar 6 keeps the high", "HL", {U, 0, 254, 256, 258, 260, 206, U}, 2, 5},
    {"lh: the same on 2..5; bar 1 keeps the low", "lh", {U, 51, 254, 256, 258, 260, 0, U}, 2, 5},
    {"OH", "OH", {U, 11, 214, 216, 218, 220, 222, U}, 2, 6},
    {"o, space, h: the space selects nothing", "o h", {U, 11, 214, 216, 218, 220, 222, U}, 2, 6},
    {"O, dash, H: the dash selects nothing", "O-H", {U, 11, 214, 216, 218, 220, 222, U}, 2, 6},
    {"X: zeros over the close range", "X", {U, 0, 0, 0, 0, 0, 0, U}, 1, 6},
    {"123: zeros over the close range", "123", {U, 0, 0, 0, 0, 0, 0, U}, 1, 6},
    {"bytes above 0x7F are not letters", "\xD3\xCF\xC7", {U, 0, 0, 0, 0, 0, 0, U}, 1, 6},
    {"V with an empty volume: nothing added, range ends at -1", "V", {U, 0, 0, 0, 0, 0, 0, U}, 1, -1},
    {"VC: once the ranges do not overlap nothing more is added", "VC", {U, 0, 0, 0, 0, 0, 0, U}, 1, -1},
    {"I: series7 on its intersection with the close", "I", {U, 0, 0, 1.5f, 2, 2.5f, 3, U}, 3, 6},
    {"Ci", "Ci", {U, 101, 102, 104.5f, 106, 107.5f, 109, U}, 3, 6},
    {"empty text", "", {U, U, U, U, U, U, U, U}, 0, -1},
    {"null text", nullptr, {U, U, U, U, U, U, U, U}, 0, -1},
};

TEST_F(ZenobarTest, SumArraysAddsTheSeriesTheTextNames) {
    const CalcFunction sumArrays = calculation("SumArrays");
    for (const SumCase &c : kSumCases) {
        SCOPED_TRACE(c.what);
        CallRecords call(8);
        setSumPrices(call);
        call.addText(c.text);
        call.data.count = 4;  // kinds SumArrays does not read are not examined
        call.numeric.count = -2;
        ASSERT_EQ(call.call(sumArrays), StatusSuccess);
        expectOutput(call, c.expected);
        expectRange(call, c.reportedFirst, c.reportedLast);
        EXPECT_TRUE(call.errorTextUntouched());
        EXPECT_TRUE(call.inputsUnchanged());
    }
}

TEST_F(ZenobarTest, SumArraysNeedsOneTextAndACloseFromBarOne) {
    const CalcFunction sumArrays = calculation("SumArrays");
    for (int32 count : {0, 2}) {
        CallRecords call(8);
        setSumPrices(call);
        for (int32 k = 0; k < count; ++k) {
            call.addText("C");
        }
        const TextField before = errorTextOf(call);
        EXPECT_EQ(call.call(sumArrays), StatusFailure) << count << " texts";
        expectPlainMessage(call, before, kWrongCount);
        expectRange(call, 0, -1);
        EXPECT_TRUE(call.outputUntouched());
    }
    const std::pair<int32, int32> closeRanges[] = {{0, 6}, {-1, 6}, {1, 0}, {0, -1}};
    for (const auto &[first, last] : closeRanges) {
        CallRecords call(8);
        setSumPrices(call);
        call.setPrice('C', Series(std::vector<float>(8, 1.0f), first, last));
        call.addText("OC");
        EXPECT_EQ(call.call(sumArrays), StatusSuccess);
        expectRange(call, 0, -1);
        EXPECT_TRUE(call.outputUntouched()) << "close " << first << ".." << last;
        EXPECT_TRUE(call.errorTextUntouched());
    }
}

TEST_F(ZenobarTest, SumArraysClampsEachAddition) {
    CallRecords call(3);
    call.setPrice('C', Series({0, 3e38f, -3e38f}, 1, 2));
    call.addText("CC");
    ASSERT_EQ(call.call(calculation("SumArrays")), StatusSuccess);
    expectOutput(call, {U, kUpper, -kUpper});
    expectRange(call, 1, 2);
}

TEST_F(ZenobarTest, RangesBeyondSixteenBitsWork) {
    const int32 last = 40000;
    std::vector<float> values(last + 1, 2.0f);

    CallRecords add(last + 1);
    add.setPrice('C', Series({}, 1, last));
    add.addData(Series(values, 1, last));
    add.addNumber(1.0f);
    ASSERT_EQ(add.call(calculation("AddN")), StatusSuccess);
    expectRange(add, 1, last);
    EXPECT_EQ(add.outputBits(32767), bitsOf(3.0f));
    EXPECT_EQ(add.outputBits(last), bitsOf(3.0f));

    CallRecords sum(last + 1);
    sum.setPrice('C', Series(values, 1, last));
    sum.addText("cC");
    ASSERT_EQ(sum.call(calculation("SumArrays")), StatusSuccess);
    expectRange(sum, 1, last);
    EXPECT_EQ(sum.outputBits(32767), bitsOf(4.0f));
    EXPECT_EQ(sum.outputBits(last), bitsOf(4.0f));
}

}  // namespace
}  // namespace zpk::test
