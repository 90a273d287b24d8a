#include "call_rules.hpp"

#include "hilbert_period.hpp"

#include <limits>
#include <new>
#include <stdexcept>

namespace brevane {
namespace {

int32 countOfType(const zpk::ArgRow *args, std::size_t argCount, int32 type) {
    int32 count = 0;
    for (std::size_t k = 0; k < argCount; ++k) {
        if (args[k].type == type) {
            ++count;
        }
    }
    return count;
}

}  // namespace

bool countsMatch(const zpk::Call &call, const zpk::ArgRow *args, std::size_t argCount) {
    return call.dataArgs->count == countOfType(args, argCount, DataArrayArg) &&
           call.numericArgs->count == countOfType(args, argCount, NumericArg) &&
           call.stringArgs->count == countOfType(args, argCount, StringArg) &&
           call.customArgs->count == countOfType(args, argCount, CustomArg);
}

bool rangeAccepted(const DataArrayRec &series) {
    return series.firstValid >= 0 && series.lastValid >= 1;
}

int32 rejectCall(ResultRec *result) { return zpk::fail(result, kInvalidArguments, kTextForm); }

int32 failCalculation(ResultRec *result) {
    return zpk::fail(result, kCalculationFailed, kTextForm);
}

bool reportedRangeOverflows(int32 firstValid) {
    return firstValid > std::numeric_limits<int32>::max() - kUnreportedBars;
}

int32 reportNoBars(DataArrayRec &out) {
    out.firstValid = 0;
    out.lastValid = -1;
    return StatusSuccess;
}

MeasuredCycle measureCycle(const DataArrayRec &series) {
    MeasuredCycle cycle{{}, kScratchNotObtained};
    // Bars 0..lastValid must be countable in the engine's int32 bar count.
    if (series.lastValid == std::numeric_limits<int32>::max()) {
        return cycle;
    }
    const int32 barCount = series.lastValid + 1;
    try {
        cycle.periods.assign(static_cast<std::size_t>(barCount), 0.0f);
    } catch (const std::bad_alloc &) {
        return cycle;
    } catch (const std::length_error &) {  // more bars than a vector can hold on this target
        return cycle;
    }
    cycle.status = CalcHilbertPeriod(series.values, series.firstValid, series.lastValid,
                                     cycle.periods.data(), barCount);
    return cycle;
}

}  // namespace brevane
