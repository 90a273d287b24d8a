#include "report.hpp"

#include <charconv>
#include <cmath>

namespace zpk::host {

namespace {

void writeArgument(std::ostream &out, std::size_t index, const ArgumentInfo &arg) {
    out << "    " << index << ": " << argumentTypeName(arg.type) << ' ' << arg.name << '\n';
    for (const CustomChoice &choice : arg.choices) {
        out << "         " << choice.text << " = " << choice.id << '\n';
    }
}

void writeFunction(std::ostream &out, std::size_t index, const FunctionInfo &function) {
    out << "Function " << index << ": " << function.name << '\n';
    out << "  Description: " << function.description << '\n';
    out << "  Arguments: " << function.args.size() << '\n';
    for (std::size_t a = 0; a < function.args.size(); ++a) writeArgument(out, a, function.args[a]);
}

}  // namespace

void writeLibraryInfo(std::ostream &out, const LibraryInfo &library) {
    out << "Copyright: " << library.copyright << '\n';
    out << "Interface version: " << library.interfaceVersion << '\n';
    out << "Functions: " << library.functions.size() << '\n';
    for (std::size_t f = 0; f < library.functions.size(); ++f) {
        out << '\n';
        writeFunction(out, f, library.functions[f]);
    }
}

std::string formatValue(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    // The fewest digits that read back as the same float (never more than 9), whatever the
    // locale: a price of 101.25 prints as 101.25, not as 101.250000.
    char text[32];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    (void)error;  // 32 characters hold every float
    return std::string(text, end);
}

void writeResultCsv(std::ostream &out, const PriceTable &prices, const std::string &column,
                    const CalculationResult &result) {
    out << "Date," << column << '\n';
    for (std::size_t bar = 0; bar < prices.barCount(); ++bar) {
        out << prices.dates[bar] << ',';
        if (result.reports(bar)) out << formatValue(result.values[bar]);
        out << '\n';
    }
}

}  // namespace zpk::host
