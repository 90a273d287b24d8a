// Brevane's answers to the host's queries, through the loaded module.
#include "brevane_module.hpp"

namespace zpk::test {
namespace {

using BrevaneQueries = BrevaneTest;

TEST_F(BrevaneQueries, InfoNamesThreeFunctionsAndPadsTheNotice) {
    LibraryInfoRec rec;
    fillPattern(rec);
    ASSERT_EQ(info(&rec), StatusSuccess);
    EXPECT_EQ(rec.functionCount, 3);
    EXPECT_EQ(rec.interfaceVersion, 1);
    const std::size_t length = std::strlen(rec.copyright);
    EXPECT_GT(length, 0u);
    EXPECT_LT(length, 99u);
    for (std::size_t i = length; i < TextFieldSize - 1; ++i) {
        EXPECT_EQ(rec.copyright[i], '\0') << "byte " << i;
    }
    EXPECT_EQ(static_cast<unsigned char>(rec.copyright[99]), 0xA5) << "the 100th byte is not the notice's";
}

TEST_F(BrevaneQueries, FunctionTable) {
    struct Row {
        const char *name, *description;
        int32 argCount;
    };
    const Row rows[] = {
        {"BrevanePeriod", "Brevane Cycle Period Function", 1},
        {"ChannelHigh", "Brevane Channel Breakout High Function", 3},
        {"ChannelLow", "Brevane Channel Breakout Low Function", 3},
    };
    for (int32 index = 0; index < 3; ++index) {
        FunctionInfoRec rec;
        fillPattern(rec);
        ASSERT_EQ(nthFunction(index, &rec), StatusSuccess) << index;
        EXPECT_STREQ(rec.name, rows[index].name);
        EXPECT_STREQ(rec.description, rows[index].description);
        EXPECT_EQ(rec.argCount, rows[index].argCount);
        // The name is the export the host calls.
        EXPECT_NE(plugin.module().symbol(rec.name), nullptr) << rec.name;
    }
}

TEST_F(BrevaneQueries, FunctionIndexesOutsideTheTableLeaveTheRecordAsItWas) {
    for (int32 index : {3, -1, 4, kInt32Max, std::numeric_limits<int32>::min()}) {
        FunctionInfoRec rec, before;
        fillPattern(rec);
        before = rec;
        EXPECT_EQ(nthFunction(index, &rec), StatusFailure) << index;
        EXPECT_TRUE(sameBytes(rec, before)) << index;
    }
}

TEST_F(BrevaneQueries, ArgumentTable) {
    struct Row {
        int32 function, arg, type;
        const char *name;
    };
    const Row rows[] = {
        {0, 0, DataArrayArg, "PriceDataArray"},
        {1, 0, DataArrayArg, "UserPriceArray"},
        {1, 1, NumericArg, "PeriodMultiplier"},
        {1, 2, NumericArg, "AlternatePeriod"},
        {2, 0, DataArrayArg, "UserPriceArray"},
        {2, 1, NumericArg, "PeriodMultiplier"},
        {2, 2, NumericArg, "AlternatePeriod"},
    };
    for (const Row &row : rows) {
        ArgInfoRec rec;
        fillPattern(rec);
        ASSERT_EQ(nthArg(row.function, row.arg, &rec), StatusSuccess) << row.function << "/" << row.arg;
        EXPECT_EQ(rec.argType, row.type);
        EXPECT_STREQ(rec.name, row.name);
        EXPECT_EQ(rec.customStringCount, 0);
    }
}

TEST_F(BrevaneQueries, ArgumentPairsOutsideTheTableWriteOnlyTheCustomStringCount) {
    const std::pair<int32, int32> pairs[] = {
        {0, 1}, {0, -1}, {1, 3}, {2, -1}, {2, 3}, {3, 0}, {-1, 0},
        {kInt32Max, 0}, {0, kInt32Max}, {std::numeric_limits<int32>::min(), 0},
    };
    for (const auto &[function, arg] : pairs) {
        ArgInfoRec rec, expected;
        fillPattern(rec);
        expected = rec;
        expected.customStringCount = 0;
        EXPECT_EQ(nthArg(function, arg, &rec), StatusFailure) << function << "/" << arg;
        EXPECT_TRUE(sameBytes(rec, expected)) << function << "/" << arg;
    }
}

TEST_F(BrevaneQueries, AnswersDependOnNothingAskedBefore) {
    ArgInfoRec argFirst, argAgain;
    FunctionInfoRec fnFirst, fnAgain;
    LibraryInfoRec libFirst, libAgain;
    for (auto *rec : {&argFirst, &argAgain}) fillPattern(*rec, 0x11);
    for (auto *rec : {&fnFirst, &fnAgain}) fillPattern(*rec, 0x22);
    for (auto *rec : {&libFirst, &libAgain}) fillPattern(*rec, 0x33);

    ASSERT_EQ(nthArg(2, 2, &argFirst), StatusSuccess);  // before any other query
    ASSERT_EQ(nthFunction(1, &fnFirst), StatusSuccess);
    ASSERT_EQ(info(&libFirst), StatusSuccess);
    ASSERT_EQ(nthArg(9, 9, &argAgain), StatusFailure);
    ASSERT_EQ(nthFunction(7, &fnAgain), StatusFailure);
    ASSERT_EQ(info(&libAgain), StatusSuccess);
    ASSERT_EQ(nthFunction(1, &fnAgain), StatusSuccess);
    ASSERT_EQ(nthArg(2, 2, &argAgain), StatusSuccess);
    EXPECT_TRUE(sameBytes(argFirst, argAgain));
    EXPECT_TRUE(sameBytes(fnFirst, fnAgain));
    EXPECT_TRUE(sameBytes(libFirst, libAgain));
}

TEST_F(BrevaneQueries, NoArgumentIsCustomSoThereIsNoCustomStringQuery) {
    EXPECT_EQ(plugin.module().symbol("ZPKNthCustomString"), nullptr);
}

TEST_F(BrevaneQueries, TheHostSideOfTheProtocolSeesAllThreeFunctions) {
    std::string error;
    const auto library = plugin.describe(error);
    ASSERT_TRUE(library) << error;
    ASSERT_EQ(library->functions.size(), 3u);
    for (const auto &function : library->functions) {
        EXPECT_NE(function.calculate, nullptr) << function.name;
    }
    EXPECT_EQ(library->functions[1].args.size(), 3u);
}

}  // namespace
}  // namespace zpk::test
