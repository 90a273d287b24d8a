// The floating-point guard of every entry point, seen from the caller. A host may call with every
// floating-point exception unmasked, another rounding mode, flush-to-zero or flags already raised.
// Whatever the caller's environment, a call must not trap, must give exactly the result it gives
// in the default environment, and must leave the x87 control and status words and MXCSR exactly
// as they were.
#include "plugin_fixture.hpp"

#include <cfenv>
#include <cstdint>
#include <functional>
#include <limits>
#include <ostream>
#include <cstdio>
#include <string>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#define ZPK_TEST_X86 1
#else
#define ZPK_TEST_X86 0
#endif

#if defined(_WIN32)
#include <float.h>
#include <windows.h>
#else
#include <csetjmp>
#include <csignal>
#endif

namespace zpk::test {
namespace {

#if ZPK_TEST_X86

// The caller-visible floating-point state of an x86 thread.
struct FpState {
    std::uint16_t x87Control;
    std::uint16_t x87Flags;  // exception and stack-fault flags of the status word
    std::uint32_t mxcsr;

    bool operator==(const FpState &o) const {
        return x87Control == o.x87Control && x87Flags == o.x87Flags && mxcsr == o.mxcsr;
    }
};

std::ostream &operator<<(std::ostream &out, const FpState &s) {
    char text[80];
    std::snprintf(text, sizeof text, "{x87 control %04x, x87 flags %02x, MXCSR %08x}",
                  unsigned(s.x87Control), unsigned(s.x87Flags), unsigned(s.mxcsr));
    return out << text;
}

FpState readState() {
    std::uint16_t control, status;
    __asm__ __volatile__("fnstcw %0" : "=m"(control));
    __asm__ __volatile__("fnstsw %0" : "=m"(status));
    return FpState{control, static_cast<std::uint16_t>(status & 0x7F), _mm_getcsr()};
}

void setX87Control(std::uint16_t control) { __asm__ __volatile__("fldcw %0" : : "m"(control)); }

// Raises x87 exception flags without executing an operation (the exceptions must be masked).
void raiseX87Flags(std::uint16_t flags) {
    std::uint32_t env[7];  // the 28-byte protected-mode environment: control, status, tags, ...
    __asm__ __volatile__("fnstenv %0" : "=m"(env));
    env[1] |= flags;
    __asm__ __volatile__("fldenv %0" : : "m"(env));
}

// x87 control word: exception masks in bits 0-5, precision in 8-9, rounding in 10-11.
constexpr std::uint16_t kX87Masks = 0x003F;
constexpr std::uint16_t kX87Precision = 0x0300;
constexpr std::uint16_t kX87Rounding = 0x0C00;
constexpr std::uint16_t kX87Up = 0x0800, kX87TowardZero = 0x0C00;
// MXCSR: flags in bits 0-5, denormals-are-zero 6, masks 7-12, rounding 13-14, flush-to-zero 15.
constexpr std::uint32_t kCsrFlags = 0x003F;
constexpr std::uint32_t kCsrDaz = 0x0040;
constexpr std::uint32_t kCsrMasks = 0x1F80;
constexpr std::uint32_t kCsrRounding = 0x6000;
constexpr std::uint32_t kCsrDown = 0x2000, kCsrUp = 0x4000, kCsrTowardZero = 0x6000;
constexpr std::uint32_t kCsrFtz = 0x8000;
constexpr std::uint32_t kInexact = 0x20;

void resetToDefault() {
    std::fesetenv(FE_DFL_ENV);
    setX87Control(0x037F);
    __asm__ __volatile__("fnclex");
    _mm_setcsr(0x1F80);
}

// Unmasks every exception the way a host would (feenableexcept, _controlfp), then makes sure that
// both units really have all six unmasked, the denormal-operand exception included.
void unmaskEverything() {
#if defined(_WIN32)
    _controlfp(0, _MCW_EM);
#else
    feenableexcept(FE_ALL_EXCEPT);
#endif
    setX87Control(static_cast<std::uint16_t>(readState().x87Control & ~kX87Masks));
    _mm_setcsr(_mm_getcsr() & ~kCsrMasks);
}

void setRounding(std::uint16_t x87, std::uint32_t csr) {
    setX87Control(static_cast<std::uint16_t>((readState().x87Control & ~kX87Rounding) | x87));
    _mm_setcsr((_mm_getcsr() & ~kCsrRounding) | csr);
}

// The environments a call is made in. Raised x87 flags are combined only with masked x87
// exceptions: an unmasked x87 flag is a pending trap in the caller's own next x87 instruction.
struct Environment {
    const char *what;
    void (*enter)();
};

const Environment kEnvironments[] = {
    {"every exception unmasked", [] { unmaskEverything(); }},
    {"every exception unmasked, SSE rounding down, every SSE flag raised",
     [] {
         unmaskEverything();
         setRounding(0, kCsrDown);
         _mm_setcsr(_mm_getcsr() | kCsrFlags);
     }},
    {"round toward zero, flush-to-zero, denormals-are-zero, 24-bit x87 precision, every flag "
     "raised",
     [] {
         setRounding(kX87TowardZero, kCsrTowardZero);
         setX87Control(static_cast<std::uint16_t>(readState().x87Control & ~kX87Precision));
         raiseX87Flags(0x3F);
         _mm_setcsr(_mm_getcsr() | kCsrDaz | kCsrFtz | kCsrFlags);
     }},
    {"round upward, inexact raised",
     [] {
         setRounding(kX87Up, kCsrUp);
         raiseX87Flags(kInexact);
         _mm_setcsr(_mm_getcsr() | kInexact);
     }},
};

// A trap inside a guarded call is caught and reported as a failure of the test rather than the
// end of the test program.
#if defined(_WIN32)
// The handler masks every exception in the trapping thread's context and lets the instruction run
// again, so the call goes on and the test reports the trap.
volatile LONG trapSeen = 0;

LONG CALLBACK onTrap(EXCEPTION_POINTERS *info) {
    switch (info->ExceptionRecord->ExceptionCode) {
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case STATUS_FLOAT_MULTIPLE_FAULTS:
    case STATUS_FLOAT_MULTIPLE_TRAPS:
        break;
    default:
        return EXCEPTION_CONTINUE_SEARCH;
    }
    trapSeen = 1;
    CONTEXT *context = info->ContextRecord;
#if defined(_WIN64)
    context->MxCsr = (context->MxCsr | kCsrMasks) & ~kCsrFlags;
    context->FltSave.MxCsr = context->MxCsr;
    context->FltSave.ControlWord |= kX87Masks;
    context->FltSave.StatusWord &= ~0xFF;
#else
    context->FloatSave.ControlWord |= kX87Masks;
    context->FloatSave.StatusWord &= ~0xFF;
    DWORD *csr = reinterpret_cast<DWORD *>(&context->ExtendedRegisters[24]);
    *csr = (*csr | kCsrMasks) & ~kCsrFlags;
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

template <class F>
bool trapped(F &&body) {
    trapSeen = 0;
    PVOID handler = AddVectoredExceptionHandler(1, onTrap);
    body();
    RemoveVectoredExceptionHandler(handler);
    return trapSeen != 0;
}
#else
sigjmp_buf trapReturn;
void onTrap(int) { siglongjmp(trapReturn, 1); }

template <class F>
bool trapped(F &&body) {
    struct sigaction action {}, previous {};
    action.sa_handler = onTrap;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, &previous);
    bool caught = false;
    if (sigsetjmp(trapReturn, 1) == 0) {
        body();
    } else {
        caught = true;
    }
    sigaction(SIGFPE, &previous, nullptr);
    return caught;
}
#endif

// One entry point call with its records prepared: `call` makes the call and nothing else, so that
// no arithmetic of the test runs in the caller's environment; `outcome` then describes, as bytes,
// the status and everything the call wrote.
struct Probe {
    std::function<int32()> call;
    std::function<std::string(int32 status)> outcome;
};

template <class Record>
std::string bytesOf(int32 status, const Record &record) {
    return "status " + std::to_string(status) + " record " +
           std::string(reinterpret_cast<const char *>(&record), sizeof record);
}

std::string outcomeOf(const CallRecords &records, int32 status) {
    std::string out = "status " + std::to_string(status) + " range " +
                      std::to_string(records.firstValid()) + ".." +
                      std::to_string(records.lastValid()) + " values ";
    out.append(reinterpret_cast<const char *>(records.output().data()),
               records.output().size() * sizeof(float));
    out += " text ";
    out.append(records.result.errorText, TextFieldSize);
    return out;
}

// A calculation over records that `setup` fills, with what makes its arithmetic raise exceptions.
struct CalculationCase {
    const char *what;
    const char *module;
    const char *function;
    std::size_t bars;
    void (*setup)(CallRecords &);
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const float kTiny = std::numeric_limits<float>::denorm_min();
const float kHuge = std::numeric_limits<float>::max();

// Price series for the Signal functions, every one valid from bar 1 on (SignalVolume computes
// nothing for a close series that starts at bar 0), with a volume of 1000.
void signalPrices(CallRecords &r, std::vector<float> open, std::vector<float> high,
                  std::vector<float> low, std::vector<float> close) {
    const int32 last = static_cast<int32>(close.size()) - 1;
    std::vector<float> volume(close.size(), 1000.0f);
    r.setPrices(Series(std::move(open), 1, last), Series(std::move(high), 1, last),
                Series(std::move(low), 1, last), Series(std::move(close), 1, last),
                Series(std::move(volume), 1, last));
}

// A data-array argument over bars 1.. (ZENOBAR refuses a series that starts at bar 0), with a
// close series valid over the same bars.
void zenobarSource(CallRecords &r, std::vector<float> values) {
    const int32 last = static_cast<int32>(values.size()) - 1;
    r.setPrice('C', Series(std::vector<float>(values.size(), 1.0f), 1, last));
    r.addData(Series(std::move(values), 1, last));
}

const std::vector<float> kExtremes = {0, kHuge, -kHuge, kInf, kHuge, -kInf, kNaN, 1e-40f, -kTiny,
                                      3e38f, 3e38f, kInf, kInf, 0, -0.0f, 5};

const CalculationCase kCalculations[] = {
    // Ordered comparisons with a NaN raise the invalid exception.
    {"Ambrel over NaN and infinite closes", "Ambrel", "AmbrelFunc", 8,
     [](CallRecords &r) { r.setPrice('C', Series({1, kNaN, 3, kInf, -kInf, kInf, kNaN, 2})); }},
    // Comparisons of subnormal closes raise the denormal exception; with denormals-are-zero they
    // would all compare equal.
    {"Ambrel over subnormal closes", "Ambrel", "AmbrelFunc", 6,
     [](CallRecords &r) { r.setPrice('C', Series({0, kTiny, 2 * kTiny, 1e-40f, -1e-40f, 0})); }},
    // Ratios of closes with zeros (division by zero), 0/0 and inf/inf (NaN), opposite signs, and
    // logarithms of subnormal and huge ratios.
    {"SignalExt over zero, NaN, infinite and subnormal closes", "ZENOBAR", "SignalExt", 12,
     [](CallRecords &r) {
         std::vector<float> close = {100, 0, 5, 0, 0, -5, kNaN, kInf, kInf, kTiny, kHuge, 110};
         signalPrices(r, close, close, close, close);
     }},
    // R = H - L of infinite and NaN prices (inf - inf), divisions by 3 of subnormal ranges.
    {"SignalVolume over infinite, NaN and subnormal bars", "ZENOBAR", "SignalVolume", 8,
     [](CallRecords &r) {
         signalPrices(r, {10, kInf, kNaN, 10, kTiny, 11.8f, kHuge, 0},
                      {12, kInf, 12, kNaN, 2 * kTiny, 12, kHuge, kTiny},
                      {8, -kInf, 8, 8, 0, 8, -kHuge, 0},
                      {11.5f, kInf, 10, kNaN, kTiny, 10, kHuge, kTiny});
     }},
    // x - p with infinities of both signs, factors times NaN, clamped seeds.
    {"MyMov exponential over extremes", "ZENOBAR", "MyMov", kExtremes.size(),
     [](CallRecords &r) {
         zenobarSource(r, kExtremes);
         r.addNumber(3);
         r.addCustom(3);
     }},
    // Weighted sums of huge values, inf + -inf, NaN weights.
    {"MyMov weighted over extremes", "ZENOBAR", "MyMov", kExtremes.size(),
     [](CallRecords &r) {
         zenobarSource(r, kExtremes);
         r.addNumber(4);
         r.addCustom(2);
     }},
    // The triangular method's scratch series, over the same.
    {"MyMov triangular over extremes", "ZENOBAR", "MyMov", kExtremes.size(),
     [](CallRecords &r) {
         zenobarSource(r, kExtremes);
         r.addNumber(5);
         r.addCustom(1);
     }},
    // The largest float added to extremes: sums beyond the float range, inf + -inf.
    {"AddN of the largest float to extremes", "ZENOBAR", "AddN", kExtremes.size(),
     [](CallRecords &r) {
         zenobarSource(r, kExtremes);
         r.addNumber(kHuge);
     }},
    // The cycle-period engine over extremes: products and sums beyond the float range, inf - inf,
    // arctangents of huge and NaN quotients.
    {"BrevanePeriod over extremes", "Brevane", "BrevanePeriod", kExtremes.size(),
     [](CallRecords &r) { r.addData(Series(kExtremes)); }},
    {"ChannelHigh over extremes, NaN multiplier", "Brevane", "ChannelHigh", kExtremes.size(),
     [](CallRecords &r) {
         r.setPrice('H', Series(kExtremes));
         r.addData(Series(kExtremes));
         r.addNumber(kNaN);
         r.addNumber(0);
     }},
    {"ChannelLow over extremes, largest multiplier", "Brevane", "ChannelLow", kExtremes.size(),
     [](CallRecords &r) {
         r.setPrice('L', Series(kExtremes, 1, 15));
         r.addData(Series(kExtremes));
         r.addNumber(kHuge);
         r.addNumber(-kInf);
     }},
    {"SumArrays CCHL over extremes", "ZENOBAR", "SumArrays", kExtremes.size(),
     [](CallRecords &r) {
         std::vector<float> negated;
         for (float v : kExtremes) negated.push_back(-v);
         r.setPrices(Series(kExtremes), Series(kExtremes, 1, 15), Series(negated, 1, 15),
                     Series(kExtremes, 1, 15), Series(kExtremes));
         r.addText("CCHL");
     }},
};

// Results the call must give whatever the caller's environment, worked out by hand: bar -> bits.
struct SpecifiedCase {
    const char *what;
    const char *module;
    const char *function;
    std::size_t bars;
    void (*setup)(CallRecords &);
    std::vector<std::pair<std::size_t, float>> values;
};

const float kClampUpper = floatFromBits(0x7F7D9B19);
const float kClampLower = floatFromBits(0x038F722F);

const SpecifiedCase kSpecified[] = {
    // A NaN compares with nothing: mark 0.
    {"Ambrel: NaN and infinite closes", "Ambrel", "AmbrelFunc", 8,
     [](CallRecords &r) { r.setPrice('C', Series({1, kNaN, 3, kInf, -kInf, kInf, kNaN, 2})); },
     {{1, 0}, {2, 1}, {3, -1}, {4, 1}, {5, 0}, {6, 0}, {7, 0}}},
    // Subnormal closes are compared as the numbers they are, not as zeros.
    {"Ambrel: subnormal closes", "Ambrel", "AmbrelFunc", 6,
     [](CallRecords &r) { r.setPrice('C', Series({0, kTiny, 2 * kTiny, 1e-40f, -1e-40f, 0})); },
     {{1, 1}, {2, 1}, {3, -1}, {4, 1}, {5, 0}}},
    // ln(110 / 100), then a zero close, a zero previous close and opposite signs: 0.
    {"SignalExt: ratios that are no positive finite number give 0", "ZENOBAR", "SignalExt", 5,
     [](CallRecords &r) {
         std::vector<float> close = {100, 110, 0, 5, -5};
         signalPrices(r, close, close, close, close);
     },
     {{1, 0.09531018f}, {2, 0}, {3, 0}, {4, 0}}},
    // Sums above the float range are limited to ClampUpper, subnormal ones raised to ClampLower.
    {"AddN: clamped sums", "ZENOBAR", "AddN", 4,
     [](CallRecords &r) {
         zenobarSource(r, {0, 3e38f, 1e-40f, -3e38f});
         r.addNumber(3e38f);
     },
     {{1, kClampUpper}, {2, 3e38f}, {3, 0}}},
    {"AddN: a subnormal source value comes out as ClampLower", "ZENOBAR", "AddN", 3,
     [](CallRecords &r) {
         zenobarSource(r, {0, 1e-40f, -1e-40f});
         r.addNumber(0);
     },
     {{1, kClampLower}, {2, -kClampLower}}},
    // The engine's warm-up values, whatever the input.
    {"BrevanePeriod: the warm-up periods over extremes", "Brevane", "BrevanePeriod",
     kExtremes.size(), [](CallRecords &r) { r.addData(Series(kExtremes)); },
     {{5, float(1.2000000476837158)}, {6, float(2.1600000858306885)},
      {7, float(2.9280002117156982)}, {8, float(3.5424001216888428)},
      {9, float(4.0339202880859375)}}},
    {"MyMov simple, n = 2, of 3e38 twice", "ZENOBAR", "MyMov", 3,
     [](CallRecords &r) {
         zenobarSource(r, {0, 3e38f, 3e38f});
         r.addNumber(2);
         r.addCustom(0);
     },
     {{2, 1.6854999800344835e38f}}},
};

class FloatGuardTest : public ::testing::Test {
protected:
    void SetUp() override { resetToDefault(); }
    void TearDown() override { resetToDefault(); }

