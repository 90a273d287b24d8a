// MyMov: a moving average of one data array by one of four methods, and the two window routines
// it is built from.
#ifndef ZENOBAR_MOVING_AVERAGE_HPP
#define ZENOBAR_MOVING_AVERAGE_HPP

#include "numeric.hpp"
#include "zpk/plugin.hpp"

namespace zenobar {

// The ids of the "Method" argument, as the custom strings of the registration pass them.
enum Method : int32 {
    SimpleMethod = 0,
    TriangularMethod = 1,
    WeightedMethod = 2,
    ExponentialMethod = 3,
};

// Averages of source bars t - n + 1 .. t, each window summed afresh in bar order; with weights the
// oldest bar weighs 1 and bar t weighs n. Writes target bars F + n - 1 .. L and the target range
// F + n - 1 .. L (also when no window fits). n is at least 1.
//
// This is the literal form, bars x n additions; MyMov runs slidingWindowAverage
// (sliding_window_average.hpp), which gives the same bits, and this one is its reference.
void windowAverage(const DataArrayRec &source, DataArrayRec &target, int32 n, bool weighted);

// The pieces of one window of windowAverage, shared with the sliding form so that a window it
// cannot slide over is computed by the very same code.
//
// The divisor of a window, a float32: n, or the sum of the weights 1..n computed in floating point
// (which loses exactness above n = 5792).
double windowDivisor(int32 n, bool weighted);
// The sum of values[start] .. values[start + n - 1] afresh, in bar order from 0, each term (times
// its weight j + 1 when weighted) added into a double.
double windowSumAfresh(const float32 *values, Bar start, int32 n, bool weighted);
// The value stored for a window sum: the sum clamped, divided by the divisor, clamped and rounded.
float windowAverageValue(double sum, double divisor);

// Exponential average with factor 2 / n, seeded with the mean of the first n bars at F + n - 1;
// each later bar reads the previous stored value back. Writes target bars F + n - 1 .. L and that
// range. n is at least 1.
void exponentialAverage(const DataArrayRec &source, DataArrayRec &target, int32 n);

// The window length m of both passes of the triangular average for period n: n / 2 + 1, halfway
// values going to the even neighbour.
int32 triangularLength(int32 n);

// The MyMov calculation.
int32 movingAverage(const zpk::Call &call);

}  // namespace zenobar

#endif
