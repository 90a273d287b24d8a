// The simple and weighted window averages of MyMov in one pass over the bars, with the same bits as
// windowAverage, which sums every window afresh.
#ifndef ZENOBAR_SLIDING_WINDOW_AVERAGE_HPP
#define ZENOBAR_SLIDING_WINDOW_AVERAGE_HPP

#include "numeric.hpp"
#include "zpk/plugin.hpp"

namespace zenobar {

// What windowAverage(source, target, n, weighted) writes, bit for bit: the same target bars
// F + n - 1 .. L and the same range.
//
// A window's sum in doubles is exact, and so independent of the order of its terms, when every
// term is a whole multiple of 2^e and the terms' magnitudes add up to less than 2^(53 + e): every
// partial sum is then a multiple of 2^e below 2^53 of those units, which a double holds exactly.
// While that holds for the windows met one after the other, each window's sum is the previous one
// less its oldest term plus its new one (and the weighted sum follows from the plain one), in
// constant time per bar. A window for which it cannot be shown (a NaN, an infinity, values of very
// different magnitudes, weights too heavy for the values' precision) is summed afresh by the
// literal code, and only the windows that hold such a value pay for it.
void slidingWindowAverage(const DataArrayRec &source, DataArrayRec &target, int32 n, bool weighted);

// The largest span, in binary orders of magnitude, that the values of a window may cover for its
// sums to be exact: with every value a multiple of 2^grain and below 2^top in magnitude, the window,
// and the differences carried from one window to the next, are exact when top - grain is at most
// this. At most 51; negative when not even one bit of a value fits (huge weights), and then only
// windows of zeros slide.
int exactSpanLimit(int32 n, bool weighted);

}  // namespace zenobar

#endif
