#include "channel_walk.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brevane {
namespace {

constexpr double kLongestLength = 100.0;
constexpr double kShortestLookBack = 1.0;

double boundLength(double length) {
    if (length > kLongestLength) {
        length = kLongestLength;
    }
    if (length < 0.0 || std::isnan(length)) {
        length = 0.0;
    }
    return length;
}

// A length of at least 1 truncated toward zero. Lengths from the engine's periods stay at or below
// 5000; a longer one walks the same offsets as the int32 limit, since no offset reaches bar 0.
int32 truncateToDepth(double length) {
    constexpr double kDeepest = std::numeric_limits<int32>::max();
    return length >= kDeepest ? std::numeric_limits<int32>::max() : static_cast<int32>(length);
}

}  // namespace

LookBackLengths boundLookBackLengths(float32 multiplier, float32 alternate) {
    // Both are limited to 100 first, then anything below 0 (or not a number) becomes 0.
    return LookBackLengths{boundLength(multiplier), boundLength(alternate)};
}

int32 lookBackDepth(const LookBackLengths &lengths, float32 period) {
    double length = lengths.alternate != 0.0 ? lengths.alternate
                                             : static_cast<double>(period) * lengths.multiplier;
    if (length < kShortestLookBack || std::isnan(length)) {
        length = kShortestLookBack;
    }
    return truncateToDepth(length);
}

float32 channelValue(const ChannelTwin &twin, const float32 *series, int32 firstOffset,
                     std::int64_t bar, int32 depth) {
    float32 running = twin.startValue;
    // Offsets at or beyond the bar are skipped: bar 0 and anything before it is never read.
    const std::int64_t lastOffset = std::min<std::int64_t>(depth, bar - 1);
    for (std::int64_t j = firstOffset; j <= lastOffset; ++j) {
        const float32 candidate = series[bar - j];
        if (replaces(twin.extreme, running, candidate)) {
            running = candidate;
        }
    }
    return running;
}

void walkChannel(const ChannelTwin &twin, const DataArrayRec &series, const float32 *periods,
                 std::size_t periodCount, const LookBackLengths &lengths, float32 *out) {
    // In 64 bits, so that a range ending at the int32 limit still ends.
    for (std::int64_t bar = series.firstValid; bar <= series.lastValid; ++bar) {
        const auto index = static_cast<std::size_t>(bar);
        const float32 period = index < periodCount ? periods[index] : 0.0f;
        out[index] = channelValue(twin, series.values, series.firstValid, bar,
                                  lookBackDepth(lengths, period));
    }
}

}  // namespace brevane
