#include "momentum.hpp"

#include <cmath>

namespace myplugin {

namespace {

constexpr double kMaxPeriods = 10000.0;

}  // namespace

int32 momentum(const zpk::Call &call) {
    // The host passes each argument in the record of its type; check the counts before reading
    // any entry, and never trust an entry beyond `count`.
    if (call.dataArgs->count != 1 || call.numericArgs->count != 1) {
        return zpk::fail(call.result, kWrongArguments, zpk::TextForm::Padded);
    }
    const DataArrayRec &data = *call.dataArgs->args[0];
    const double periods = call.numericArgs->args[0];
    // NaN fails every comparison, so it is rejected here too.
    if (!(periods >= 1.0 && periods <= kMaxPeriods) || std::floor(periods) != periods) {
        return zpk::fail(call.result, kBadPeriods, zpk::TextForm::Padded);
    }
    const int32 n = static_cast<int32>(periods);

    DataArrayRec &out = *call.result->data;
    // Too few bars is no error: an empty range (0..-1) and StatusSuccess. The subtraction keeps
    // the comparison free of overflow whatever range the host passes.
    if (data.lastValid < data.firstValid || data.lastValid - data.firstValid < n) {
        out.firstValid = 0;
        out.lastValid = -1;
        return StatusSuccess;
    }
    // Write only the output series, and only bars of the input's range; the host's array has room
    // for every bar. Intermediates in double, each stored value rounded once to float.
    for (int32 i = data.firstValid + n; i <= data.lastValid; ++i) {
        const double change = static_cast<double>(data.values[i]) - data.values[i - n];
        out.values[i] = static_cast<float>(change);
    }
    out.firstValid = data.firstValid + n;
    out.lastValid = data.lastValid;
    return StatusSuccess;
}

}  // namespace myplugin
