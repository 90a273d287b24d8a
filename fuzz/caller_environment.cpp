#include "caller_environment.hpp"

#include <cfenv>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#define ZPK_FUZZ_X86 1
#else
#define ZPK_FUZZ_X86 0
#endif

namespace zpk::fuzz {
namespace {

#if ZPK_FUZZ_X86
constexpr std::uint32_t kFlushToZero = 0x8000;
constexpr std::uint32_t kDenormalsAreZero = 0x0040;
constexpr std::uint32_t kMxcsrDefault = 0x1F80;
#endif

constexpr int kRoundingModes[] = {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO};
constexpr int kExceptions[] = {FE_INVALID, FE_DIVBYZERO, FE_OVERFLOW, FE_UNDERFLOW, FE_INEXACT};

}  // namespace

CallerEnvironment CallerEnvironment::draw(FuzzedDataProvider &input) {
    CallerEnvironment environment{};
    environment.rounding = input.PickValueInArray(kRoundingModes);
    const unsigned mask = input.ConsumeIntegral<std::uint8_t>();
    environment.unmasked = 0;
    for (unsigned k = 0; k < sizeof kExceptions / sizeof kExceptions[0]; ++k) {
        if (mask & (1u << k)) environment.unmasked |= kExceptions[k];
    }
    environment.flushToZero = input.ConsumeBool();
    environment.denormalsAreZero = input.ConsumeBool();
    return environment;
}

void enter(const CallerEnvironment &environment) {
    std::feclearexcept(FE_ALL_EXCEPT);
    std::fesetround(environment.rounding);
#if defined(__GLIBC__)
    feenableexcept(environment.unmasked);
#endif
#if ZPK_FUZZ_X86
    std::uint32_t csr = _mm_getcsr();
    if (environment.flushToZero) csr |= kFlushToZero;
    if (environment.denormalsAreZero) csr |= kDenormalsAreZero;
    _mm_setcsr(csr);
#endif
}

void leave() {
#if ZPK_FUZZ_X86
    _mm_setcsr(kMxcsrDefault);
#endif
    std::fesetenv(FE_DFL_ENV);
}

FloatState currentFloatState() {
    FloatState state;
#if ZPK_FUZZ_X86
    std::uint16_t control;
    std::uint16_t status;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    __asm__ volatile("fnstsw %0" : "=m"(status));
    state.x87Control = control;
    state.x87Flags = static_cast<std::uint16_t>(status & 0x7F);
    state.mxcsr = _mm_getcsr();
#endif
    return state;
}

}  // namespace zpk::fuzz
