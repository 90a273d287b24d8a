#include "price_file.hpp"

#include "input_error.hpp"
#include "text.hpp"

#include <array>
#include <fstream>
#include <optional>

namespace zpk::host {

namespace {

// The columns the host reads, in the order of PriceTable's series.
enum Column { Date, Open, High, Low, Close, Volume, OpenInterest, ColumnCount };

constexpr std::array<const char *, ColumnCount> kColumnNames = {
    "Date", "Open", "High", "Low", "Close", "Volume", "OpenInterest"};

constexpr char kSeparator = ',';

// Where each known column sits in a row; nothing for one the header does not name.
struct ColumnLayout {
    std::array<std::optional<std::size_t>, ColumnCount> position;
    std::size_t fieldCount = 0;
};

std::optional<Column> knownColumn(std::string_view header) {
    for (int c = 0; c < ColumnCount; ++c) {
        if (equalsIgnoringCase(header, kColumnNames[c])) return static_cast<Column>(c);
    }
    return std::nullopt;
}

ColumnLayout layoutFromHeader(std::string_view line, const std::string &where) {
    ColumnLayout layout;
    std::vector<std::string_view> fields = splitFields(line, kSeparator);
    layout.fieldCount = fields.size();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::optional<Column> column = knownColumn(trimmed(fields[i]));
        if (!column) continue;
        if (layout.position[*column]) {
            throw InputError(where + ": the header names column " + kColumnNames[*column] + " twice");
        }
        layout.position[*column] = i;
    }
    for (int c = Date; c <= Volume; ++c) {
        if (!layout.position[c]) {
            throw InputError(where + ": the header has no " + kColumnNames[c] + " column");
        }
    }
    return layout;
}

float priceField(std::string_view field, Column column, const std::string &where) {
    ParsedFloat number = parseFloat(trimmed(field));
    if (!number.value) {
        throw InputError(where + ": " + kColumnNames[column] + " '" + std::string(trimmed(field)) +
                         "' " + number.problem);
    }
    return *number.value;
}

std::vector<float> *seriesOf(PriceTable &table, Column column) {
    switch (column) {
    case Open: return &table.open;
    case High: return &table.high;
    case Low: return &table.low;
    case Close: return &table.close;
    case Volume: return &table.volume;
    case OpenInterest: return &table.openInterest;
    default: return nullptr;
    }
}

void appendRow(PriceTable &table, const ColumnLayout &layout, std::string_view line,
               const std::string &where) {
    std::vector<std::string_view> fields = splitFields(line, kSeparator);
    if (fields.size() != layout.fieldCount) {
        throw InputError(where + ": " + std::to_string(fields.size()) +
                         " fields where the header has " + std::to_string(layout.fieldCount));
    }
    std::string_view date = trimmed(fields[*layout.position[Date]]);
    if (date.empty()) throw InputError(where + ": the Date is empty");
    // Every field is read before the row is added, so a bad row leaves no partial bar behind.
    std::array<float, ColumnCount> prices{};
    for (int c = Open; c < ColumnCount; ++c) {
        if (layout.position[c]) {
            prices[c] = priceField(fields[*layout.position[c]], static_cast<Column>(c), where);
        }
    }
    table.dates.emplace_back(date);
    for (int c = Open; c < ColumnCount; ++c) {
        if (layout.position[c]) seriesOf(table, static_cast<Column>(c))->push_back(prices[c]);
    }
}

}  // namespace

PriceTable parsePrices(std::istream &in, const std::string &source) {
    PriceTable table;
    std::optional<ColumnLayout> layout;
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        if (trimmed(line).empty()) continue;
        std::string where = source + " line " + std::to_string(number);
        if (!layout) {
            layout = layoutFromHeader(line, where);
        } else {
            appendRow(table, *layout, line, where);
        }
    }
    if (!layout) throw InputError(source + ": the file is empty");
    if (table.barCount() == 0) throw InputError(source + ": no price rows after the header");
    return table;
}

PriceTable readPriceFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw InputError("cannot open price file '" + path + "'");
    return parsePrices(in, path);
}

}  // namespace zpk::host
