// AddN and SumArrays: plain arithmetic on series.
#ifndef ZENOBAR_ARRAY_ARITHMETIC_HPP
#define ZENOBAR_ARRAY_ARITHMETIC_HPP

#include "zpk/plugin.hpp"

namespace zenobar {

// The price series a character of a SumArrays text selects (O H L C V I, either case), or null.
const DataArrayRec *seriesForLetter(const PriceDataRec &prices, char letter);

// AddN: the increment added to every valid bar of the data array.
int32 addNumber(const zpk::Call &call);

// SumArrays: the sum of the price series a text names by their initials, over the bars on which
// the close and all of them are valid.
int32 sumArrays(const zpk::Call &call);

// The same two computations summing one bar after the other: the reference that the shipped forms,
// which sum by blocks, match bit for bit.
int32 addNumberLiteral(const zpk::Call &call);
int32 sumArraysLiteral(const zpk::Call &call);

}  // namespace zenobar

#endif
