// Fuzz target of the Brevane module.
#include "library_fuzzer.hpp"

namespace {

// The cycle is measured on the data argument; the channels are taken over high or low.
constexpr zpk::fuzz::FunctionReads kFunctions[] = {
    {"BrevanePeriod", "", true},
    {"ChannelHigh", "H", true},
    {"ChannelLow", "L", true},
};

constexpr zpk::fuzz::LibraryUnderTest kBrevane{"Brevane", kFunctions, sizeof kFunctions / sizeof kFunctions[0]};

}  // namespace

ZPK_FUZZ_TARGET(kBrevane)
