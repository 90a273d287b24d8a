// The data every benchmark runs on: one security of 100,000 bars of price-like data, made from a
// fixed seed, and the shapes that stress the channel.
#ifndef ZPK_BENCH_PRICE_SERIES_HPP
#define ZPK_BENCH_PRICE_SERIES_HPP

#include <cstddef>
#include <vector>

namespace zpkbench {

constexpr std::size_t kBars = 100000;

using Series = std::vector<float>;

// Open, high, low, close and volume of a random walk near 100: moves of about 1% a bar, highs and
// lows around the bar's body, whole-number volumes from 10,000 to 1,000,000.
struct Security {
    Series open, high, low, close, volume;
};

const Security &security();

// Strictly rising and strictly falling series of kBars bars (a hundredth per bar).
const Series &risingSeries();
const Series &fallingSeries();

// The closes with one huge value, 1e30, at the middle bar.
const Series &closesWithOneHugeValue();

}  // namespace zpkbench

#endif
