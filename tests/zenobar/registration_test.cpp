// ZENOBAR's query entry points and load notification, called through the loaded module. Every
// record is pre-filled with a byte pattern and compared byte for byte with what the call may write.
#include "zenobar_fixture.hpp"

#include <limits>

namespace zpk::test {
namespace {

constexpr int32 kMinIndex = std::numeric_limits<int32>::min();
constexpr int32 kMaxIndex = std::numeric_limits<int32>::max();

class ZenobarQueryTest : public ZenobarTest {
protected:
    ZPKInfoFunction info = entryPoint<ZPKInfoFunction>(plugin, "ZPKInfo");
    ZPKNthFunctionFunction nthFunction = entryPoint<ZPKNthFunctionFunction>(plugin, "ZPKNthFunction");
    ZPKNthArgFunction nthArg = entryPoint<ZPKNthArgFunction>(plugin, "ZPKNthArg");
    ZPKNthCustomStringFunction nthCustomString =
        entryPoint<ZPKNthCustomStringFunction>(plugin, "ZPKNthCustomString");
};

// A text written the plain way into a field that held the pattern: characters, one NUL, the rest kept.
template <std::size_t N>
void writePlain(char (&field)[N], const std::string &text) {
    std::memcpy(field, text.c_str(), text.size() + 1);
}

// The Signal descriptions, byte by byte: the registered sign is the single byte 0xAE.
std::string signalDescription(const char *suffix) {
    return std::string("ZENOBAR") + static_cast<char>(0xAE) + "-Signal_" + suffix;
}

struct FunctionCase {
    const char *name;
    std::string description;
    int32 argCount;
};

// The function table of the library, in query order.
const FunctionCase kFunctionTable[] = {
    {"MyMov", "My Moving Average", 3},
    {"AddN", "Add 'n' to Any DataArray", 2},
    {"SumArrays", "Sum Initialed Price Arrays (OHLCVI)", 1},
    {"SignalVolume", signalDescription("Volume"), 0},
    {"SignalRun", signalDescription("Run"), 0},
    {"SignalExt", signalDescription("Ext"), 0},
    {"SignalAst", signalDescription("Ast"), 0},
    {"SignalSpe", signalDescription("Spe"), 0},
    {"SignalPru", signalDescription("Pru"), 0},
    {"SignalTre", signalDescription("Tre"), 0},
    {"SignalVolume2", signalDescription("Volume2"), 0},
    {"SignalRun2", signalDescription("Run2"), 0},
    {"SignalExt2", signalDescription("Ext2"), 0},
    {"SignalAst2", signalDescription("Ast2"), 0},
    {"SignalSpe2", signalDescription("Spe2"), 0},
    {"SignalPru2", signalDescription("Pru2"), 0},
    {"SignalTre2", signalDescription("Tre2"), 0},
    {"SignalExt3", signalDescription("Ext3"), 0},
    {"SignalAst3", signalDescription("Ast3"), 0},
    {"SignalSpe3", signalDescription("Spe3"), 0},
    {"SignalPru3", signalDescription("Pru3"), 0},
    {"SignalTre3", signalDescription("Tre3"), 0},
};

TEST_F(ZenobarQueryTest, InfoAnnouncesTwentyTwoFunctionsWithAPlainNotice) {
    LibraryInfoRec rec;
    fillPattern(rec);
    ASSERT_EQ(info(&rec), StatusSuccess);
    EXPECT_EQ(rec.functionCount, 22);
    EXPECT_EQ(rec.interfaceVersion, 1);

    const void *nul = std::memchr(rec.copyright, '\0', TextFieldSize - 1);
    ASSERT_NE(nul, nullptr) << "the notice has no NUL within 99 characters";
    const std::size_t length = static_cast<const char *>(nul) - rec.copyright;
    EXPECT_GT(length, 0u);
    LibraryInfoRec expected;
    fillPattern(expected);
    writePlain(expected.copyright, std::string(rec.copyright, length));
    expected.functionCount = 22;
    expected.interfaceVersion = 1;
    EXPECT_TRUE(sameBytes(rec, expected)) << "bytes after the notice's NUL were written";
}

TEST_F(ZenobarQueryTest, EveryFunctionRowIsWrittenPlainAndExportedUnderItsName) {
    ASSERT_EQ(std::size(kFunctionTable), 22u);
    for (int32 index = 0; index < 22; ++index) {
        const FunctionCase &row = kFunctionTable[index];
        SCOPED_TRACE(row.name);
        FunctionInfoRec rec, expected;
        fillPattern(rec);
        fillPattern(expected);
        writePlain(expected.name, row.name);
        writePlain(expected.description, row.description);
        expected.argCount = row.argCount;
        ASSERT_EQ(nthFunction(index, &rec), StatusSuccess);
        EXPECT_TRUE(sameBytes(rec, expected)) << rec.name << " / " << rec.description;
        EXPECT_NE(plugin.module().symbol(row.name), nullptr);
    }
}

TEST_F(ZenobarQueryTest, SignalDescriptionsCarryTheSignAsOneByteAndOtherwiseAscii) {
    for (int32 index = 3; index < 22; ++index) {
        FunctionInfoRec rec;
        fillPattern(rec);
        ASSERT_EQ(nthFunction(index, &rec), StatusSuccess);
        const std::string text = rec.description;
        ASSERT_GT(text.size(), 8u);
        EXPECT_EQ(static_cast<unsigned char>(text[7]), 0xAE) << text;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i != 7) {
                EXPECT_LT(static_cast<unsigned char>(text[i]), 0x80) << text << " byte " << i;
            }
        }
    }
}

