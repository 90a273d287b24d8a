// Fuzz target of the Ambrel module.
#include "library_fuzzer.hpp"

namespace {

// AmbrelFunc reads the close series only (its next bar too, up to close.lastValid).
constexpr zpk::fuzz::FunctionReads kFunctions[] = {
    {"AmbrelFunc", "C", false},
};

constexpr zpk::fuzz::LibraryUnderTest kAmbrel{"Ambrel", kFunctions, sizeof kFunctions / sizeof kFunctions[0]};

}  // namespace

ZPK_FUZZ_TARGET(kAmbrel)
