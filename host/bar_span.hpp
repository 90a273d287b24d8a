// The bars a run prints and draws: all of them, or those whose dates lie in --range FROM:TO.
#ifndef ZPK_HOST_BAR_SPAN_HPP
#define ZPK_HOST_BAR_SPAN_HPP

#include "price_file.hpp"

#include <cstddef>
#include <string>

namespace zpk::host {

// Bars first..last, both included (bar numbers as the plug-ins see them); never empty.
struct BarSpan {
    std::size_t first = 0;
    std::size_t last = 0;

    std::size_t count() const { return last - first + 1; }
    bool contains(std::size_t bar) const { return first <= bar && bar <= last; }
};

BarSpan allBars(const PriceTable &prices);

// The bars dated FROM to TO, both included, from `range` written FROM:TO in any date form of the
// price files; either side may be left empty for the first or last bar. Throws InputError for a
// range that does not parse, runs backwards or holds no bar of `prices`.
BarSpan barsInRange(const PriceTable &prices, const std::string &range);

}  // namespace zpk::host

#endif
