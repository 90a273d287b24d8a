// The channel of ChannelHigh and ChannelLow: for every bar of a price series, the highest (or
// lowest) value over a look-back window whose depth comes from a fixed length or from the bar's cycle
// period times a multiplier. The two functions are one algorithm; what differs is one row of data.
#ifndef BREVANE_CHANNEL_WALK_HPP
#define BREVANE_CHANNEL_WALK_HPP

#include "zpk/zpk.h"

#include <cstddef>
#include <cstdint>

namespace brevane {

// Which candidate replaces the running value of a bar.
enum class Extreme {
    Highest,  // a candidate above the running value
    Lowest,   // a candidate below the running value
};

// Everything in which ChannelHigh and ChannelLow differ.
struct ChannelTwin {
    DataArrayRec PriceDataRec::*series;  // the price series the channel is taken over
    float32 startValue;                  // every bar's running value before its window is walked
    Extreme extreme;
};

inline constexpr ChannelTwin kHighChannel{&PriceDataRec::high, 0.0f, Extreme::Highest};
inline constexpr ChannelTwin kLowChannel{&PriceDataRec::low, 100000.0f, Extreme::Lowest};

// True if `candidate` replaces the running value of a bar: strictly above it (Highest) or strictly
// below it (Lowest). A NaN candidate never does, and of equal values the one met first stays.
inline bool replaces(Extreme extreme, float32 running, float32 candidate) {
    return extreme == Extreme::Highest ? running < candidate : running > candidate;
}

// The two numeric arguments, widened and bounded to 0..100 (a NaN counts as 0).
struct LookBackLengths {
    double multiplier;
    double alternate;  // a fixed length; 0 when the period and the multiplier decide
};

LookBackLengths boundLookBackLengths(float32 multiplier, float32 alternate);

// The window depth of a bar whose cycle period is `period`: the alternate length if it is not 0,
// else the period times the multiplier; at least 1 (a NaN counts as 1), truncated toward zero.
int32 lookBackDepth(const LookBackLengths &lengths, float32 period);

// The channel value of `bar`: the twin's start value, replaced by the candidates S[bar - j] for the
// offsets j from `firstOffset` (the price series' firstValid) up to `depth`, as long as j < bar.
float32 channelValue(const ChannelTwin &twin, const float32 *series, int32 firstOffset,
                     std::int64_t bar, int32 depth);

// Writes the channel value of every bar of `series`' valid range into `out` (entries firstValid ..
// lastValid; none when the range is reversed). `periods` holds the cycle period of bars 0 ..
// periodCount - 1; a bar at or beyond periodCount has period 0.
//
// This is the literal walk: every bar visits its offsets one by one (up to 5000 of them). The
// channel functions run sweepChannel (channel_sweep.hpp), which gives the same values in
// O(log depth) per bar; this is its reference, and its fallback when its memory is not obtained.
void walkChannel(const ChannelTwin &twin, const DataArrayRec &series, const float32 *periods,
                 std::size_t periodCount, const LookBackLengths &lengths, float32 *out);

}  // namespace brevane

#endif
