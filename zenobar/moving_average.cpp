#include "moving_average.hpp"

#include "numeric.hpp"
#include "sliding_window_average.hpp"

#include <cstddef>
#include <vector>

namespace zenobar {
namespace {

// Enough valid bars for the period, inside the close range; compared on wide integers.
bool usableForPeriod(const DataArrayRec &source, int32 n, const DataArrayRec &close) {
    return n >= 1 && usableRange(source, close) &&
           static_cast<Bar>(source.firstValid) + n - 1 <= source.lastValid;
}

// Two simple passes of length m through a zero-filled scratch series of bars 0 .. L + 1 that lives
// only for this call. A scratch series that cannot be obtained throws std::bad_alloc, which the
// entry point turns into a failed call.
void triangularAverage(const DataArrayRec &source, DataArrayRec &target, int32 n) {
    const int32 m = triangularLength(n);
    std::vector<float> scratchValues(static_cast<std::size_t>(source.lastValid) + 2, 0.0f);
    DataArrayRec scratch{scratchValues.data(), 0, -1};
    slidingWindowAverage(source, scratch, m, false);
    slidingWindowAverage(scratch, target, m, false);
}

}  // namespace

double windowDivisor(int32 n, bool weighted) {
    const double count = n;
    const double divisor = weighted ? (1.0 + count) * count / 2.0 : count;
    return static_cast<float>(divisor);
}

double windowSumAfresh(const float32 *values, Bar start, int32 n, bool weighted) {
    double sum = 0.0;
    for (Bar j = 0; j < n; ++j) {
        const double weight = weighted ? static_cast<double>(j + 1) : 1.0;
        sum = sum + weight * static_cast<double>(values[start + j]);
    }
    return sum;
}

float windowAverageValue(double sum, double divisor) {
    return storedValue(clampToSingle(sum) / divisor);
}

void windowAverage(const DataArrayRec &source, DataArrayRec &target, int32 n, bool weighted) {
    const Bar first = source.firstValid;
    const Bar last = source.lastValid;
    const double divisor = windowDivisor(n, weighted);
    for (Bar start = first; start + n - 1 <= last; ++start) {
        target.values[start + n - 1] =
            windowAverageValue(windowSumAfresh(source.values, start, n, weighted), divisor);
    }
    setRange(target, first + n - 1, last);
}

void exponentialAverage(const DataArrayRec &source, DataArrayRec &target, int32 n) {
    const Bar first = source.firstValid;
    const Bar last = source.lastValid;
    const Bar seedBar = first + n - 1;
    const double factor = clampToSingle(2.0 / n);

    double seed = 0.0;
    for (Bar i = first; i <= seedBar; ++i) {
        seed = seed + static_cast<double>(source.values[i]);
    }
    seed = clampToSingle(seed);
    target.values[seedBar] = storedValue(seed / n);

    for (Bar t = seedBar + 1; t <= last; ++t) {
        const double previous = target.values[t - 1];  // the stored float32, read back
        const double x = source.values[t];
        target.values[t] = storedValue(previous + factor * (x - previous));
    }
    setRange(target, seedBar, last);
}

int32 triangularLength(int32 n) {
    return static_cast<int32>(roundHalfToEven(0.5 + (1.0 + n) / 2.0));
}

int32 movingAverage(const zpk::Call &call) {
    DataArrayRec &output = *call.result->data;
    if (!holdsOneArgument(call.dataArgs->count) || !holdsOneArgument(call.numericArgs->count) ||
        !holdsOneArgument(call.customArgs->count)) {
        return rejectCall(call.result, kWrongArgumentCount);
    }
    const DataArrayRec &source = *call.dataArgs->args[0];
    const std::optional<int32> period = truncatedPeriod(call.numericArgs->args[0]);
    const int32 method = call.customArgs->args[0];

    // An unusable period or range is no error, whatever the method says.
    if (!period || !usableForPeriod(source, *period, call.prices->close)) {
        return reportEmpty(output);
    }
    const int32 n = *period;
    switch (method) {
    case SimpleMethod:
        slidingWindowAverage(source, output, n, false);
        break;
    case TriangularMethod:
        triangularAverage(source, output, n);
        break;
    case WeightedMethod:
        slidingWindowAverage(source, output, n, true);
        break;
    case ExponentialMethod:
        exponentialAverage(source, output, n);
        break;
    default:
        return rejectCall(call.result, kUndefinedMethod);
    }
    return StatusSuccess;
}

}  // namespace zenobar