TEST_F(ZenobarQueryTest, FunctionIndexesOutsideTheTableWriteNothing) {
    for (int32 index : {22, 23, -1, kMaxIndex, kMinIndex}) {
        FunctionInfoRec rec, before;
        fillPattern(rec);
        before = rec;
        EXPECT_EQ(nthFunction(index, &rec), StatusFailure) << index;
        EXPECT_TRUE(sameBytes(rec, before)) << index;
    }
}

struct ArgCase {
    int32 function, arg;
    int32 type;
    const char *name;
    int32 customStringCount;
};

const ArgCase kArgTable[] = {
    {0, 0, DataArrayArg, "DataArray", 0}, {0, 1, NumericArg, "Period", 0},
    {0, 2, CustomArg, "Method", 8},       {1, 0, DataArrayArg, "DataArray", 0},
    {1, 1, NumericArg, "Increment", 0},   {2, 0, StringArg, "DA Initials", 0},
};

TEST_F(ZenobarQueryTest, EveryArgumentRowIsWrittenPlain) {
    for (const ArgCase &row : kArgTable) {
        SCOPED_TRACE(std::to_string(row.function) + "/" + std::to_string(row.arg));
        ArgInfoRec rec, expected;
        fillPattern(rec);
        fillPattern(expected);
        expected.argType = row.type;
        writePlain(expected.name, row.name);
        expected.customStringCount = row.customStringCount;
        ASSERT_EQ(nthArg(row.function, row.arg, &rec), StatusSuccess);
        EXPECT_TRUE(sameBytes(rec, expected)) << rec.name;
    }
}

TEST_F(ZenobarQueryTest, PairsOutsideTheArgumentTableWriteOnlyAZeroCount) {
    const std::pair<int32, int32> failing[] = {
        {0, 3},  {0, -1}, {1, 2},  {1, -1}, {2, 1}, {2, -1},         {3, 0},
        {10, 0}, {21, 0}, {22, 0}, {-1, 0}, {kMinIndex, 2}, {kMaxIndex, 0}, {0, kMaxIndex},
    };
    for (const auto &[function, arg] : failing) {
        ArgInfoRec rec, expected;
        fillPattern(rec);
        fillPattern(expected);
        expected.customStringCount = 0;
        EXPECT_EQ(nthArg(function, arg, &rec), StatusFailure) << function << "/" << arg;
        EXPECT_TRUE(sameBytes(rec, expected)) << function << "/" << arg;
    }
}

