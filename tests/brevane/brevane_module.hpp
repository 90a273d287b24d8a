// What the tests of the Brevane module share: the loaded module with its entry points, and the
// checks every rejected or successful call must pass.
#ifndef BREVANE_TESTS_BREVANE_MODULE_HPP
#define BREVANE_TESTS_BREVANE_MODULE_HPP

#include "plugin_fixture.hpp"

#include <limits>
#include <vector>

namespace zpk::test {

class BrevaneTest : public ::testing::Test {
protected:
    host::Plugin plugin = loadPlugin("Brevane");
    ZPKInfoFunction info = entryPoint<ZPKInfoFunction>(plugin, "ZPKInfo");
    ZPKNthFunctionFunction nthFunction = entryPoint<ZPKNthFunctionFunction>(plugin, "ZPKNthFunction");
    ZPKNthArgFunction nthArg = entryPoint<ZPKNthArgFunction>(plugin, "ZPKNthArg");
    CalcFunction brevanePeriod = entryPoint<CalcFunction>(plugin, "BrevanePeriod");
    CalcFunction channelHigh = entryPoint<CalcFunction>(plugin, "ChannelHigh");
    CalcFunction channelLow = entryPoint<CalcFunction>(plugin, "ChannelLow");
};

constexpr int32 kInt32Max = std::numeric_limits<int32>::max();

// The twelve values of the channel figures, at bars 0 to 11.
inline const std::vector<float> kTwelve = {10, 12, 11, 15, 14, 13, 9, 8, 16, 7, 6, 5};

// A failed call: the message in the padded text copy (the 100th byte still the host's), the empty
// range, and not one output entry written.
inline void expectFailed(const CallRecords &call, int32 status, const std::string &message,
                         bool outputUntouched = true) {
    EXPECT_EQ(status, StatusFailure);
    EXPECT_TRUE(call.errorTextPadded(message)) << "errorText: " << call.errorText();
    EXPECT_EQ(static_cast<unsigned char>(call.result.errorText[TextFieldSize - 1]), 0x5F);
    EXPECT_EQ(call.firstValid(), 0);
    EXPECT_EQ(call.lastValid(), -1);
    if (outputUntouched) {
        EXPECT_TRUE(call.outputUntouched());
    }
    EXPECT_TRUE(call.inputsUnchanged());
}

inline void expectRejected(const CallRecords &call, int32 status) {
    expectFailed(call, status, "Invalid Argument(s)");
}

inline void expectSucceeded(const CallRecords &call, int32 status, int32 first, int32 last) {
    EXPECT_EQ(status, StatusSuccess);
    EXPECT_EQ(call.firstValid(), first);
    EXPECT_EQ(call.lastValid(), last);
    EXPECT_TRUE(call.errorTextUntouched());
    EXPECT_TRUE(call.inputsUnchanged());
}

// Fills every byte a function must not depend on with other patterns: hostData, series6, argument
// entries beyond their count, the output range.
inline void scrambleIgnoredBytes(CallRecords &call) {
    std::memset(call.prices.hostData, 0xC3, sizeof call.prices.hostData);
    call.prices.series6 = DataArrayRec{reinterpret_cast<float *>(0x10), kInt32Max, -kInt32Max};
    for (int32 k = call.data.count; k < MaxArgs; ++k) call.data.args[k] = nullptr;
    for (int32 k = call.numeric.count; k < MaxArgs; ++k)
        call.numeric.args[k] = std::numeric_limits<float>::quiet_NaN();
    for (int32 k = call.strings.count; k < MaxArgs; ++k) call.strings.args[k] = nullptr;
    for (int32 k = call.custom.count; k < MaxArgs; ++k) call.custom.args[k] = -7;
    call.result.data->firstValid = -123;
    call.result.data->lastValid = kInt32Max;
}

}  // namespace zpk::test

#endif
