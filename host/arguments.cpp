#include "arguments.hpp"

#include "encoding.hpp"
#include "input_error.hpp"
#include "text.hpp"

#include <optional>

namespace zpk::host {

namespace {

struct Assignment {
    std::string name;
    std::string value;
};

Assignment splitAssignment(const std::string &text) {
    std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw InputError("'" + text + "' is not an argument of the form NAME=VALUE");
    }
    return {text.substr(0, equals), text.substr(equals + 1)};
}

std::vector<std::string> argumentNames(const FunctionInfo &function) {
    std::vector<std::string> names;
    for (const ArgumentInfo &arg : function.args) names.push_back(arg.name);
    return names;
}

// The declared argument called `name`: the one spelt exactly so, else the first that matches
// without regard to letter case.
std::optional<std::size_t> findArgument(const FunctionInfo &function, const std::string &name) {
    for (std::size_t i = 0; i < function.args.size(); ++i) {
        if (function.args[i].name == name) return i;
    }
    for (std::size_t i = 0; i < function.args.size(); ++i) {
        if (equalsIgnoringCase(function.args[i].name, name)) return i;
    }
    return std::nullopt;
}

[[noreturn]] void throwUnknownArgument(const FunctionInfo &function, const std::string &name) {
    if (function.args.empty()) {
        throw InputError(function.name + " takes no arguments, but '" + name + "' was given");
    }
    throw InputError(function.name + " has no argument '" + name + "' (its arguments: " +
                     joinNames(argumentNames(function)) + ")");
}

// The id of the custom string `text`. Several strings may match without regard to case; one spelt
// exactly so wins, and otherwise they must agree on the id.
int32 customChoiceId(const ArgumentInfo &arg, const std::string &text, const std::string &where) {
    for (const CustomChoice &choice : arg.choices) {
        if (choice.text == text) return choice.id;
    }
    std::optional<int32> id;
    std::vector<std::string> texts;
    for (const CustomChoice &choice : arg.choices) {
        texts.push_back(choice.text);
        if (!equalsIgnoringCase(choice.text, text)) continue;
        if (id && *id != choice.id) {
            throw InputError(where + ": '" + text + "' matches choices with different ids; " +
                             "write it in the letter case of the one meant");
        }
        id = choice.id;
    }
    if (!id) {
        throw InputError(where + ": '" + text + "' is none of its choices (" + joinNames(texts) + ")");
    }
    return *id;
}

SeriesView wholeSeries(const std::vector<float> &values) {
    return SeriesView{values.data(), 0, static_cast<int32>(values.size()) - 1};
}

}  // namespace

SeriesView priceSeriesNamed(const PriceTable &prices, const std::string &name) {
    const std::string key = lowerCase(name);
    if (key == "open") return wholeSeries(prices.open);
    if (key == "high") return wholeSeries(prices.high);
    if (key == "low") return wholeSeries(prices.low);
    if (key == "close") return wholeSeries(prices.close);
    if (key == "volume") return wholeSeries(prices.volume);
    if (key == "oi") {
        if (!prices.hasOpenInterest()) {
            throw InputError("oi names the open interest, but the price file has no OpenInterest column");
        }
        return wholeSeries(prices.openInterest);
    }
    throw InputError("'" + name + "' is not a price series (open, high, low, close, volume, oi)");
}

ArgumentValue parseArgumentValue(const ArgumentInfo &arg, const std::string &text,
                                 const PriceTable &prices, const std::string &where) {
    switch (arg.type) {
    case DataArrayArg:
        try {
            return priceSeriesNamed(prices, text);
        } catch (const InputError &e) {
            throw InputError(where + ": " + e.what());
        }
    case NumericArg: {
        ParsedFloat number = parseFloat(trimmed(text));
        if (number.value) return *number.value;
        throw InputError(where + ": '" + text + "' " + number.problem);
    }
    case StringArg:
        // Plug-ins read texts in Windows-1252.
        if (std::optional<std::string> converted = windows1252FromUtf8(text)) return *converted;
        throw InputError(where + ": '" + text + "' is not UTF-8 text that Windows-1252 can hold");
    case CustomArg:
        return customChoiceId(arg, text, where);
    default:
        throw InputError(where + " has type code " + std::to_string(arg.type) +
                         ", which no argument record carries");
    }
}

std::vector<ArgumentValue> bindArguments(const FunctionInfo &function,
                                         const std::vector<std::string> &assignments,
                                         const PriceTable &prices) {
    std::vector<std::optional<ArgumentValue>> bound(function.args.size());
    for (const std::string &text : assignments) {
        Assignment assignment = splitAssignment(text);
        std::optional<std::size_t> index = findArgument(function, assignment.name);
        if (!index) throwUnknownArgument(function, assignment.name);
        const ArgumentInfo &arg = function.args[*index];
        const std::string where = "argument " + arg.name + " of " + function.name;
        if (bound[*index]) throw InputError(where + " is given twice");
        bound[*index] = parseArgumentValue(arg, assignment.value, prices, where);
    }
    std::vector<std::string> missing;
    for (std::size_t i = 0; i < bound.size(); ++i) {
        if (!bound[i]) missing.push_back(function.args[i].name);
    }
    if (!missing.empty()) {
        throw InputError(function.name + " needs " + (missing.size() == 1 ? "argument " : "arguments ") +
                         joinNames(missing) + " (give each as NAME=VALUE)");
    }
    std::vector<ArgumentValue> values;
    for (std::optional<ArgumentValue> &value : bound) values.push_back(std::move(*value));
    return values;
}

}  // namespace zpk::host
