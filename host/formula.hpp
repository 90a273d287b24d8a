// Calls written the way a user writes them in a formula:
//
//   MyMov(BrevanePeriod(close), 10, Exponential)
//   ChannelHigh(UserPriceArray = close, PeriodMultiplier = 1.5, AlternatePeriod = 0)
//   SumArrays("OHLC")      Brevane.ChannelLow(high, 1, 0)      AmbrelFunc
//
// A call is a function name, optionally qualified by its module's name, with its arguments in
// parentheses (a call without arguments may leave them out). An argument is a number, a text in
// single or double quotes (a doubled quote inside stands for one), a word, or another call, and
// may be preceded by NAME =. Only the shape is read here; what the names mean is decided when the
// call is bound to a library's functions.
#ifndef ZPK_HOST_FORMULA_HPP
#define ZPK_HOST_FORMULA_HPP

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zpk::host {

struct FormulaCall;

struct FormulaValue {
    enum class Kind { Number, Text, Word, Call };
    Kind kind = Kind::Word;
    std::string text;                   // the number or word as written, or the text unquoted
    std::shared_ptr<FormulaCall> call;  // Kind::Call
    std::size_t column = 0;             // 1-based position in the formula, for messages
};

struct FormulaArgument {
    std::optional<std::string> name;  // NAME = VALUE
    FormulaValue value;
};

struct FormulaCall {
    std::string module;    // empty unless written Module.Function
    std::string function;
    std::vector<FormulaArgument> args;
    std::string text;      // the call as written, without surrounding blanks
    std::size_t column = 0;
};

// Reads one formula: exactly one call. Throws InputError naming the formula and the column where
// it stops making sense.
FormulaCall parseFormula(std::string_view formula);

}  // namespace zpk::host

#endif
