// The channel of ChannelHigh and ChannelLow in one sweep over the bars: the same values as the
// literal walk of channel_walk.hpp, in constant time per bar whatever the shape of the prices.
#ifndef BREVANE_CHANNEL_SWEEP_HPP
#define BREVANE_CHANNEL_SWEEP_HPP

#include "channel_walk.hpp"
#include "zpk/zpk.h"

#include <cstddef>

namespace brevane {

// What walkChannel(twin, series, periods, periodCount, lengths, out) writes, value for value and
// bit for bit: entries firstValid .. lastValid of `out`.
//
// The window of bar i runs from its newest bar i - FS back to its oldest, max(i - depth, 1), and the
// walk keeps the first candidate that no later one replaces. The newest bar advances by one bar
// per bar, so the candidates that can still win are kept in a stack ordered by bar: each one is
// replaced (by the walk's rule) by no candidate newer than it, and each one replaces all newer ones.
// The candidate the walk keeps for a window is then the first candidate at or after the window's
// oldest bar, found in a ring of bits with one set per candidate; it takes the bar's value when it
// replaces the start value. Each bar joins and leaves the stack at most once, and each search takes
// a few word operations: a summary word stands for 4096 bars, so one or two of them cover the
// deepest windows the engine's periods give (5000 bars). The memory grows with the deepest window,
// not with the bars; if it cannot be obtained, the literal walk runs instead.
void sweepChannel(const ChannelTwin &twin, const DataArrayRec &series, const float32 *periods,
                  std::size_t periodCount, const LookBackLengths &lengths, float32 *out);

}  // namespace brevane

#endif
