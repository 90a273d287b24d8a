// The fuzz driver every library's target shares: load the built module the way the host does, ask
// it for its functions, and for every input call each of them twice on the same records (once in
// the default floating-point environment with one filler of the undefined bytes, once in a drawn
// host environment with the other) and check what a host relies on:
//   - the status is 0 or 1;
//   - a failed call leaves a NUL-terminated errorText within its 100 bytes and the range 0..-1;
//   - a successful call leaves every byte of errorText as the host passed it;
//   - no input array, text or record is written;
//   - no output entry above the largest lastValid of the series the function reads is written;
//   - the caller's floating-point environment is as it was, and no operation traps;
//   - both calls give the same status, range, message and output entries.
// The query entry points are asked at drawn indexes too: status 0 or 1, and a failed query writes
// only what it always writes. A call that does not end is caught by libFuzzer's -timeout, a stray
// access by AddressSanitizer, undefined behaviour by UndefinedBehaviorSanitizer.
#ifndef ZPK_FUZZ_LIBRARY_FUZZER_HPP
#define ZPK_FUZZ_LIBRARY_FUZZER_HPP

#include <cstddef>
#include <cstdint>

namespace zpk::fuzz {

// One calculation function and the series it reads: price letters of "OHLCVI", and whether it
// reads its first data argument.
struct FunctionReads {
    const char *name;
    const char *priceLetters;
    bool dataArgument;
};

struct LibraryUnderTest {
    const char *module;  // Ambrel, Brevane, ZENOBAR
    const FunctionReads *functions;
    std::size_t functionCount;
};

// Loads the module and checks that it registers exactly the listed functions; aborts if not.
int initialize(const LibraryUnderTest &library);
int fuzzOneInput(const std::uint8_t *data, std::size_t size);

}  // namespace zpk::fuzz

#define ZPK_FUZZ_TARGET(library)                                                              \
    extern "C" int LLVMFuzzerInitialize(int *, char ***) {                                    \
        return ::zpk::fuzz::initialize(library);                                              \
    }                                                                                         \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {       \
        return ::zpk::fuzz::fuzzOneInput(data, size);                                         \
    }

#endif
