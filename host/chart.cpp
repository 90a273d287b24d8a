#include "chart.hpp"

#include "evaluation.hpp"
#include "report.hpp"
#include "svg.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>

namespace zpk::host {

namespace {

// ---- layout --------------------------------------------------------------------------------------

constexpr double kWidth = 1200;
constexpr double kPlotLeft = 14;
constexpr double kPlotRight = 1118;  // the value labels sit to the right
constexpr double kTitleHeight = 36;
constexpr double kPricePaneHeight = 400;
constexpr double kPaneHeight = 130;
constexpr double kSignalPaneHeight = 96;
constexpr double kPaneGap = 14;
constexpr double kDateAxisHeight = 30;
// Up to this many bars the prices are drawn as OHLC bars, beyond as the close line.
constexpr std::size_t kMostOhlcBars = 260;

const char *const kSeriesColours[] = {"#1f6fd1", "#e8730c", "#8a3fc8", "#0f9d9a",
                                      "#d6338a", "#7a5230", "#6b8e23", "#5b6472"};
constexpr const char *kUpColour = "#1a8f55";
constexpr const char *kDownColour = "#cc3333";
constexpr const char *kCloseColour = "#2b3440";
constexpr const char *kGridColour = "#ebedf0";
constexpr const char *kFrameColour = "#c9cdd3";
constexpr const char *kLabelColour = "#4a4f57";

const char *colourOf(std::size_t series) { return kSeriesColours[series % std::size(kSeriesColours)]; }

// The bars of `span` spread over the plot's width, each in a slot of its own.
struct TimeAxis {
    BarSpan span;
    double slot() const { return (kPlotRight - kPlotLeft) / static_cast<double>(span.count()); }
    double x(std::size_t bar) const { return kPlotLeft + (static_cast<double>(bar - span.first) + 0.5) * slot(); }
};

struct ValueScale {
    double low = 0, high = 1;
    double top = 0, height = 0;
    double y(double value) const { return top + (high - value) / (high - low) * height; }
};

// One pane: its place, its scale and the series drawn in it.
struct Pane {
    bool prices = false;
    bool signal = false;  // a series of a few values (+1/-1 and the like), drawn as columns
    std::vector<std::size_t> series;
    ValueScale scale;
};

// ---- the values to draw ----------------------------------------------------------------------------

bool inRange(const PriceSeries &series, std::size_t bar) {
    const long long b = static_cast<long long>(bar);
    return series.firstValid <= b && b <= series.lastValid && std::isfinite(series.values[bar]);
}

std::optional<double> seriesValue(const ChartSeries &series, std::size_t bar) {
    const SeriesView bars = reportedBars(*series.result);
    const long long b = static_cast<long long>(bar);
    if (b < bars.firstValid || b > bars.lastValid) return std::nullopt;
    const float value = series.result->values[bar];
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

struct Extent {
    double low = INFINITY, high = -INFINITY;
    bool empty() const { return low > high; }
    void add(double value) {
        low = std::min(low, value);
        high = std::max(high, value);
    }
};

Extent priceExtent(const PriceTable &prices, BarSpan span) {
    Extent extent;
    for (std::size_t bar = span.first; bar <= span.last; ++bar) {
        for (const PriceSeries *series : {&prices.low, &prices.high, &prices.close}) {
            if (inRange(*series, bar)) extent.add(series->values[bar]);
        }
    }
    return extent;
}

Extent seriesExtent(const ChartSeries &series, BarSpan span) {
    Extent extent;
    for (std::size_t bar = span.first; bar <= span.last; ++bar) {
        if (std::optional<double> value = seriesValue(series, bar)) extent.add(*value);
    }
    return extent;
}

// A series that takes two or three whole values only: a +1/-1 signal, a 0/1 flag. (A constant is
// no signal: it is drawn as a line.)
bool isSignal(const ChartSeries &series, BarSpan span) {
    std::set<double> values;
    for (std::size_t bar = span.first; bar <= span.last && values.size() <= 3; ++bar) {
        std::optional<double> value = seriesValue(series, bar);
        if (!value) continue;
        if (*value != std::round(*value)) return false;
        values.insert(*value);
    }
    return values.size() >= 2 && values.size() <= 3;
}

// On the price's scale: nearly all of its values lie within the price range widened by a quarter
// of its height on either side (channels, moving averages, prices shifted or combined).
bool onPriceScale(const ChartSeries &series, BarSpan span, const Extent &prices) {
    if (prices.empty()) return false;
    const double margin = std::max(prices.high - prices.low, std::fabs(prices.high) * 0.01) * 0.25;
    std::size_t inside = 0, all = 0;
    for (std::size_t bar = span.first; bar <= span.last; ++bar) {
        std::optional<double> value = seriesValue(series, bar);
        if (!value) continue;
        ++all;
        if (*value >= prices.low - margin && *value <= prices.high + margin) ++inside;
    }
    return all == 0 || static_cast<double>(inside) >= 0.9 * static_cast<double>(all);
}

// ---- scales and ticks -------------------------------------------------------------------------------

double niceStep(double range, int ticks) {
    const double raw = range / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (raw <= factor * magnitude) return factor * magnitude;
    }
    return 10.0 * magnitude;
}

ValueScale scaleFor(Extent extent, double top, double height, bool signal) {
    if (extent.empty()) extent = Extent{0, 1};
    if (signal) {
        extent.add(0.0);
        const double reach = std::max(std::fabs(extent.low), std::fabs(extent.high));
        extent = Extent{-reach, reach};
    }
    if (extent.high - extent.low < 1e-12) extent = Extent{extent.low - 1, extent.high + 1};
    const double pad = (extent.high - extent.low) * 0.06;
    return ValueScale{extent.low - pad, extent.high + pad, top, height};
}

std::string tickText(double value, double step) {
    int decimals = 0;
    while (decimals < 6 && std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) > 1e-9) {
        ++decimals;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(value) < step * 1e-9 ? 0.0 : value);
    return text;
}

void drawValueAxis(SvgDocument &svg, const ValueScale &scale, int ticks) {
    const double step = niceStep(scale.high - scale.low, ticks);
    for (double value = std::ceil(scale.low / step) * step; value <= scale.high; value += step) {
        const double y = scale.y(value);
        svg.line(kPlotLeft, y, kPlotRight, y, kGridColour, 1);
        svg.text(kPlotRight + 6, y + 4, tickText(value, step), "start", 11, kLabelColour);
    }
}

struct Pane;

// ---- the date axis -------------------------------------------------------------------------------------

enum class DateStep { Week, Month, Quarter, Year };

DateStep dateStepFor(const PriceTable &prices, BarSpan span) {
    const long long days = dayNumber(prices.dateOfBar(span.last)) - dayNumber(prices.dateOfBar(span.first));
    if (days > 4 * 365) return DateStep::Year;
    if (days > 540) return DateStep::Quarter;
    if (days > 100) return DateStep::Month;
    return DateStep::Week;
}

// The period a date falls in: a new one starts a tick.
long long periodOf(const Date &date, DateStep step) {
    switch (step) {
    case DateStep::Year: return date.year;
    case DateStep::Quarter: return date.year * 4 + (date.month - 1) / 3;
    case DateStep::Month: return date.year * 12 + date.month - 1;
    default: return (dayNumber(date) + 3) / 7;  // weeks from Monday to Sunday
    }
}

std::string dateLabel(const Date &date, DateStep step, bool yearChanged) {
    char text[32];
    switch (step) {
    case DateStep::Year: std::snprintf(text, sizeof text, "%d", date.year); break;
    case DateStep::Quarter:
    case DateStep::Month:
        if (yearChanged) {
            std::snprintf(text, sizeof text, "%s %d", monthAbbreviation(date.month), date.year);
        } else {
            std::snprintf(text, sizeof text, "%s", monthAbbreviation(date.month));
        }
        break;
    default: std::snprintf(text, sizeof text, "%s %d", monthAbbreviation(date.month), date.day);
    }
    return text;
}

void drawDateAxis(SvgDocument &svg, const PriceTable &prices, const TimeAxis &axis, const std::vector<Pane> &panes) {
    const double bottom = panes.back().scale.top + panes.back().scale.height;
    const DateStep step = dateStepFor(prices, axis.span);
    double lastLabelRight = -1e9;
    int lastYear = prices.dateOfBar(axis.span.first).year - 1;
    for (std::size_t bar = axis.span.first + 1; bar <= axis.span.last; ++bar) {
        const Date &date = prices.dateOfBar(bar);
        if (periodOf(date, step) == periodOf(prices.dateOfBar(bar - 1), step)) continue;
        const double x = axis.x(bar) - axis.slot() / 2;
        for (const Pane &pane : panes) {
            svg.line(x, pane.scale.top, x, pane.scale.top + pane.scale.height, kGridColour, 1);
        }
        svg.line(x, bottom, x, bottom + 5, kFrameColour, 1);
        const std::string label = dateLabel(date, step, date.year != lastYear);
        const double halfWidth = static_cast<double>(label.size()) * 3.4;
        if (x - halfWidth < lastLabelRight + 8 || x + halfWidth > kWidth - 4) continue;
        svg.text(x, bottom + 18, label, "middle", 11, kLabelColour);
        lastLabelRight = x + halfWidth;
        lastYear = date.year;
    }
}

// ---- drawing -------------------------------------------------------------------------------------

void drawFrame(SvgDocument &svg, const Pane &pane) {
    svg.rect(kPlotLeft, pane.scale.top, kPlotRight - kPlotLeft, pane.scale.height, "none",
             std::string("stroke=\"") + kFrameColour + "\" stroke-width=\"1\"");
}

void drawOhlcBars(SvgDocument &svg, const PriceTable &prices, const TimeAxis &axis, const ValueScale &scale) {
    const double tick = std::clamp(axis.slot() * 0.36, 1.0, 5.0);
    const double width = axis.slot() > 5 ? 1.4 : 1.0;
    std::string up, down;
    for (std::size_t bar = axis.span.first; bar <= axis.span.last; ++bar) {
        if (!inRange(prices.open, bar) || !inRange(prices.high, bar) || !inRange(prices.low, bar) ||
            !inRange(prices.close, bar)) {
            continue;
        }
        const double x = axis.x(bar);
        const double open = prices.open.values[bar], close = prices.close.values[bar];
        std::string &d = close >= open ? up : down;
        d += "M" + coordinate(x) + " " + coordinate(scale.y(prices.high.values[bar])) + "V" +
             coordinate(scale.y(prices.low.values[bar])) + "M" + coordinate(x - tick) + " " +
             coordinate(scale.y(open)) + "H" + coordinate(x) + "M" + coordinate(x) + " " +
             coordinate(scale.y(close)) + "H" + coordinate(x + tick) + " ";
    }
    if (!up.empty()) svg.path(up, kUpColour, width, "stroke-linecap=\"butt\"");
    if (!down.empty()) svg.path(down, kDownColour, width, "stroke-linecap=\"butt\"");
}

void drawCloseLine(SvgDocument &svg, const PriceTable &prices, const TimeAxis &axis, const ValueScale &scale) {
    PathBuilder line;
    for (std::size_t bar = axis.span.first; bar <= axis.span.last; ++bar) {
        if (!inRange(prices.close, bar)) {
            line.gap();
            continue;
        }
        line.point(axis.x(bar), scale.y(prices.close.values[bar]));
    }
    if (!line.empty()) svg.path(line.d(), kCloseColour, 1.3);
}

void drawSeriesLine(SvgDocument &svg, const ChartSeries &series, const TimeAxis &axis, const ValueScale &scale,
                    const char *colour) {
    PathBuilder line;
    for (std::size_t bar = axis.span.first; bar <= axis.span.last; ++bar) {
        std::optional<double> value = seriesValue(series, bar);
        if (!value) {
            line.gap();
            continue;
        }
        line.point(axis.x(bar), scale.y(*value));
    }
    if (!line.empty()) svg.path(line.d(), colour, 1.6);
}

void drawSignalColumns(SvgDocument &svg, const ChartSeries &series, const TimeAxis &axis, const ValueScale &scale) {
    const double width = std::max(1.0, axis.slot() * 0.7);
    const double zero = scale.y(0.0);
    std::string up, down;
    for (std::size_t bar = axis.span.first; bar <= axis.span.last; ++bar) {
        std::optional<double> value = seriesValue(series, bar);
        if (!value || *value == 0.0) continue;
        const double x = axis.x(bar) - width / 2;
        (*value > 0 ? up : down) += "M" + coordinate(x) + " " + coordinate(zero) + "V" + coordinate(scale.y(*value)) +
                                    "h" + coordinate(width) + "V" + coordinate(zero) + "Z ";
    }
    if (!up.empty()) svg.raw("<path d=\"" + up + "\" fill=\"" + kUpColour + "\" fill-opacity=\"0.85\"/>\n");
    if (!down.empty()) svg.raw("<path d=\"" + down + "\" fill=\"" + kDownColour + "\" fill-opacity=\"0.85\"/>\n");
    svg.line(kPlotLeft, zero, kPlotRight, zero, kFrameColour, 1);
}

// A value as a legend shows it: six significant digits are enough to read.
std::string shortValue(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// The value of the last bar of `span` that has one, for the legend.
std::string lastValueText(const ChartSeries &series, BarSpan span) {
    for (std::size_t bar = span.last + 1; bar-- > span.first;) {
        if (std::optional<double> value = seriesValue(series, bar)) return shortValue(*value);
    }
    return "(no values in these bars)";
}

struct LegendEntry {
    std::string text;
    std::string colour;
};

constexpr double kLegendRowHeight = 18;

// Where each entry of a legend goes: rows of entries side by side above the pane, a new row when
// the plot's width is full.
struct PlacedEntry {
    double x;
    int row;
};

double textWidth(const std::string &text) { return static_cast<double>(text.size()) * 6.7; }

std::vector<PlacedEntry> placeLegend(const std::vector<LegendEntry> &entries) {
    std::vector<PlacedEntry> placed;
    double x = kPlotLeft;
    int row = 0;
    for (const LegendEntry &entry : entries) {
        const double width = 24 + textWidth(entry.text) + 22;
        if (x > kPlotLeft && x + width > kPlotRight) {
            x = kPlotLeft;
            ++row;
        }
        placed.push_back({x, row});
        x += width;
    }
    return placed;
}

double legendHeight(const std::vector<LegendEntry> &entries) {
    if (entries.empty()) return 0;
    return kLegendRowHeight * (placeLegend(entries).back().row + 1);
}

void drawLegend(SvgDocument &svg, const std::vector<LegendEntry> &entries, double paneTop) {
    const std::vector<PlacedEntry> placed = placeLegend(entries);
    const double top = paneTop - legendHeight(entries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const double y = top + kLegendRowHeight * placed[i].row + 13;
        svg.line(placed[i].x + 2, y - 4, placed[i].x + 20, y - 4, entries[i].colour, 3);
        svg.text(placed[i].x + 26, y, entries[i].text, "start", 12, "#1d2127");
    }
}

std::string priceLegendText(const PriceTable &prices, BarSpan span, bool ohlc) {
    std::string text = ohlc ? "Open, high, low, close" : "Close";
    for (std::size_t bar = span.last + 1; bar-- > span.first;) {
        if (inRange(prices.close, bar)) return text + "  " + shortValue(prices.close.values[bar]);
    }
    return text;
}

std::vector<LegendEntry> legendOf(const PriceTable &prices, BarSpan span, const Pane &pane,
                                  const std::vector<ChartSeries> &series) {
    std::vector<LegendEntry> legend;
    if (pane.prices) {
        const bool ohlc = span.count() <= kMostOhlcBars;
        legend.push_back({priceLegendText(prices, span, ohlc), ohlc ? kUpColour : kCloseColour});
    }
    for (std::size_t s : pane.series) {
        legend.push_back({series[s].label + "  " + lastValueText(series[s], span),
                          pane.signal ? kUpColour : colourOf(s)});
    }
    return legend;
}

std::vector<Pane> assignPanes(const PriceTable &prices, BarSpan span, const std::vector<ChartSeries> &series) {
    const Extent price = priceExtent(prices, span);
    std::vector<Pane> panes(1);
    panes[0].prices = true;
    for (std::size_t s = 0; s < series.size(); ++s) {
        const bool signal = isSignal(series[s], span);
        if (!signal && onPriceScale(series[s], span, price)) {
            panes[0].series.push_back(s);
            continue;
        }
        Pane pane;
        pane.signal = signal;
        pane.series.push_back(s);
        panes.push_back(pane);
    }
    double top = kTitleHeight;
    for (Pane &pane : panes) {
        top += legendHeight(legendOf(prices, span, pane, series));
        Extent extent = pane.prices ? price : Extent{};
        for (std::size_t s : pane.series) {
            Extent own = seriesExtent(series[s], span);
            if (!own.empty()) {
                extent.add(own.low);
                extent.add(own.high);
            }
        }
        const double height = pane.prices ? kPricePaneHeight : pane.signal ? kSignalPaneHeight : kPaneHeight;
        pane.scale = scaleFor(extent, top, height, pane.signal);
        top += height + kPaneGap;
    }
    return panes;
}

void drawPane(SvgDocument &svg, const PriceTable &prices, const TimeAxis &axis, const Pane &pane,
              const std::vector<ChartSeries> &series) {
    drawValueAxis(svg, pane.scale, pane.prices ? 8 : pane.signal ? 3 : 4);
    if (pane.prices) {
        if (axis.span.count() <= kMostOhlcBars) {
            drawOhlcBars(svg, prices, axis, pane.scale);
        } else {
            drawCloseLine(svg, prices, axis, pane.scale);
        }
    }
    for (std::size_t s : pane.series) {
        if (pane.signal) {
            drawSignalColumns(svg, series[s], axis, pane.scale);
        } else {
            drawSeriesLine(svg, series[s], axis, pane.scale, colourOf(s));
        }
    }
    drawFrame(svg, pane);
    drawLegend(svg, legendOf(prices, axis.span, pane, series), pane.scale.top);
}

}  // namespace

std::string renderChart(const PriceTable &prices, BarSpan span, const std::vector<ChartSeries> &series,
                        const std::string &title) {
    const std::vector<Pane> panes = assignPanes(prices, span, series);
    const double plotBottom = panes.back().scale.top + panes.back().scale.height;
    SvgDocument svg(kWidth, plotBottom + kDateAxisHeight);
    svg.text(kPlotLeft, 25, title, "start", 15, "#1d2127", "font-weight=\"bold\"");
    const TimeAxis axis{span};
    drawDateAxis(svg, prices, axis, panes);
    for (const Pane &pane : panes) drawPane(svg, prices, axis, pane, series);
    return svg.finish();
}

}  // namespace zpk::host
