// What zpkhost prints: a library's answers to the query protocol, and the output series of a run
// as CSV or JSON.
#ifndef ZPK_HOST_REPORT_HPP
#define ZPK_HOST_REPORT_HPP

#include "bar_span.hpp"
#include "evaluation.hpp"
#include "plugin.hpp"
#include "price_file.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace zpk::host {

// The library's notice, interface version and function count, then every function with its
// index, description and arguments (index, type, name; a custom argument's strings with ids).
void writeLibraryInfo(std::ostream &out, const LibraryInfo &library);

// A float in the shortest form that reads back as the same float (at most 9 significant digits);
// nan, inf and -inf by name.
std::string formatValue(float value);

// One call of a run with what came of it.
struct OutputColumn {
    const BoundCall *call;
    const Evaluation *evaluation;
};

// "Date,<heading>,...", then one row per bar of `span`: its date and each call's value, empty
// outside the call's reported range. Headings holding a comma or quote are quoted.
void writeCsv(std::ostream &out, const PriceTable &prices, BarSpan span,
              const std::vector<OutputColumn> &columns);

// One JSON document: the price file, the dates of `span`, and one object per call with its text,
// function, module, status (and error, when it failed), reported range (as reported, and as the
// dates of the bars it covers) and its values over `span`, null outside the range.
void writeJson(std::ostream &out, const std::string &pricesPath, const PriceTable &prices,
               BarSpan span, const std::vector<OutputColumn> &columns);

}  // namespace zpk::host

#endif
