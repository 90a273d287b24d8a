#include "look_ahead.hpp"

namespace ambrel {

int32 lookAheadSignal(const zpk::Call &call) {
    const DataArrayRec &close = call.prices->close;
    DataArrayRec &out = *call.result->data;
    const int32 last = close.lastValid;

    // The range is reported before any value, whatever the close series holds. It starts at bar 1
    // whatever close.firstValid says: bars before it are compared like any other.
    out.firstValid = 1;
    out.lastValid = last;

    for (int32 i = 1; i < last; ++i) {
        const float here = close.values[i];
        const float next = close.values[i + 1];
        float mark = 0.0f;  // equal closes, and any comparison with a NaN
        if (here < next) {
            mark = 1.0f;
        }
        if (here > next) {
            mark = -1.0f;
        }
        out.values[i] = mark;
    }
    // Bar N has no next bar; it is in the reported range, so it gets a defined value.
    if (last >= 1) {
        out.values[last] = 0.0f;
    }
    return StatusSuccess;
}

}  // namespace ambrel
