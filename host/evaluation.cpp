#include "evaluation.hpp"

#include "encoding.hpp"

#include <algorithm>
#include <list>

namespace zpk::host {

namespace {

std::string failureOf(const std::string &text, const CalculationResult &result) {
    if (result.status == StatusFailure) return text + " failed: " + utf8FromWindows1252(result.errorText);
    return text + " returned status " + std::to_string(result.status) +
           ", which is neither success (0) nor failure (1)";
}

}  // namespace

SeriesView reportedBars(const CalculationResult &result) {
    const long long entries = static_cast<long long>(result.values.size());
    const long long first = std::max<long long>(result.firstValid, static_cast<long long>(kFirstBar));
    const long long last = std::min<long long>(result.lastValid, entries - 1);
    if (first > last) return SeriesView{result.values.data(), 0, -1};
    return SeriesView{result.values.data(), static_cast<int32>(first), static_cast<int32>(last)};
}

Evaluation evaluate(const BoundCall &call, const PriceTable &prices) {
    // The inner outputs live here until the call has run; a list keeps their addresses.
    std::list<CalculationResult> innerResults;
    std::vector<ArgumentValue> arguments;
    for (const BoundArgument &arg : call.args) {
        if (!arg.inner) {
            arguments.push_back(arg.value);
            continue;
        }
        Evaluation inner = evaluate(*arg.inner, prices);
        if (!inner.succeeded()) return Evaluation{CalculationResult{}, inner.failure};
        innerResults.push_back(std::move(inner.result));
        arguments.push_back(reportedBars(innerResults.back()));
    }
    Evaluation evaluation{calculate(*call.function, prices, arguments), {}};
    if (!evaluation.result.succeeded()) evaluation.failure = failureOf(call.text, evaluation.result);
    return evaluation;
}

}  // namespace zpk::host