    // Each module is loaded once per test.
    host::Plugin &module(const std::string &name) {
        for (auto &entry : modules_) {
            if (entry.first == name) return entry.second;
        }
        modules_.emplace_back(name, loadPlugin(name));
        return modules_.back().second;
    }

    // Makes the probe's call in every environment: no trap, the outcome of the default
    // environment, and the caller's state as it was.
    void expectGuarded(const Probe &probe) {
        resetToDefault();
        const std::string reference = probe.outcome(probe.call());
        for (const Environment &env : kEnvironments) {
            SCOPED_TRACE(env.what);
            int32 status = -1;
            FpState before{}, after{};
            const bool trap = trapped([&] {
                resetToDefault();
                env.enter();
                before = readState();
                status = probe.call();
                after = readState();
            });
            resetToDefault();
            ASSERT_FALSE(trap) << "the call trapped";
            EXPECT_EQ(after, before) << "the caller's floating-point state changed";
            EXPECT_EQ(probe.outcome(status), reference)
                << "the outcome depends on the caller's environment";
        }
    }

    std::vector<std::pair<std::string, host::Plugin>> modules_;
};

TEST_F(FloatGuardTest, UnmaskedExceptionsTrapInTheCaller) {
    // What gives the other tests their teeth: here an operation that raises an unmasked exception
    // traps. User-mode emulation (qemu) delivers no such traps; there only the state is checked.
    volatile double zero = 0.0;
    volatile double result = 0.0;
    const bool trap = trapped([&] {
        kEnvironments[0].enter();
        result = 1.0 / zero;
    });
    resetToDefault();
    if (!trap) {
        GTEST_SKIP() << "this machine delivers no floating-point traps (emulated?): the guarded "
                        "calls are checked for their results and state only";
    }
    SUCCEED() << result;
}

TEST_F(FloatGuardTest, CalculationsAreGuarded) {
    for (const CalculationCase &c : kCalculations) {
        SCOPED_TRACE(c.what);
        CalcFunction fn = entryPoint<CalcFunction>(module(c.module), c.function);
        ASSERT_NE(fn, nullptr);
        CallRecords records(c.bars);
        c.setup(records);
        expectGuarded(Probe{[&] { return fn(&records.prices, &records.data, &records.numeric,
                                            &records.strings, &records.custom, &records.result); },
                            [&](int32 status) { return outcomeOf(records, status); }});
    }
}

TEST_F(FloatGuardTest, GuardedResultsAreTheSpecifiedOnes) {
    // Not only the same in every environment, but right: called with every exception unmasked
    // and with flush-to-zero and denormals-are-zero set.
    for (const SpecifiedCase &c : kSpecified) {
        SCOPED_TRACE(c.what);
        CalcFunction fn = entryPoint<CalcFunction>(module(c.module), c.function);
        ASSERT_NE(fn, nullptr);
        CallRecords records(c.bars);
        c.setup(records);
        int32 status = -1;
        const bool trap = trapped([&] {
            kEnvironments[0].enter();
            _mm_setcsr(_mm_getcsr() | kCsrDaz | kCsrFtz);
            status = fn(&records.prices, &records.data, &records.numeric, &records.strings,
                        &records.custom, &records.result);
        });
        resetToDefault();
        ASSERT_FALSE(trap) << "the call trapped";
        EXPECT_EQ(status, StatusSuccess);
        for (const auto &[bar, value] : c.values) {
            EXPECT_EQ(records.outputBits(bar), bitsOf(value)) << "bar " << bar;
        }
    }
}

TEST_F(FloatGuardTest, QueriesAreGuarded) {
    for (const char *name : {"Ambrel", "Brevane", "ZENOBAR"}) {
        SCOPED_TRACE(name);
        host::Plugin &plugin = module(name);
        auto info = entryPoint<ZPKInfoFunction>(plugin, "ZPKInfo");
        auto nth = entryPoint<ZPKNthFunctionFunction>(plugin, "ZPKNthFunction");
        ASSERT_NE(info, nullptr);
        ASSERT_NE(nth, nullptr);
        LibraryInfoRec lib;
        fillPattern(lib);
        expectGuarded(Probe{[&] { return info(&lib); },
                            [&](int32 status) { return bytesOf(status, lib); }});
        for (int32 index : {0, -1}) {
            FunctionInfoRec function;
            fillPattern(function);
            expectGuarded(Probe{[&] { return nth(index, &function); },
                                [&](int32 status) { return bytesOf(status, function); }});
        }
        // The optional queries, where the library has them: every argument of every function,
        // and every custom string, plus one index past the end of each.
        auto nthArg = reinterpret_cast<ZPKNthArgFunction>(plugin.module().symbol("ZPKNthArg"));
        auto nthString = reinterpret_cast<ZPKNthCustomStringFunction>(
            plugin.module().symbol("ZPKNthCustomString"));
        for (int32 f = 0; nthArg != nullptr; ++f) {
            FunctionInfoRec function;
            if (nth(f, &function) != StatusSuccess) break;
            for (int32 a = 0; a <= function.argCount; ++a) {
                ArgInfoRec arg;
                fillPattern(arg);
                expectGuarded(Probe{[&] { return nthArg(f, a, &arg); },
                                    [&](int32 status) { return bytesOf(status, arg); }});
                if (nthString == nullptr || a == function.argCount || arg.argType != CustomArg) {
                    continue;
                }
                for (int32 k = 0; k <= arg.customStringCount; ++k) {
                    CustomStringRec text;
                    fillPattern(text);
                    expectGuarded(Probe{[&] { return nthString(f, a, k, &text); },
                                        [&](int32 status) { return bytesOf(status, text); }});
                }
            }
        }
    }
}

#else

TEST(FloatGuardTest, OnlyOnX86) { GTEST_SKIP() << "the state checks read x86 registers"; }

#endif

}  // namespace
}  // namespace zpk::test
