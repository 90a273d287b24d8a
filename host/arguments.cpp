#include "arguments.hpp"

#include "encoding.hpp"
#include "input_error.hpp"
#include "text.hpp"

#include <optional>
#include <vector>

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

[[noreturn]] void throwUnknownArgument(const FunctionInfo &function, const std::string &name) {
    if (function.args.empty()) {
        throw InputError(function.name + " takes no arguments, but '" + name + "' was given");
    }
    throw InputError(function.name + " has no argument '" + name + "' (its arguments: " +
                     joinNames(argumentNames(function)) + ")");
}

SeriesView viewOf(const PriceSeries &series) {
    return SeriesView{series.values.data(), series.firstValid, series.lastValid};
}

// An argument name reduced to what a user must get right: letters and digits, any case.
std::string nameKey(const std::string &name) {
    std::string key;
    for (char c : lowerCase(name)) {
        if (c != ' ' && c != '_' && c != '-') key += c;
    }
    return key;
}

}  // namespace

std::optional<std::size_t> findArgument(const FunctionInfo &function, const std::string &name) {
    for (std::size_t i = 0; i < function.args.size(); ++i) {
        if (function.args[i].name == name) return i;
    }
    for (std::size_t i = 0; i < function.args.size(); ++i) {
        if (equalsIgnoringCase(function.args[i].name, name)) return i;
    }
    for (std::size_t i = 0; i < function.args.size(); ++i) {
        if (nameKey(function.args[i].name) == nameKey(name)) return i;
    }
    return std::nullopt;
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

const std::vector<std::string> &priceSeriesNames() {
    static const std::vector<std::string> names = {"open", "high", "low", "close", "volume", "oi"};
    return names;
}

std::optional<SeriesView> findPriceSeries(const PriceTable &prices, const std::string &name) {
    const std::string key = lowerCase(name);
    if (key == "open") return viewOf(prices.open);
    if (key == "high") return viewOf(prices.high);
    if (key == "low") return viewOf(prices.low);
    if (key == "close") return viewOf(prices.close);
    if (key == "volume") {
        if (!prices.volume.present) {
            throw InputError("volume names the volumes, but the price file has no Volume column");
        }
        return viewOf(prices.volume);
    }
    if (key == "oi") {
        if (!prices.openInterest.present) {
            throw InputError("oi names the open interest, but the price file has no OpenInterest column");
        }
        return viewOf(prices.openInterest);
    }
    return std::nullopt;
}

SeriesView priceSeriesNamed(const PriceTable &prices, const std::string &name) {
    if (std::optional<SeriesView> series = findPriceSeries(prices, name)) return *series;
    throw InputError("'" + name + "' is not a price series (" + joinNames(priceSeriesNames()) + ")");
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
