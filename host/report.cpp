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

namespace {

std::string csvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += (c == '"') ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

bool reportsBar(const OutputColumn &column, std::size_t bar) {
    return column.evaluation->succeeded() && column.evaluation->result.reports(bar);
}

std::string jsonString(const std::string &text) {
    std::string quoted = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (byte < 0x20) {
                const char *hex = "0123456789abcdef";
                quoted += "\\u00";
                quoted += hex[byte >> 4];
                quoted += hex[byte & 0xF];
            } else {
                quoted += c;
            }
        }
    }
    return quoted + "\"";
}

// JSON has no NaN or infinity: such values are null, as bars outside the range are.
std::string jsonNumber(float value) { return std::isfinite(value) ? formatValue(value) : "null"; }

std::string jsonDateOfBar(const PriceTable &prices, long long bar) {
    return jsonString(isoDate(prices.dateOfBar(static_cast<std::size_t>(bar))));
}

void writeJsonRange(std::ostream &out, const PriceTable &prices, const CalculationResult &result) {
    const SeriesView bars = reportedBars(result);
    out << "\"range\": {\"firstValid\": " << result.firstValid << ", \"lastValid\": " << result.lastValid;
    if (bars.firstValid <= bars.lastValid) {
        out << ", \"from\": " << jsonDateOfBar(prices, bars.firstValid)
            << ", \"to\": " << jsonDateOfBar(prices, bars.lastValid);
    } else {
        out << ", \"from\": null, \"to\": null";
    }
    out << "}";
}

void writeJsonCall(std::ostream &out, const PriceTable &prices, BarSpan span,
                   const OutputColumn &column) {
    const Evaluation &evaluation = *column.evaluation;
    const CalculationResult &result = evaluation.result;
    out << "    {\n";
    out << "      \"call\": " << jsonString(column.call->text) << ",\n";
    out << "      \"function\": " << jsonString(column.call->function->name) << ",\n";
    out << "      \"module\": " << jsonString(column.call->library->path) << ",\n";
    out << "      \"status\": " << result.status << ",\n";
    if (!evaluation.succeeded()) out << "      \"error\": " << jsonString(evaluation.failure) << ",\n";
    out << "      ";
    writeJsonRange(out, prices, result);
    out << ",\n      \"values\": [";
    for (std::size_t bar = span.first; bar <= span.last; ++bar) {
        if (bar != span.first) out << ", ";
        out << (reportsBar(column, bar) ? jsonNumber(result.values[bar]) : "null");
    }
    out << "]\n    }";
}

}  // namespace

void writeCsv(std::ostream &out, const PriceTable &prices, BarSpan span,
              const std::vector<OutputColumn> &columns) {
    out << "Date";
    for (const OutputColumn &column : columns) out << ',' << csvField(column.call->text);
    out << '\n';
    for (std::size_t bar = span.first; bar <= span.last; ++bar) {
        out << isoDate(prices.dateOfBar(bar));
        for (const OutputColumn &column : columns) {
            out << ',';
            if (reportsBar(column, bar)) out << formatValue(column.evaluation->result.values[bar]);
        }
        out << '\n';
    }
}

void writeJson(std::ostream &out, const std::string &pricesPath, const PriceTable &prices,
               BarSpan span, const std::vector<OutputColumn> &columns) {
    out << "{\n  \"prices\": " << jsonString(pricesPath) << ",\n  \"dates\": [";
    for (std::size_t bar = span.first; bar <= span.last; ++bar) {
        if (bar != span.first) out << ", ";
        out << jsonString(isoDate(prices.dateOfBar(bar)));
    }
    out << "],\n  \"calls\": [\n";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (c != 0) out << ",\n";
        writeJsonCall(out, prices, span, columns[c]);
    }
    out << "\n  ]\n}\n";
}

}  // namespace zpk::host
