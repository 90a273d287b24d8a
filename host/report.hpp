// What zpkhost prints: a library's answers to the query protocol, and the output series of a call
// as CSV.
#ifndef ZPK_HOST_REPORT_HPP
#define ZPK_HOST_REPORT_HPP

#include "calculation.hpp"
#include "plugin.hpp"
#include "price_file.hpp"

#include <ostream>
#include <string>

namespace zpk::host {

// The library's notice, interface version and function count, then every function with its
// index, description and arguments (index, type, name; a custom argument's strings with ids).
void writeLibraryInfo(std::ostream &out, const LibraryInfo &library);

// A float in the shortest form that reads back as the same float (at most 9 significant digits);
// nan, inf and -inf by name.
std::string formatValue(float value);

// "Date,<column>", then one row per bar: its date and its value, empty outside the reported range.
void writeResultCsv(std::ostream &out, const PriceTable &prices, const std::string &column,
                    const CalculationResult &result);

}  // namespace zpk::host

#endif
