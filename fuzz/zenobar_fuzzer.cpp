// Fuzz target of the ZENOBAR module.
#include "library_fuzzer.hpp"

namespace {

// MyMov and AddN read their data argument inside the close range; SumArrays the series its text
// names, inside the close range; the Signal functions the five price series over the bars that
// high and low share.
constexpr const char *kSignalReads = "OHLCV";

constexpr zpk::fuzz::FunctionReads kFunctions[] = {
    {"MyMov", "C", true},
    {"AddN", "C", true},
    {"SumArrays", "OHLCVI", false},
    {"SignalVolume", kSignalReads, false},
    {"SignalRun", kSignalReads, false},
    {"SignalExt", kSignalReads, false},
    {"SignalAst", kSignalReads, false},
    {"SignalSpe", kSignalReads, false},
    {"SignalPru", kSignalReads, false},
    {"SignalTre", kSignalReads, false},
    {"SignalVolume2", kSignalReads, false},
    {"SignalRun2", kSignalReads, false},
    {"SignalExt2", kSignalReads, false},
    {"SignalAst2", kSignalReads, false},
    {"SignalSpe2", kSignalReads, false},
    {"SignalPru2", kSignalReads, false},
    {"SignalTre2", kSignalReads, false},
    {"SignalExt3", kSignalReads, false},
    {"SignalAst3", kSignalReads, false},
    {"SignalSpe3", kSignalReads, false},
    {"SignalPru3", kSignalReads, false},
    {"SignalTre3", kSignalReads, false},
};

constexpr zpk::fuzz::LibraryUnderTest kZenobar{"ZENOBAR", kFunctions, sizeof kFunctions / sizeof kFunctions[0]};

}  // namespace

ZPK_FUZZ_TARGET(kZenobar)
