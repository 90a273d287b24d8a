// The arguments of one call, bound from what the user wrote to what the function declares.
#ifndef ZPK_HOST_ARGUMENTS_HPP
#define ZPK_HOST_ARGUMENTS_HPP

#include "plugin.hpp"
#include "price_file.hpp"

#include <string>
#include <variant>
#include <vector>

namespace zpk::host {

// A series as a data-array argument receives it: the host's values and their valid range.
struct SeriesView {
    const float *values = nullptr;
    int32 firstValid = 0;
    int32 lastValid = -1;
};

// One argument as the plug-in receives it, by its declared type: a series (DataArrayArg), a
// number (NumericArg), a text in Windows-1252 (StringArg) or the id of a custom string (CustomArg).
using ArgumentValue = std::variant<SeriesView, float, std::string, int32>;

// The price series a data-array argument may name: open, high, low, close, volume, oi (any letter
// case). Throws InputError for another name, or for oi when the file has no OpenInterest.
SeriesView priceSeriesNamed(const PriceTable &prices, const std::string &name);

// `text` (UTF-8, as the user typed it) read as an argument of `arg`'s type, whose name and custom
// strings are in UTF-8 too. `where` names the argument in messages.
ArgumentValue parseArgumentValue(const ArgumentInfo &arg, const std::string &text,
                                 const PriceTable &prices, const std::string &where);

// Binds NAME=VALUE assignments (names in any letter case, any order) to the arguments `function`
// declares. Returns one value per declared argument, in declared order. Throws InputError for an
// unknown name, a repeated or missing argument, or a value that does not parse.
std::vector<ArgumentValue> bindArguments(const FunctionInfo &function,
                                         const std::vector<std::string> &assignments,
                                         const PriceTable &prices);

}  // namespace zpk::host

#endif
