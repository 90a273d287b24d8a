// The argument-free Signal computations. Each is exported under two or three names; all share one
// frame: the bars on which both high and low are valid, one value written per bar.
#ifndef ZENOBAR_SIGNALS_HPP
#define ZENOBAR_SIGNALS_HPP

#include "zpk/plugin.hpp"

namespace zenobar {

// Whether a bar lets its volume through, by where it opened and closed within its range.
bool volumeBarCounts(double open, double high, double low, double close);

// ln(current / previous), or 0 when the ratio is not a positive finite number.
float logarithmicChange(float previous, float current);

int32 signalVolume(const zpk::Call &call);    // the volume of the bars that count, else 0
int32 signalRun(const zpk::Call &call);       // the square root of 252 at every bar
int32 signalExt(const zpk::Call &call);       // the logarithmic change of the close
int32 signalAst(const zpk::Call &call);       // the high
int32 signalSpe(const zpk::Call &call);       // the low
int32 signalPru(const zpk::Call &call);       // the open
int32 signalTre(const zpk::Call &call);       // the close

}  // namespace zenobar

#endif
