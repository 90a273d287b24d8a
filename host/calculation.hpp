// One calculation call as the host makes it: the six records filled from the price table and the
// bound arguments, the function called, its answer taken back.
#ifndef ZPK_HOST_CALCULATION_HPP
#define ZPK_HOST_CALCULATION_HPP

#include "arguments.hpp"
#include "plugin.hpp"
#include "price_file.hpp"

#include <string>
#include <vector>

namespace zpk::host {

struct CalculationResult {
    int32 status = StatusFailure;
    std::string errorText;     // only when status is not StatusSuccess
    std::vector<float> values; // one entry per bar and one for the slot before the first
    int32 firstValid = 0;      // the range as the function reported it
    int32 lastValid = -1;

    bool succeeded() const { return status == StatusSuccess; }
    // Whether `bar` lies in the reported range (a range beyond the bars selects only real bars).
    bool reports(std::size_t bar) const;
};

// Calls `function` on `prices` with `arguments` (one per declared argument, in declared order).
// Throws InputError when the function declares more arguments of one type than a record carries.
CalculationResult calculate(const FunctionInfo &function, const PriceTable &prices,
                            const std::vector<ArgumentValue> &arguments);

}  // namespace zpk::host

#endif
