// What the ZENOBAR tests share: the loaded module and bit-exact comparison of output series.
#ifndef ZPK_TESTS_ZENOBAR_FIXTURE_HPP
#define ZPK_TESTS_ZENOBAR_FIXTURE_HPP

#include "plugin_fixture.hpp"

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace zpk::test {

// An output entry the call must leave as the host passed it.
inline const float U = floatFromBits(kUntouchedBits);

class ZenobarTest : public ::testing::Test {
protected:
    host::Plugin plugin = loadPlugin("ZENOBAR");
    CalcFunction calculation(const char *name) const { return entryPoint<CalcFunction>(plugin, name); }
};

// Every output entry bit for bit as `expected` (U: not written); entries beyond it not written.
inline void expectOutput(const CallRecords &call, const std::vector<float> &expected) {
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(call.outputBits(i), bitsOf(expected[i]))
            << "bar " << i << ": " << call.output()[i] << " instead of " << expected[i];
    }
    EXPECT_TRUE(call.outputUntouchedFrom(expected.size())) << "an entry after bar " << expected.size() - 1
                                                           << " was written";
}

inline void expectRange(const CallRecords &call, int32 first, int32 last) {
    EXPECT_EQ(call.firstValid(), first);
    EXPECT_EQ(call.lastValid(), last);
}

// The error text as the host left it before the call, to compare with what the call left there.
using TextField = std::array<char, TextFieldSize>;
inline TextField errorTextOf(const CallRecords &call) {
    TextField field;
    std::memcpy(field.data(), call.result.errorText, TextFieldSize);
    return field;
}

// ZENOBAR's form of the text copy: the message and one NUL over the host's bytes, which stay.
inline void expectPlainMessage(const CallRecords &call, const TextField &before, const std::string &message) {
    TextField expected = before;
    std::memcpy(expected.data(), message.c_str(), message.size() + 1);
    EXPECT_EQ(0, std::memcmp(expected.data(), call.result.errorText, TextFieldSize))
        << "error text: " << call.errorText();
}

}  // namespace zpk::test

#endif
