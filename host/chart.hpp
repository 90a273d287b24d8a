// A chart of a run as an SVG picture: the prices (OHLC bars when few enough bars are drawn, else
// the close line) with every output series, on the price axis when its values lie on the price's
// scale and in a pane of its own below otherwise; dates along the bottom, a legend naming each
// series. Each series is drawn over its reported range only.
#ifndef ZPK_HOST_CHART_HPP
#define ZPK_HOST_CHART_HPP

#include "bar_span.hpp"
#include "calculation.hpp"
#include "price_file.hpp"

#include <string>
#include <vector>

namespace zpk::host {

struct ChartSeries {
    std::string label;                 // the call as the user wrote it
    const CalculationResult *result;   // a successful call's output
};

// The SVG document of the bars of `span`; `title` heads it.
std::string renderChart(const PriceTable &prices, BarSpan span,
                        const std::vector<ChartSeries> &series, const std::string &title);

}  // namespace zpk::host

#endif
