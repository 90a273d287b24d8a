#include "signals.hpp"

#include "numeric.hpp"

#include <algorithm>
#include <cmath>

namespace zenobar {
namespace {

struct BarRange {
    Bar first;
    Bar last;
};

// The bars on which high and low are both valid. A range that starts before bar 0 starts at bar 0:
// nothing is written before the host's array.
BarRange commonRange(const PriceDataRec &prices) {
    const Bar first = std::max(prices.high.firstValid, prices.low.firstValid);
    const Bar last = std::min(prices.high.lastValid, prices.low.lastValid);
    return BarRange{std::max<Bar>(first, 0), last};
}

// The frame of every Signal computation: writeBar(i) for every bar of the range in increasing
// order, then the range itself (also when it is empty), and success.
template <class WriteBar>
int32 writeEachBar(DataArrayRec &output, BarRange range, WriteBar writeBar) {
    for (Bar i = range.first; i <= range.last; ++i) {
        writeBar(i);
    }
    setRange(output, range.first, range.last);
    return StatusSuccess;
}

// The bars of the series copied unchanged, bit for bit.
int32 copySeries(const zpk::Call &call, const DataArrayRec &series) {
    DataArrayRec &output = *call.result->data;
    return writeEachBar(output, commonRange(*call.prices),
                        [&](Bar i) { output.values[i] = series.values[i]; });
}

}  // namespace

bool volumeBarCounts(double open, double high, double low, double close) {
    const double range = high - low;
    const double third = range / 3.0;
    // A NaN makes the two negated comparisons true and every other one false. Every comparison is
    // made and joined with & and |: the same truth values as the short-circuit forms, without a
    // branch per comparison that price data would send either way at random.
    const bool fellOpenedHighClosedAboveLowThird =
        (third * 2.0 > high - close) & (open >= close) & !(high - third >= open);
    const bool roseClosedInTopThird = (close - low >= third * 2.0) & !(open >= close);
    // Holds, for an open inside the bar, only on a bar without range.
    const bool openedTwoRangesAboveLow = open - low >= 2.0 * (range / 1.0);
    return fellOpenedHighClosedAboveLowThird | roseClosedInTopThird | openedTwoRangesAboveLow;
}

float logarithmicChange(float previous, float current) {
    const double ratio = static_cast<double>(current) / static_cast<double>(previous);
    if (!(ratio > 0.0) || std::isinf(ratio)) {
        return 0.0f;
    }
    return static_cast<float>(std::log(ratio));
}

int32 signalVolume(const zpk::Call &call) {
    const PriceDataRec &prices = *call.prices;
    DataArrayRec &output = *call.result->data;
    const BarRange range = commonRange(prices);
    // The close gate: a close series from bar 1 on. With bars to write and a closed gate the call
    // computes nothing, so it reports the empty result rather than bars it never wrote.
    const bool closeGateOpen = prices.close.firstValid > 0 && prices.close.lastValid > 0;
    if (range.last >= range.first && !closeGateOpen) {
        return reportEmpty(output);
    }
    return writeEachBar(output, range, [&](Bar i) {
        const float volume = prices.volume.values[i];
        const bool counts = volumeBarCounts(prices.open.values[i], prices.high.values[i],
                                            prices.low.values[i], prices.close.values[i]);
        output.values[i] = counts ? volume : 0.0f;
    });
}

int32 signalRun(const zpk::Call &call) {
    DataArrayRec &output = *call.result->data;
    const float rootOf252 = static_cast<float>(std::sqrt(252.0));
    return writeEachBar(output, commonRange(*call.prices),
                        [&](Bar i) { output.values[i] = rootOf252; });
}

int32 signalExt(const zpk::Call &call) {
    const DataArrayRec &close = call.prices->close;
    DataArrayRec &output = *call.result->data;
    return writeEachBar(output, commonRange(*call.prices), [&](Bar i) {
        // Bar 0 has no earlier close. Elsewhere the bar before is read whatever the close range
        // says about it.
        output.values[i] = i == 0 ? 0.0f : logarithmicChange(close.values[i - 1], close.values[i]);
    });
}

int32 signalAst(const zpk::Call &call) { return copySeries(call, call.prices->high); }
int32 signalSpe(const zpk::Call &call) { return copySeries(call, call.prices->low); }
int32 signalPru(const zpk::Call &call) { return copySeries(call, call.prices->open); }
int32 signalTre(const zpk::Call &call) { return copySeries(call, call.prices->close); }

}  // namespace zenobar
