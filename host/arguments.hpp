// The arguments of one call, bound from what the user wrote to what the function declares.
#ifndef ZPK_HOST_ARGUMENTS_HPP
#define ZPK_HOST_ARGUMENTS_HPP

#include "plugin.hpp"
#include "price_file.hpp"

#include <optional>
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

// The names of the price series a data-array argument may take: open, high, low, close, volume,
// oi (the open interest), in any letter case.
const std::vector<std::string> &priceSeriesNames();

// The price series `name`, with its valid range; nothing when `name` is no series name. Throws
// InputError for volume or oi when the file has no such column.
std::optional<SeriesView> findPriceSeries(const PriceTable &prices, const std::string &name);

// The same, throwing InputError for a name that is no series name.
SeriesView priceSeriesNamed(const PriceTable &prices, const std::string &name);

// The declared argument called `name`: the one spelt exactly so, else the first that matches
// without regard to letter case, else the first that matches when spaces, '_' and '-' are left out
// as well ("da_initials" names "DA Initials").
std::optional<std::size_t> findArgument(const FunctionInfo &function, const std::string &name);

// The id of the custom string `text` of `arg`: the one spelt exactly so, else the ones that match
// without regard to letter case, which must agree on the id. Throws InputError, with `where`
// naming the argument, when none matches or the matches disagree.
int32 customChoiceId(const ArgumentInfo &arg, const std::string &text, const std::string &where);

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
