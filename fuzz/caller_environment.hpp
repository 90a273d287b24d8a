// The floating-point environment of the calling thread, as a host may leave it: any rounding mode,
// exceptions unmasked (so that an operation the library does not mask would trap), flush-to-zero
// and denormals-are-zero. A call must neither trap nor change what the caller sees of it.
#ifndef ZPK_FUZZ_CALLER_ENVIRONMENT_HPP
#define ZPK_FUZZ_CALLER_ENVIRONMENT_HPP

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

namespace zpk::fuzz {

// What the caller can observe of its environment: the x87 control word and exception flags and
// MXCSR, on x86; nothing elsewhere.
struct FloatState {
    std::uint16_t x87Control = 0;
    std::uint16_t x87Flags = 0;
    std::uint32_t mxcsr = 0;

    bool operator==(const FloatState &other) const {
        return x87Control == other.x87Control && x87Flags == other.x87Flags && mxcsr == other.mxcsr;
    }
};

// A host's environment drawn from the input.
struct CallerEnvironment {
    int rounding;             // one of the FE_ rounding modes
    int unmasked;             // FE_ exceptions that trap
    bool flushToZero;
    bool denormalsAreZero;

    static CallerEnvironment draw(FuzzedDataProvider &input);
};

// Enters `environment`, with no exception flag raised.
void enter(const CallerEnvironment &environment);
// Back to the default environment: round to nearest, everything masked, no flags.
void leave();
FloatState currentFloatState();

}  // namespace zpk::fuzz

#endif