struct CustomStringCase {
    const char *text;
    int32 id;
};

const CustomStringCase kMethodStrings[] = {
    {"Simple", 0}, {"S", 0}, {"Triangular", 1}, {"T", 1},
    {"Weighted", 2}, {"W", 2}, {"Exponential", 3}, {"E", 3},
};

TEST_F(ZenobarQueryTest, EveryMethodStringIsWrittenPlainWithItsId) {
    for (int32 index = 0; index < 8; ++index) {
        SCOPED_TRACE(kMethodStrings[index].text);
        CustomStringRec rec, expected;
        fillPattern(rec);
        fillPattern(expected);
        writePlain(expected.text, kMethodStrings[index].text);
        expected.id = kMethodStrings[index].id;
        ASSERT_EQ(nthCustomString(0, 2, index, &rec), StatusSuccess);
        EXPECT_TRUE(sameBytes(rec, expected)) << rec.text;
    }
}

TEST_F(ZenobarQueryTest, TriplesThatNameNoMethodStringLeaveAnEmptyTextAndIdMinusOne) {
    const std::array<int32, 3> failing[] = {
        {0, 2, 8}, {0, 2, -1}, {0, 2, kMaxIndex}, {0, 1, 0}, {0, 0, 0}, {0, 3, 0},
        {1, 2, 0}, {1, 1, 0},  {2, 0, 0},         {3, 2, 0}, {-1, 2, 0}, {kMinIndex, 2, 0},
    };
    for (const auto &[function, arg, string] : failing) {
        CustomStringRec rec, expected;
        fillPattern(rec);
        fillPattern(expected);
        expected.text[0] = '\0';
        expected.id = -1;
        EXPECT_EQ(nthCustomString(function, arg, string, &rec), StatusFailure)
            << function << "/" << arg << "/" << string;
        EXPECT_TRUE(sameBytes(rec, expected)) << function << "/" << arg << "/" << string;
    }
}

TEST_F(ZenobarQueryTest, AShortTextOverALongerOneKeepsTheOldTail) {
    CustomStringRec rec;
    fillPattern(rec);
    writePlain(rec.text, "Exponential");
    ASSERT_EQ(nthCustomString(0, 2, 1, &rec), StatusSuccess);
    EXPECT_STREQ(rec.text, "S");
    EXPECT_EQ(0, std::memcmp(rec.text, "S\0ponential\0", 12));
    EXPECT_EQ(rec.id, 0);
}

TEST_F(ZenobarQueryTest, TheHostProtocolDescribesTheWholeLibrary) {
    std::string error;
    const auto library = plugin.describe(error);
    ASSERT_TRUE(library.has_value()) << error;
    ASSERT_EQ(library->functions.size(), 22u);
    const auto &method = library->functions[0].args.at(2);
    ASSERT_EQ(method.choices.size(), 8u);
    EXPECT_EQ(method.choices[6].text, "Exponential");
    EXPECT_EQ(method.choices[6].id, 3);
    for (const auto &function : library->functions) {
        EXPECT_NE(function.calculate, nullptr) << function.name;
    }
}

using DllMainFunction = int32(ZPK_CALL *)(void *module, int32 reason, void *reserved);

TEST_F(ZenobarTest, DllMainAcceptsLoadAndUnloadOnly) {
    auto dllMain = entryPoint<DllMainFunction>(plugin, "DLLMAIN");
    ASSERT_NE(dllMain, nullptr);
    // Reasons: 0 unload, 1 load, 2 and 3 a thread starting or ending.
    const std::pair<int32, int32> cases[] = {{0, 1}, {1, 1}, {2, 0}, {3, 0}, {4, 0}, {-1, 0}};
    for (const auto &[reason, answer] : cases) {
        EXPECT_EQ(dllMain(nullptr, reason, nullptr), answer) << "reason " << reason;
    }
}

}  // namespace
}  // namespace zpk::test
