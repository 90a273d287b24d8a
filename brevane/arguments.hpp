// The argument lists of Brevane's functions: what the host is told (ZPKNthArg) and what every call
// is checked against, from the same rows.
#ifndef BREVANE_ARGUMENTS_HPP
#define BREVANE_ARGUMENTS_HPP

#include "zpk/plugin.hpp"

namespace brevane {

inline constexpr zpk::ArgRow kPeriodArgs[] = {
    {DataArrayArg, "PriceDataArray"},
};

// ChannelHigh and ChannelLow share one list. The numbers arrive in this order in NumericArgs.
inline constexpr zpk::ArgRow kChannelArgs[] = {
    {DataArrayArg, "UserPriceArray"},
    {NumericArg, "PeriodMultiplier"},
    {NumericArg, "AlternatePeriod"},
};
constexpr int kMultiplierEntry = 0;
constexpr int kAlternateEntry = 1;

}  // namespace brevane

#endif
