// Ambrel through its built module, called by name as the host calls it.
#include "plugin_fixture.hpp"

#include <cmath>
#include <limits>

namespace zpk::test {
namespace {

class AmbrelTest : public ::testing::Test {
protected:
    host::Plugin plugin = loadPlugin("Ambrel");
    ZPKInfoFunction info = entryPoint<ZPKInfoFunction>(plugin, "ZPKInfo");
    ZPKNthFunctionFunction nthFunction = entryPoint<ZPKNthFunctionFunction>(plugin, "ZPKNthFunction");
    CalcFunction ambrelFunc = entryPoint<CalcFunction>(plugin, "AmbrelFunc");
};

TEST_F(AmbrelTest, InfoNamesOneFunctionAndPadsTheNotice) {
    LibraryInfoRec rec;
    fillPattern(rec);
    ASSERT_EQ(info(&rec), StatusSuccess);
    EXPECT_EQ(rec.functionCount, 1);
    EXPECT_EQ(rec.interfaceVersion, 1);
    std::size_t length = std::strlen(rec.copyright);
    EXPECT_GT(length, 0u);
    EXPECT_LT(length, 99u);
    for (std::size_t i = length; i < TextFieldSize - 1; ++i) {
        EXPECT_EQ(rec.copyright[i], '\0') << "byte " << i;
    }
    EXPECT_EQ(static_cast<unsigned char>(rec.copyright[99]), 0xA5) << "the 100th byte is not the notice's";
}

TEST_F(AmbrelTest, FunctionZeroIsAmbrelFuncWithoutArguments) {
    FunctionInfoRec rec;
    fillPattern(rec);
    ASSERT_EQ(nthFunction(0, &rec), StatusSuccess);
    EXPECT_STREQ(rec.name, "AmbrelFunc");
    EXPECT_STREQ(rec.description, "Ambrel Function");
    EXPECT_EQ(rec.argCount, 0);
}

TEST_F(AmbrelTest, IndexesOutsideTheTableLeaveTheRecordAsItWas) {
    for (int32 index : {1, -1, 2, std::numeric_limits<int32>::max(), std::numeric_limits<int32>::min()}) {
        FunctionInfoRec rec, before;
        fillPattern(rec);
        before = rec;
        EXPECT_EQ(nthFunction(index, &rec), StatusFailure) << index;
        EXPECT_TRUE(sameBytes(rec, before)) << index;
    }
}

TEST_F(AmbrelTest, RepeatedAndReorderedQueriesGiveIdenticalRecords) {
    FunctionInfoRec first, again;
    fillPattern(first, 0x11);
    fillPattern(again, 0x11);
    LibraryInfoRec lib1, lib2;
    fillPattern(lib1, 0x22);
    fillPattern(lib2, 0x22);
    ASSERT_EQ(nthFunction(0, &first), StatusSuccess);  // before ZPKInfo: no order is needed
    ASSERT_EQ(info(&lib1), StatusSuccess);
    ASSERT_EQ(nthFunction(5, &again), StatusFailure);
    ASSERT_EQ(nthFunction(0, &again), StatusSuccess);
    ASSERT_EQ(info(&lib2), StatusSuccess);
    EXPECT_TRUE(sameBytes(first, again));
    EXPECT_TRUE(sameBytes(lib1, lib2));
}

TEST_F(AmbrelTest, TheOptionalQueryEntryPointsAreNotExported) {
    EXPECT_EQ(plugin.module().symbol("ZPKNthArg"), nullptr);
    EXPECT_EQ(plugin.module().symbol("ZPKNthCustomString"), nullptr);
}

// One row per case: closes at bars 0.., the close range, and what each output entry must hold
// (U: not written). Expected values are the look-ahead marks worked out by hand.
constexpr float U = std::numeric_limits<float>::infinity();  // stands for "untouched"
struct SignalCase {
    const char *what;
    std::vector<float> closes;
    int32 firstValid, lastValid;
    std::vector<float> expected;
    int32 reportedFirst, reportedLast;
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();

const SignalCase kSignalCases[] = {
    {"equal, falling, rising", {10, 11, 11, 9, 12}, 0, 4, {U, 0, -1, 1, 0}, 1, 4},
    {"three closes", {5, 6, 7}, 0, 2, {U, 1, 0}, 1, 2},
    {"N = 1: only the defined value at bar N", {5, 6}, 0, 1, {U, 0}, 1, 1},
    {"N = 0: nothing written", {5}, 0, 0, {U}, 1, 0},
    {"empty close series", {5, 6, 7}, 0, -1, {U, U, U}, 1, -1},
    {"bars before the first valid close are compared", {1, 2, 1, 3, 4, 4, 2}, 3, 6, {U, -1, 1, 1, 0, -1, 0}, 1, 6},
    {"NaN on either side keeps 0", {1, kNaN, 3, 2, kNaN, 5}, 0, 5, {U, 0, -1, 0, 0, 0}, 1, 5},
    {"signed zeros and infinities", {0, -0.0f, 0, -U, U, U}, 0, 5, {U, 0, -1, 1, 0, 0}, 1, 5},
};

TEST_F(AmbrelTest, LooksExactlyOneBarAhead) {
    for (const SignalCase &c : kSignalCases) {
        SCOPED_TRACE(c.what);
        CallRecords call(c.closes.size() + 2);
        call.setPrice('C', Series(c.closes, c.firstValid, c.lastValid));
        ASSERT_EQ(call.call(ambrelFunc), StatusSuccess);
        EXPECT_EQ(call.firstValid(), c.reportedFirst);
        EXPECT_EQ(call.lastValid(), c.reportedLast);
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            if (c.expected[i] == U) {
                EXPECT_EQ(call.outputBits(i), kUntouchedBits) << "bar " << i << " was written";
            } else {
                EXPECT_EQ(call.outputBits(i), bitsOf(c.expected[i])) << "bar " << i;
            }
        }
        EXPECT_TRUE(call.outputUntouchedFrom(c.closes.size()));
        EXPECT_TRUE(call.errorTextUntouched());
        EXPECT_TRUE(call.inputsUnchanged());
    }
}

TEST_F(AmbrelTest, ArgumentRecordsAndOtherSeriesAreIgnored) {
    const std::vector<float> closes = {3, 1, 4, 1, 5, 9, 2, 6};
    CallRecords plain(closes.size());
    plain.setPrice('C', Series(closes));
    ASSERT_EQ(plain.call(ambrelFunc), StatusSuccess);

    CallRecords noisy(closes.size());
    noisy.setPrices(Series({9, 9, 9}), Series({1}), Series(), Series(closes), Series({7, 7}));
    noisy.addData(Series({1, 2, 3}));
    noisy.addNumber(2.5f);
    noisy.addText("text");
    noisy.addCustom(3);
    noisy.data.count = -1;  // counts are not even read
    noisy.numeric.count = 10;
    ASSERT_EQ(noisy.call(ambrelFunc), StatusSuccess);

    EXPECT_EQ(plain.firstValid(), noisy.firstValid());
    EXPECT_EQ(plain.lastValid(), noisy.lastValid());
    EXPECT_EQ(0, std::memcmp(plain.output().data(), noisy.output().data(), closes.size() * sizeof(float)));
}

}  // namespace
}  // namespace zpk::test
