// Sums of two float series, bar by bar, stored as every computed ZENOBAR value is: the double sum
// clamped, then rounded to float. Each comes in two forms that give the same bits: the literal one,
// one bar after the other, and a fast one that works on blocks of bars the compiler can vectorise.
#ifndef ZENOBAR_STORED_SUMS_HPP
#define ZENOBAR_STORED_SUMS_HPP

#include "numeric.hpp"

namespace zenobar {

// Bars the fast forms take at a time; a shorter rest of a range is done literally.
constexpr Bar kSumBlockBars = 64;

// True if bars first..last of the two arrays share memory other than at the same bars. Every stored
// value depends only on the same bar of its inputs, so an array read and written in place gives the
// same values by blocks as bar by bar; arrays shifted against each other do not (the literal form
// then reads sums it has just stored), and the fast forms take such calls bar by bar.
bool sharesOtherBars(const float32 *a, const float32 *b, Bar first, Bar last);

// out[i] := storedValue(increment + source[i]) for i = first .. last, in increasing order.
void addIncrementLiteral(const float32 *source, float32 increment, float32 *out, Bar first, Bar last);
void addIncrement(const float32 *source, float32 increment, float32 *out, Bar first, Bar last);

// out[i] := storedValue(series[i] + out[i]) for i = first .. last, in increasing order.
void addSeriesLiteral(const float32 *series, float32 *out, Bar first, Bar last);
void addSeries(const float32 *series, float32 *out, Bar first, Bar last);

}  // namespace zenobar

#endif
