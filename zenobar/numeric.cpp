#include "numeric.hpp"

#include <cmath>
#include <limits>

namespace zenobar {

double clampToSingle(double x) {
    const double upper = kClampUpper;
    const double lower = kClampLower;
    if (x > 0.0 || std::isnan(x)) {
        if (!(x < upper)) {  // also a NaN
            return upper;
        }
        return x < lower ? lower : x;
    }
    if (x < 0.0) {
        if (x < -upper) {
            return -upper;
        }
        return x > -lower ? -lower : x;
    }
    return x;  // +0.0 or -0.0
}

float storedValue(double x) { return static_cast<float>(clampToSingle(x)); }

double roundHalfToEven(double x) {
    const double below = std::floor(x);
    const double fraction = x - below;
    if (fraction > 0.5) {
        return below + 1.0;
    }
    if (fraction == 0.5 && std::fmod(below, 2.0) != 0.0) {
        return below + 1.0;
    }
    return below;
}

std::optional<int32> truncatedPeriod(float period) {
    const double truncated = std::trunc(static_cast<double>(period));
    if (std::isnan(truncated) || truncated < std::numeric_limits<int32>::min() ||
        truncated > std::numeric_limits<int32>::max()) {
        return std::nullopt;
    }
    return static_cast<int32>(truncated);
}

bool usableRange(const DataArrayRec &source, const DataArrayRec &close) {
    return source.firstValid >= 1 && source.lastValid >= 1 && close.firstValid <= source.firstValid &&
           source.lastValid <= close.lastValid;
}

int32 reportEmpty(DataArrayRec &output) {
    output.firstValid = 0;
    output.lastValid = -1;
    return StatusSuccess;
}

int32 rejectCall(ResultRec *result, const char *message) {
    return zpk::fail(result, message, kTextForm);
}

void setRange(DataArrayRec &output, Bar first, Bar last) {
    if (first > std::numeric_limits<int32>::max()) {
        reportEmpty(output);
        return;
    }
    output.firstValid = static_cast<int32>(first);
    output.lastValid = static_cast<int32>(last);
}

}  // namespace zenobar
