// ChannelHigh and ChannelLow: one algorithm over the twin table of channel_walk.hpp.
#include "arguments.hpp"
#include "call_rules.hpp"
#include "channel_sweep.hpp"
#include "channel_walk.hpp"
#include "computations.hpp"

namespace brevane {
namespace {

int32 channelBreakout(const ChannelTwin &twin, const zpk::Call &call) {
    if (!countsMatch(call, kChannelArgs)) {
        return rejectCall(call.result);
    }
    const DataArrayRec &user = *call.dataArgs->args[0];
    const DataArrayRec &series = call.prices->*twin.series;
    if (!rangeAccepted(user) || !rangeAccepted(series)) {
        return rejectCall(call.result);
    }
    DataArrayRec &out = *call.result->data;
    if (reportedRangeOverflows(series.firstValid)) {
        return reportNoBars(out);
    }

    int32 status;
    {
        // The cycle is measured in every accepted call, also when a fixed length makes it unused.
        const MeasuredCycle cycle = measureCycle(user);
        const LookBackLengths lengths =
            boundLookBackLengths(call.numericArgs->args[kMultiplierEntry],
                                 call.numericArgs->args[kAlternateEntry]);
        sweepChannel(twin, series, cycle.periods.data(), cycle.periods.size(), lengths, out.values);
        status = cycle.status;
    }
    out.firstValid = series.firstValid + kUnreportedBars;
    out.lastValid = series.lastValid;

    if (status != 0) {
        return failCalculation(call.result);
    }
    return StatusSuccess;
}

}  // namespace

int32 channelHigh(const zpk::Call &call) { return channelBreakout(kHighChannel, call); }

int32 channelLow(const zpk::Call &call) { return channelBreakout(kLowChannel, call); }

}  // namespace brevane
