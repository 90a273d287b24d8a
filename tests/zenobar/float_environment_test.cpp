// Every entry point works with exceptions masked and hands the caller's floating-point environment
// back: a host that unmasks exceptions or rounds upward sees no trap and unchanged results.
#include "zenobar_fixture.hpp"

#include <cfenv>
#include <limits>

namespace zpk::test {
namespace {

// A call whose computation overflows, divides by zero or compares NaNs.
struct TrapCase {
    const char *function;
    std::vector<float> values;
    float number;
    int32 custom;
    const char *text;
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// Infinities of opposite signs add up to a NaN, NaNs are compared, closes of 0 are divided by.
const TrapCase kTrapCases[] = {
    {"MyMov", {0, 3e38f, kInf, -kInf, 1e-40f, 7}, 2, 0, nullptr},
    {"MyMov", {0, 3e38f, kInf, -kInf, 1e-40f, 7}, 2, 1, nullptr},
    {"MyMov", {0, 3e38f, kInf, -kInf, 1e-40f, 7}, 3, 2, nullptr},
    {"MyMov", {0, 3e38f, kInf, -kInf, 1e-40f, 7}, 2, 3, nullptr},
    {"AddN", {0, 3e38f, kNaN, 1e-40f, -kInf, 7}, kInf, 0, nullptr},
    {"SumArrays", {0, 3e38f, kNaN, 1e-40f, kInf, -kInf}, 0, 0, "CCV"},
    {"SignalVolume", {0, kNaN, 3, 0, 7, kInf}, 0, 0, nullptr},
    {"SignalExt", {0, 0, 3, kNaN, 0, 5}, 0, 0, nullptr},
};

// Runs the case and returns its output bits.
std::vector<std::uint32_t> run(const host::Plugin &plugin, const TrapCase &c) {
    CallRecords call(c.values.size());
    const Series series(c.values, 1, static_cast<int32>(c.values.size()) - 1);
    call.setPrices(series, series, series, series, series, series);
    const std::string name = c.function;
    if (name == "MyMov" || name == "AddN") {
        call.addData(series);
        call.addNumber(c.number);
    }
    if (name == "MyMov") {
        call.addCustom(c.custom);
    }
    if (name == "SumArrays") {
        call.addText(c.text);
    }
    call.call(entryPoint<CalcFunction>(plugin, c.function));
    std::vector<std::uint32_t> bits;
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        bits.push_back(call.outputBits(i));
    }
    return bits;
}

TEST(ZenobarFloatEnvironment, CallsNeitherTrapNorChangeTheCallersEnvironment) {
#if defined(__GLIBC__) && (defined(__x86_64__) || defined(__i386__))
    const host::Plugin plugin = loadPlugin("ZENOBAR");
    for (const TrapCase &c : kTrapCases) {
        SCOPED_TRACE(c.function);
        const std::vector<std::uint32_t> expected = run(plugin, c);

        std::fenv_t saved;
        std::fegetenv(&saved);
        std::feclearexcept(FE_ALL_EXCEPT);
        feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
        std::fesetround(FE_UPWARD);
        const std::vector<std::uint32_t> got = run(plugin, c);
        const int enabled = fegetexcept();
        const int rounding = std::fegetround();
        const int raised = std::fetestexcept(FE_ALL_EXCEPT);
        std::fesetenv(&saved);

        EXPECT_EQ(got, expected) << "the host's rounding mode changed a result";
        EXPECT_EQ(enabled, FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
        EXPECT_EQ(rounding, FE_UPWARD);
        EXPECT_EQ(raised, 0) << "status flags of the call leaked to the caller";
    }
#else
    GTEST_SKIP() << "needs glibc's exception unmasking";
#endif
}

}  // namespace
}  // namespace zpk::test
