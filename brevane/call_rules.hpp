// What Brevane's three calculation functions share: how a call is checked, its messages, how too few
// bars are reported, and how the period array of a call is obtained and measured.
#ifndef BREVANE_CALL_RULES_HPP
#define BREVANE_CALL_RULES_HPP

#include "zpk/plugin.hpp"

#include <cstddef>
#include <vector>

namespace brevane {

// Brevane pads copyright and errorText with NUL up to the 99th byte.
constexpr zpk::TextForm kTextForm = zpk::TextForm::Padded;

constexpr const char *kInvalidArguments = "Invalid Argument(s)";
constexpr const char *kCalculationFailed = "Hilbert Period Calculation Failed";

// The output range starts this many bars after the first valid input bar: the engine computes
// nothing before firstValid + 5, and its first value (always 1.2) is not reported.
constexpr int32 kUnreportedBars = 6;

// True if the four argument counts are those of the function's argument list, checked in the order
// data, numeric, string, custom.
template <std::size_t N>
bool countsMatch(const zpk::Call &call, const zpk::ArgRow (&args)[N]);

bool countsMatch(const zpk::Call &call, const zpk::ArgRow *args, std::size_t argCount);

// A series the functions accept: firstValid >= 0 and lastValid >= 1. Its firstValid and lastValid
// are not compared with each other.
bool rangeAccepted(const DataArrayRec &series);

// A rejected call: "Invalid Argument(s)", the empty range, StatusFailure.
int32 rejectCall(ResultRec *result);

// A calculation whose measurement failed: its message, the empty range, StatusFailure.
int32 failCalculation(ResultRec *result);

// True if firstValid + kUnreportedBars passes the int32 limit. Such a call has too few bars.
bool reportedRangeOverflows(int32 firstValid);

// Too few bars to report even an empty range from firstValid on: StatusSuccess with 0..-1.
int32 reportNoBars(DataArrayRec &out);

// The cycle periods of one call: one float per bar 0..lastValid of the measured series, zero where
// the engine computes nothing, and the engine's status. An array that cannot be obtained is left
// empty with a failed status.
struct MeasuredCycle {
    std::vector<float32> periods;
    int32 status;
};

MeasuredCycle measureCycle(const DataArrayRec &series);

template <std::size_t N>
bool countsMatch(const zpk::Call &call, const zpk::ArgRow (&args)[N]) {
    return countsMatch(call, args, N);
}

}  // namespace brevane

#endif
