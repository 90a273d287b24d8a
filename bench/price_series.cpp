#include "price_series.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

namespace zpkbench {
namespace {

// Uniform in [0, 1) from the raw engine, the same on every platform.
double unit(std::mt19937 &engine) { return static_cast<double>(engine() >> 8) / 16777216.0; }

Security makeSecurity() {
    std::mt19937 engine(20240607);
    Security s;
    for (Series *series : {&s.open, &s.high, &s.low, &s.close, &s.volume}) {
        series->resize(kBars);
    }
    double close = 100.0;
    for (std::size_t i = 0; i < kBars; ++i) {
        const double open = close;
        close *= 1.0 + (unit(engine) - 0.5) * 0.02;
        const double top = std::max(open, close);
        const double bottom = std::min(open, close);
        s.open[i] = static_cast<float>(open);
        s.close[i] = static_cast<float>(close);
        s.high[i] = static_cast<float>(top * (1.0 + unit(engine) * 0.005));
        s.low[i] = static_cast<float>(bottom * (1.0 - unit(engine) * 0.005));
        s.volume[i] = static_cast<float>(std::floor(1e4 + unit(engine) * 99e4));
    }
    return s;
}

Series steadySeries(double start, double step) {
    Series s(kBars);
    for (std::size_t i = 0; i < kBars; ++i) {
        s[i] = static_cast<float>(start + step * static_cast<double>(i));
    }
    return s;
}

}  // namespace

const Security &security() {
    static const Security s = makeSecurity();
    return s;
}

const Series &risingSeries() {
    static const Series s = steadySeries(100.0, 0.01);
    return s;
}

const Series &fallingSeries() {
    static const Series s = steadySeries(1100.0, -0.01);
    return s;
}

const Series &closesWithOneHugeValue() {
    static const Series s = [] {
        Series closes = security().close;
        closes[kBars / 2] = 1e30f;
        return closes;
    }();
    return s;
}

}  // namespace zpkbench
