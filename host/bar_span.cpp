#include "bar_span.hpp"

#include "input_error.hpp"
#include "text.hpp"

#include <optional>

namespace zpk::host {

namespace {

std::optional<Date> rangeEnd(std::string_view text, const std::string &range) {
    text = trimmed(text);
    if (text.empty()) return std::nullopt;
    std::optional<Date> date = parseDate(text);
    if (!date) {
        throw InputError("--range " + range + ": '" + std::string(text) + "' is not a date (" +
                         kDateForms + ")");
    }
    return date;
}

}  // namespace

BarSpan allBars(const PriceTable &prices) { return BarSpan{kFirstBar, prices.lastBar()}; }

BarSpan barsInRange(const PriceTable &prices, const std::string &range) {
    const std::size_t colon = range.find(':');
    if (colon == std::string::npos) {
        throw InputError("--range " + range + " is not of the form FROM:TO (either may be empty)");
    }
    std::optional<Date> from = rangeEnd(std::string_view(range).substr(0, colon), range);
    std::optional<Date> to = rangeEnd(std::string_view(range).substr(colon + 1), range);
    if (from && to && *to < *from) throw InputError("--range " + range + " ends before it starts");
    std::optional<std::size_t> first, last;
    for (std::size_t bar = kFirstBar; bar <= prices.lastBar(); ++bar) {
        const Date &date = prices.dateOfBar(bar);
        if ((from && date < *from) || (to && *to < date)) continue;
        if (!first) first = bar;
        last = bar;
    }
    if (!first) {
        throw InputError("--range " + range + " holds no bar of the price file (its bars run from " +
                         isoDate(prices.dates.front()) + " to " + isoDate(prices.dates.back()) + ")");
    }
    return BarSpan{*first, *last};
}

}  // namespace zpk::host
