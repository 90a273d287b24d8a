// MyMov through the loaded module: the four methods, the triangular length, the checks and their
// order, the clamp, long periods, and the scratch series that cannot be obtained.
#include "zenobar_fixture.hpp"

#include "numeric.hpp"

#include <cmath>
#include <limits>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/resource.h>
#include <fstream>
#include <unistd.h>
#endif

namespace zpk::test {
namespace {

constexpr int32 kSimple = 0, kTriangular = 1, kWeighted = 2, kExponential = 3;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const float kUpper = zenobar::kClampUpper;
const float kLower = zenobar::kClampLower;

// The values first..last of a straight line: bar i holds i.
std::vector<float> line(std::size_t bars) {
    std::vector<float> values(bars);
    for (std::size_t i = 0; i < bars; ++i) {
        values[i] = static_cast<float>(i);
    }
    return values;
}

class MyMovTest : public ZenobarTest {
protected:
    CalcFunction myMov = calculation("MyMov");

    // A call on `source` with the close valid closeFirst..closeLast. (The records point into
    // themselves, so they are prepared in place, never copied.)
    static void prepare(CallRecords &call, Series source, int32 closeFirst, int32 closeLast, float period,
                        int32 method) {
        call.setPrice('C', Series({}, closeFirst, closeLast));
        call.addData(std::move(source));
        call.addNumber(period);
        call.addCustom(method);
    }
};

// Source at bars 0.. (bar 0 outside the range in every row), close range, expected entries
// (U: not written) and reported range. Expected values are worked by hand from the averaging rules.
struct AverageCase {
    const char *what;
    int32 method;
    float period;
    std::vector<float> source;
    int32 first, last;
    std::vector<float> expected;
    int32 reportedFirst, reportedLast;
};

const float kBig = 0x1p60f;  // adding 1 to it is lost even in double precision

const AverageCase kAverageCases[] = {
    {"simple, n 3", kSimple, 3, {99, 1, 2, 3, 4, 5}, 1, 5, {U, U, U, 2, 3, 4}, 3, 5},
    {"simple, n 1 copies through the clamp", kSimple, 1, {99, 5, 1e-40f, -7, -1e-40f}, 1, 4,
     {U, 5, kLower, -7, -kLower}, 1, 4},
    {"simple, each window summed afresh in bar order: (2^60 + 1) - 2^60 is 0, (-2^60 + 2^60) + 1 is 1",
     kSimple, 3, {99, kBig, 1, -kBig, kBig, 1}, 1, 5, {U, U, U, 0, 0, 1.0f / 3.0f}, 3, 5},
    {"simple, a period of 2.9 acts as 2", kSimple, 2.9f, {99, 1, 2, 4}, 1, 3, {U, U, 1.5f, 3}, 2, 3},
    {"simple, n 2 on 3e38 twice: the sum is the upper limit, halved", kSimple, 2, {99, 3e38f, 3e38f}, 1, 2,
     {U, U, kUpper / 2}, 2, 2},
    {"simple, a NaN sum becomes the upper limit", kSimple, 2, {99, kInf, -kInf}, 1, 2,
     {U, U, kUpper / 2}, 2, 2},
    {"weighted, n 3: (1 + 4 + 9) / 6", kWeighted, 3, {99, 1, 2, 3}, 1, 3, {U, U, U, 2.3333332538604736f}, 3, 3},
    {"weighted, the newest bar weighs most", kWeighted, 2, {99, 3, 0, 3}, 1, 3, {U, U, 1, 2}, 2, 3},
    {"exponential, n 4: seed 2.5, factor 1/2", kExponential, 4, {99, 1, 2, 3, 4, 5, 6}, 1, 6,
     {U, U, U, U, 2.5f, 3.75f, 4.875f}, 4, 6},
    {"exponential, n 2: factor 1 follows the source after the seed", kExponential, 2, {99, 2, 4, 7, 1}, 1, 4,
     {U, U, 3, 7, 1}, 2, 4},
    {"exponential, n 1: factor 2", kExponential, 1, {99, 1, 2, 4}, 1, 3, {U, 1, 3, 5}, 1, 3},
    {"exponential, an overflowing seed is clamped before it is divided", kExponential, 2,
     {99, 3e38f, 3e38f, 3e38f}, 1, 3, {U, U, kUpper / 2, 3e38f}, 2, 3},
    {"triangular, n 5: m 4, output from F + 6 lags the line by 3", kTriangular, 5, line(11), 1, 10,
     {U, U, U, U, U, U, U, 4, 5, 6, 7}, 7, 10},
    {"triangular, n 4 on four bars: the second pass stores nothing", kTriangular, 4, {99, 1, 2, 3, 4}, 1, 4,
     {U, U, U, U, U}, 5, 4},
    {"triangular, n 1 on one bar: nothing stored", kTriangular, 1, {99, 8}, 1, 1, {U, U}, 3, 1},
};

TEST_F(MyMovTest, EachMethodAveragesAsDefined) {
    for (const AverageCase &c : kAverageCases) {
        SCOPED_TRACE(c.what);
        CallRecords call(c.source.size());
        prepare(call, Series(c.source, c.first, c.last), c.first, c.last, c.period, c.method);
        ASSERT_EQ(call.call(myMov), StatusSuccess);
        expectOutput(call, c.expected);
        expectRange(call, c.reportedFirst, c.reportedLast);
        EXPECT_TRUE(call.errorTextUntouched());
        EXPECT_TRUE(call.inputsUnchanged());
    }
}

TEST_F(MyMovTest, TriangularLengthSetsWhereTheOutputStarts) {
    // m for periods 1..13; both passes lag a straight line by (m - 1) / 2.
    const int32 lengths[] = {2, 2, 2, 3, 4, 4, 4, 5, 6, 6, 6, 7, 8};
    const int32 first = 1, last = 40;
    for (int32 n = 1; n <= 13; ++n) {
        SCOPED_TRACE("period " + std::to_string(n));
        const int32 m = lengths[n - 1];
        CallRecords call(last + 1);
        prepare(call, Series(line(last + 1), first, last), first, last, static_cast<float>(n), kTriangular);
        ASSERT_EQ(call.call(myMov), StatusSuccess);
        std::vector<float> expected(last + 1, U);
        for (int32 t = first + 2 * m - 2; t <= last; ++t) {
            expected[t] = static_cast<float>(t - (m - 1));
        }
        expectOutput(call, expected);
        expectRange(call, first + 2 * m - 2, last);
    }
}

// The checks in their order: counts, then period and range, then the method. Counts of kinds
// MyMov does not read (texts) are not examined.
struct CheckCase {
    const char *what;
    int32 dataCount, numericCount, customCount, stringCount;
    float period;
    int32 method;
    int32 sourceFirst, sourceLast, closeFirst, closeLast;
    int32 status;
    const char *message;  // null: errorText untouched
    bool computes = false;  // a usable call: the average of bars 1..9, reported 3..9
};

const char *const kWrongCount = "Wrong number of arguments";
const char *const kUndefined = "Undefined method argument";

const CheckCase kCheckCases[] = {
    {"two data arrays", 2, 1, 1, 0, 3, kSimple, 1, 9, 1, 9, StatusFailure, kWrongCount},
    {"no period", 1, 0, 1, 0, 3, kSimple, 1, 9, 1, 9, StatusFailure, kWrongCount},
    {"two methods", 1, 1, 2, 0, 3, kSimple, 1, 9, 1, 9, StatusFailure, kWrongCount},
    {"no method", 1, 1, 0, 0, 3, kSimple, 1, 9, 1, 9, StatusFailure, kWrongCount},
    {"counts before an unusable range and method", 2, 1, 1, 0, 0, 7, 0, 9, 1, 9, StatusFailure, kWrongCount},
    {"unread text count is not examined", 1, 1, 1, 5, 3, kSimple, 1, 9, 1, 9, StatusSuccess, nullptr, true},
    {"method 7 on a usable call", 1, 1, 1, 0, 3, 7, 1, 9, 1, 9, StatusFailure, kUndefined},
    {"method -1 on a usable call", 1, 1, 1, 0, 3, -1, 1, 9, 1, 9, StatusFailure, kUndefined},
    {"method 7 with period 0: the range test comes first", 1, 1, 1, 0, 0, 7, 1, 9, 1, 9, StatusSuccess, nullptr},
    {"period 0.9 truncates to 0", 1, 1, 1, 0, 0.9f, kSimple, 1, 9, 1, 9, StatusSuccess, nullptr},
    {"period -3", 1, 1, 1, 0, -3, kSimple, 1, 9, 1, 9, StatusSuccess, nullptr},
    {"period NaN", 1, 1, 1, 0, kNaN, kSimple, 1, 9, 1, 9, StatusSuccess, nullptr},
    {"period +inf", 1, 1, 1, 0, kInf, kExponential, 1, 9, 1, 9, StatusSuccess, nullptr},
    {"period 3e9, beyond int32", 1, 1, 1, 0, 3e9f, kSimple, 1, 9, 1, 9, StatusSuccess, nullptr},
    {"period longer than the source", 1, 1, 1, 0, 10, kSimple, 1, 9, 1, 9, StatusSuccess, nullptr},
    {"source from bar 0", 1, 1, 1, 0, 3, kSimple, 0, 9, 0, 9, StatusSuccess, nullptr},
    {"source ending at bar 0", 1, 1, 1, 0, 1, kSimple, 0, 0, 0, 9, StatusSuccess, nullptr},
    {"source one bar beyond the close", 1, 1, 1, 0, 3, kSimple, 1, 10, 1, 9, StatusSuccess, nullptr},
    {"source starting before the close", 1, 1, 1, 0, 3, kSimple, 2, 9, 3, 9, StatusSuccess, nullptr},
};

TEST_F(MyMovTest, ChecksRunInOrderAndOnlyErrorsWriteAMessage) {
    for (const CheckCase &c : kCheckCases) {
        SCOPED_TRACE(c.what);
        CallRecords call(12);
        call.setPrice('C', Series(line(12), c.closeFirst, c.closeLast));
        for (int32 k = 0; k < c.dataCount; ++k) {
            call.addData(Series(line(12), c.sourceFirst, c.sourceLast));
        }
        for (int32 k = 0; k < c.numericCount; ++k) {
            call.addNumber(c.period);
        }
        for (int32 k = 0; k < c.customCount; ++k) {
            call.addCustom(c.method);
        }
        call.strings.count = c.stringCount;
        const TextField before = errorTextOf(call);
        ASSERT_EQ(call.call(myMov), c.status);
        if (c.message != nullptr) {
            expectPlainMessage(call, before, c.message);
        } else {
            EXPECT_TRUE(call.errorTextUntouched());
        }
        if (c.computes) {
            expectRange(call, 3, 9);
        } else {
            expectRange(call, 0, -1);
            EXPECT_TRUE(call.outputUntouched());
        }
    }
}

TEST_F(MyMovTest, PeriodsBeyondSixteenBitsWork) {
    const int32 n = 40000;
    CallRecords simple(n + 2);
    prepare(simple, Series(std::vector<float>(n + 2, 1.0f), 1, n + 1), 1, n + 1, static_cast<float>(n),
            kSimple);
    ASSERT_EQ(simple.call(myMov), StatusSuccess);
    expectRange(simple, n, n + 1);
    EXPECT_EQ(simple.outputBits(n), bitsOf(1.0f));
    EXPECT_EQ(simple.outputBits(n + 1), bitsOf(1.0f));
    EXPECT_TRUE(simple.outputUntouchedFrom(n + 2));
    EXPECT_EQ(simple.outputBits(n - 1), kUntouchedBits);

    CallRecords exponential(n + 6);
    prepare(exponential, Series(std::vector<float>(n + 6, 2.0f), 1, n + 5), 1, n + 5, static_cast<float>(n),
            kExponential);
    ASSERT_EQ(exponential.call(myMov), StatusSuccess);
    expectRange(exponential, n, n + 5);
    for (int32 t = n; t <= n + 5; ++t) {
        EXPECT_EQ(exponential.outputBits(t), bitsOf(2.0f)) << "bar " << t;
    }
}

TEST_F(MyMovTest, TheWeightedDivisorIsRoundedToAFloat) {
    // The weights of 5793 bars add up to 16782321, which as a float32 is 16782320: an average of
    // 1.5 comes out 1.5 * 16782321 / 16782320, one float step above 1.5.
    const int32 n = 5793;
    CallRecords call(n + 1);
    prepare(call, Series(std::vector<float>(n + 1, 1.5f), 1, n), 1, n, static_cast<float>(n), kWeighted);
    ASSERT_EQ(call.call(myMov), StatusSuccess);
    expectRange(call, n, n);
    EXPECT_EQ(call.outputBits(n), bitsOf(std::nextafter(1.5f, 2.0f)));
}

#if defined(__linux__)
// The address space this process has mapped, in bytes.
std::size_t mappedBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Whether a mapping of `bytes` fails now (emulators do not enforce the address-space limit).
bool mappingFails(std::size_t bytes) {
    void *probe = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (probe == MAP_FAILED) {
        return true;
    }
    munmap(probe, bytes);
    return false;
}
#endif

TEST_F(MyMovTest, ATriangularScratchSeriesThatCannotBeObtainedFailsTheCall) {
#if defined(__linux__)
    // Source and output are the host's and exist already; the scratch series of as many bars
    // cannot be mapped under a limit a few megabytes above what is in use.
    const int32 bars = 8 << 20;
    CallRecords call(bars + 2);
    prepare(call, Series(std::vector<float>(bars + 2, 1.0f), 1, bars), 1, bars, 3, kTriangular);
    const TextField before = errorTextOf(call);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit tight = saved;
    const std::size_t headroom = 8u << 20;
    tight.rlim_cur = mappedBytes() + headroom;
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    if (!mappingFails(2 * headroom)) {
        ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
        GTEST_SKIP() << "the address-space limit is not enforced here";
    }
    const int32 status = myMov(&call.prices, &call.data, &call.numeric, &call.strings, &call.custom,
                               &call.result);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);

    EXPECT_EQ(status, StatusFailure);
    expectPlainMessage(call, before, "Not enough memory");
    expectRange(call, 0, -1);
    EXPECT_TRUE(call.outputUntouched());
#else
    GTEST_SKIP() << "needs an address-space limit";
#endif
}

}  // namespace
}  // namespace zpk::test
