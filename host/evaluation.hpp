// Running a bound call: the calls inside it first, each output handed on as a data array with the
// range its function reported, then the call itself.
#ifndef ZPK_HOST_EVALUATION_HPP
#define ZPK_HOST_EVALUATION_HPP

#include "binding.hpp"
#include "calculation.hpp"

#include <string>

namespace zpk::host {

struct Evaluation {
    CalculationResult result;
    // Empty when the call and every call inside it succeeded; else one line saying which call
    // failed and how ("ChannelHigh(close, 1, 0) failed: Invalid Argument(s)").
    std::string failure;

    bool succeeded() const { return failure.empty(); }
};

// Throws InputError only for what binding could not see (too many arguments of one type).
Evaluation evaluate(const BoundCall &call, const PriceTable &prices);

// The bars of `result`'s reported range that the security has: a range that reaches beyond the
// bars (or onto the slot before the first) selects only real ones. Empty as 0..-1.
SeriesView reportedBars(const CalculationResult &result);

}  // namespace zpk::host

#endif
