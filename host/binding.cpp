#include "binding.hpp"

#include "input_error.hpp"
#include "text.hpp"

#include <optional>

namespace zpk::host {

namespace {

using Kind = FormulaValue::Kind;

std::string argumentList(const FunctionInfo &function) {
    std::vector<std::string> names;
    for (const ArgumentInfo &arg : function.args) names.push_back(arg.name);
    return function.name + "(" + joinNames(names) + ")";
}

// Which declared argument each written one is: the first ones by position, the named ones by name.
std::vector<const FormulaValue *> placeArguments(const FormulaCall &call, const FunctionInfo &function) {
    std::vector<const FormulaValue *> placed(function.args.size(), nullptr);
    bool sawName = false;
    for (std::size_t k = 0; k < call.args.size(); ++k) {
        const FormulaArgument &written = call.args[k];
        std::size_t index = k;
        if (written.name) {
            sawName = true;
            std::optional<std::size_t> named = findArgument(function, *written.name);
            if (!named) {
                throw InputError(call.text + ": " + function.name + " has no argument " +
                                 *written.name + " (it takes " + argumentList(function) + ")");
            }
            index = *named;
        } else if (sawName) {
            throw InputError(call.text + ": an argument without a name follows a named one");
        } else if (k >= function.args.size()) {
            throw InputError(call.text + ": " + std::to_string(call.args.size()) + " arguments, but " +
                             function.name + " takes " + std::to_string(function.args.size()) +
                             " (" + argumentList(function) + ")");
        }
        if (placed[index]) {
            throw InputError(call.text + ": argument " + function.args[index].name + " is given twice");
        }
        placed[index] = &written.value;
    }
    std::vector<std::string> missing;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        if (!placed[i]) missing.push_back(function.args[i].name);
    }
    if (!missing.empty()) {
        throw InputError(call.text + ": " + (missing.size() == 1 ? "argument " : "arguments ") +
                         joinNames(missing) + " missing (" + function.name + " takes " +
                         argumentList(function) + ")");
    }
    return placed;
}

const char *kindWord(Kind kind) {
    switch (kind) {
    case Kind::Number: return "a number";
    case Kind::Text: return "a text";
    case Kind::Call: return "a call";
    default: return "a word";
    }
}

class Binder {
public:
    Binder(const LibrarySet &libraries, const PriceTable &prices)
        : libraries_(libraries), prices_(prices) {}

    BoundCall bind(const FormulaCall &call) const {
        FoundFunction found = find(call);
        const FunctionInfo &function = *found.function;
        std::vector<const FormulaValue *> placed = placeArguments(call, function);
        BoundCall bound{&function, found.library, call.text, {}};
        for (std::size_t i = 0; i < placed.size(); ++i) {
            const std::string where = call.text + ": argument " + function.args[i].name;
            bound.args.push_back(bindValue(function.args[i], *placed[i], where));
        }
        return bound;
    }

private:
    FoundFunction find(const FormulaCall &call) const {
        try {
            return libraries_.find(call.module, call.function);
        } catch (const InputError &e) {
            throw InputError(call.text + ": " + e.what());
        }
    }

    [[noreturn]] static void wrongKind(const FormulaValue &value, const std::string &where,
                                       const std::string &wanted) {
        throw InputError(where + " takes " + wanted + ", but '" + value.text + "' is " +
                         kindWord(value.kind));
    }

    BoundArgument bindValue(const ArgumentInfo &arg, const FormulaValue &value,
                            const std::string &where) const {
        switch (arg.type) {
        case DataArrayArg: return bindSeries(value, where);
        case NumericArg:
            if (value.kind != Kind::Number) wrongKind(value, where, "a number");
            break;
        case StringArg:
            if (value.kind != Kind::Text) wrongKind(value, where, "a text in quotes");
            break;
        case CustomArg:
            if (value.kind == Kind::Call) wrongKind(value, where, "one of its choices");
            break;
        default:
            break;
        }
        return BoundArgument{parseArgumentValue(arg, value.text, prices_, where), nullptr};
    }

    // A price series by name, or the output of a call (one without arguments may be written as a
    // bare name).
    BoundArgument bindSeries(const FormulaValue &value, const std::string &where) const {
        if (value.kind == Kind::Word) {
            std::optional<SeriesView> series;
            try {
                series = findPriceSeries(prices_, value.text);
            } catch (const InputError &e) {
                throw InputError(where + ": " + e.what());
            }
            if (series) return BoundArgument{*series, nullptr};
            FormulaCall call;
            call.function = value.text;
            call.text = value.text;
            call.column = value.column;
            try {
                libraries_.find("", value.text);
            } catch (const InputError &e) {
                throw InputError(where + ": '" + value.text + "' is no price series (" +
                                 joinNames(priceSeriesNames()) + "), and as a function: " + e.what());
            }
            return BoundArgument{SeriesView{}, std::make_shared<BoundCall>(bind(call))};
        }
        if (value.kind == Kind::Call) {
            return BoundArgument{SeriesView{}, std::make_shared<BoundCall>(bind(*value.call))};
        }
        wrongKind(value, where, "a data array: a price series (" + joinNames(priceSeriesNames()) +
                                    ") or a call");
    }

    const LibrarySet &libraries_;
    const PriceTable &prices_;
};

}  // namespace

BoundCall bindFormula(const FormulaCall &formula, const LibrarySet &libraries,
                      const PriceTable &prices) {
    return Binder(libraries, prices).bind(formula);
}

BoundCall bindAssignments(const LoadedLibrary &library, const FunctionInfo &function,
                          const std::vector<std::string> &assignments, const PriceTable &prices) {
    BoundCall bound{&function, &library, function.name, {}};
    for (ArgumentValue &value : bindArguments(function, assignments, prices)) {
        bound.args.push_back(BoundArgument{std::move(value), nullptr});
    }
    return bound;
}

}  // namespace zpk::host
