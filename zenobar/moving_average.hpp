// MyMov: a moving average of one data array by one of four methods, and the two window routines
// it is built from.
#ifndef ZENOBAR_MOVING_AVERAGE_HPP
#define ZENOBAR_MOVING_AVERAGE_HPP

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
void windowAverage(const DataArrayRec &source, DataArrayRec &target, int32 n, bool weighted);

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
