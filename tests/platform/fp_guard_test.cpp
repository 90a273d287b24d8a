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

const CalculationCase kCalculations[] = {
    // Ordered comparisons with a NaN raise the invalid exception.
    {"Ambrel over NaN and infinite closes", "Ambrel", "AmbrelFunc", 8,
     [](CallRecords &r) { r.setPrice('C', Series({1, kNaN, 3, kInf, -kInf, kInf, kNaN, 2})); }},
    // Comparisons of subnormal closes raise the denormal exception; with denormals-are-zero they
    // would all compare equal.
    {"Ambrel over subnormal closes", "Ambrel", "AmbrelFunc", 6,
     [](CallRecords &r) { r.setPrice('C', Series({0, kTiny, 2 * kTiny, 1e-40f, -1e-40f, 0})); }},
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
    // Not only the same in every environment, but right: a NaN compares with nothing (mark 0),
    // and subnormal closes are compared as the numbers they are, whatever denormals-are-zero the
    // caller has set.
    CalcFunction fn = entryPoint<CalcFunction>(module("Ambrel"), "AmbrelFunc");
    ASSERT_NE(fn, nullptr);
    struct Expected {
        std::vector<float> closes, marks;
    };
    const Expected cases[] = {
        {{1, kNaN, 3, kInf, -kInf, kInf, kNaN, 2}, {0, 0, 1, -1, 1, 0, 0, 0}},
        {{0, kTiny, 2 * kTiny, 1e-40f, -1e-40f, 0}, {0, 1, 1, -1, 1, 0}},
    };
    for (const Expected &c : cases) {
        CallRecords records(c.closes.size());
        records.setPrice('C', Series(c.closes));
        int32 status = -1;
        const bool trap = trapped([&] {
            kEnvironments[0].enter();
            _mm_setcsr(_mm_getcsr() | kCsrDaz | kCsrFtz);
            status = fn(&records.prices, &records.data, &records.numeric, &records.strings,
                        &records.custom, &records.result);
        });
        resetToDefault();
        ASSERT_FALSE(trap);
        EXPECT_EQ(status, StatusSuccess);
        for (std::size_t bar = 1; bar < c.marks.size(); ++bar) {
            EXPECT_EQ(records.outputBits(bar), bitsOf(c.marks[bar])) << "bar " << bar;
        }
    }
}

TEST_F(FloatGuardTest, QueriesAreGuarded) {
    for (const char *name : {"Ambrel"}) {
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
        FunctionInfoRec function;
        for (int32 index : {0, -1}) {
            fillPattern(function);
            expectGuarded(Probe{[&] { return nth(index, &function); },
                                [&](int32 status) { return bytesOf(status, function); }});
        }
    }
}

#else

TEST(FloatGuardTest, OnlyOnX86) { GTEST_SKIP() << "the state checks read x86 registers"; }

#endif

}  // namespace
}  // namespace zpk::test
