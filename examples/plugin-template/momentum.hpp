// The computations of MyPlugin, one per row of functions.inc.
#ifndef MYPLUGIN_MOMENTUM_HPP
#define MYPLUGIN_MOMENTUM_HPP

#include "zpk/plugin.hpp"

namespace myplugin {

// The messages of a rejected call (at most 99 characters each).
inline constexpr const char *kWrongArguments = "Wrong number of arguments";
inline constexpr const char *kBadPeriods = "Periods must be a whole number from 1 to 10000";

// Momentum(Data, Periods): Data[i] - Data[i - Periods] at every bar i from Data.firstValid +
// Periods to Data.lastValid.
int32 momentum(const zpk::Call &call);

}  // namespace myplugin

#endif
