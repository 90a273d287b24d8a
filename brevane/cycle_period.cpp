// BrevanePeriod hands the engine's periods of its data array to the host.
#include "arguments.hpp"
#include "call_rules.hpp"
#include "computations.hpp"

#include <algorithm>

namespace brevane {

int32 cyclePeriod(const zpk::Call &call) {
    if (!countsMatch(call, kPeriodArgs)) {
        return rejectCall(call.result);
    }
    const DataArrayRec &input = *call.dataArgs->args[0];
    if (!rangeAccepted(input)) {
        return rejectCall(call.result);
    }
    DataArrayRec &out = *call.result->data;
    if (reportedRangeOverflows(input.firstValid)) {
        return reportNoBars(out);
    }

    int32 status;
    {
        const MeasuredCycle cycle = measureCycle(input);
        // Every entry 0..lastValid, the zeros before the first computed bar included.
        std::copy(cycle.periods.begin(), cycle.periods.end(), out.values);
        status = cycle.status;
    }
    out.firstValid = input.firstValid + kUnreportedBars;
    out.lastValid = input.lastValid;

    if (status != 0) {
        return failCalculation(call.result);
    }
    return StatusSuccess;
}

}  // namespace brevane
