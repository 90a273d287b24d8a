#include "price_file.hpp"

#include "input_error.hpp"
#include "text.hpp"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <optional>

namespace zpk::host {

namespace {

// The columns the host reads, in the order of PriceTable's series.
enum Column { DateColumn, Open, High, Low, Close, Volume, OpenInterest, ColumnCount };

constexpr std::array<const char *, ColumnCount> kColumnNames = {
    "Date", "Open", "High", "Low", "Close", "Volume", "OpenInterest"};

constexpr Column kLastRequired = Close;

constexpr float kBlankValue = std::numeric_limits<float>::quiet_NaN();

// How a file writes its rows: the separator, and where each known column sits.
struct ColumnLayout {
    char separator = ',';
    std::array<std::optional<std::size_t>, ColumnCount> position;
    std::size_t fieldCount = 0;
};

// One data row as read: its line number, its date and the cells of the price columns (blank cells
// hold nothing).
struct Row {
    std::size_t line = 0;
    Date date;
    std::array<std::optional<float>, ColumnCount> cells;
};

// A header name reduced to what tells columns apart: letters and digits in lower case.
std::string columnKey(std::string_view name) {
    std::string key;
    for (char c : lowerCase(name)) {
        if (c != ' ' && c != '_' && c != '-') key += c;
    }
    return key;
}

std::optional<Column> knownColumn(std::string_view header) {
    const std::string key = columnKey(header);
    for (int c = 0; c < ColumnCount; ++c) {
        if (key == lowerCase(kColumnNames[c])) return static_cast<Column>(c);
    }
    return std::nullopt;
}

// `line` cut at every `separator` outside double quotes; a quoted field loses its quotes, and a
// doubled quote inside it stands for one.
std::vector<std::string> splitRow(std::string_view line, char separator) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

char separatorOf(std::string_view header) {
    const bool commas = header.find(',') != std::string_view::npos;
    const bool semicolons = header.find(';') != std::string_view::npos;
    return semicolons && !commas ? ';' : ',';
}

ColumnLayout layoutFromHeader(std::string_view line, const std::string &where) {
    ColumnLayout layout;
    layout.separator = separatorOf(line);
    std::vector<std::string> fields = splitRow(line, layout.separator);
    layout.fieldCount = fields.size();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::optional<Column> column = knownColumn(trimmed(fields[i]));
        if (!column) continue;
        if (layout.position[*column]) {
            throw InputError(where + ": the header names column " + kColumnNames[*column] + " twice");
        }
        layout.position[*column] = i;
    }
    for (int c = DateColumn; c <= kLastRequired; ++c) {
        if (!layout.position[c]) {
            throw InputError(where + ": the header has no " + kColumnNames[c] + " column");
        }
    }
    return layout;
}

// A price cell: blank, or a number. A semicolon file may write 101,25 for 101.25.
std::optional<float> priceCell(std::string_view field, Column column, char separator,
                               const std::string &where) {
    std::string text(trimmed(field));
    if (text.empty()) return std::nullopt;
    if (separator == ';' && text.find('.') == std::string::npos) {
        std::replace(text.begin(), text.end(), ',', '.');
    }
    ParsedFloat number = parseFloat(text);
    if (!number.value) {
        throw InputError(where + ": " + kColumnNames[column] + " '" + std::string(trimmed(field)) +
                         "' " + number.problem);
    }
    return *number.value;
}

Row readRow(const ColumnLayout &layout, std::string_view line, std::size_t number,
            const std::string &where) {
    std::vector<std::string> fields = splitRow(line, layout.separator);
    if (fields.size() != layout.fieldCount) {
        throw InputError(where + ": " + std::to_string(fields.size()) +
                         " fields where the header has " + std::to_string(layout.fieldCount));
    }
    Row row;
    row.line = number;
    std::string_view dateText = trimmed(fields[*layout.position[DateColumn]]);
    if (dateText.empty()) throw InputError(where + ": the Date is empty");
    std::optional<Date> date = parseDate(dateText);
    if (!date) {
        throw InputError(where + ": Date '" + std::string(dateText) + "' is not a date (" +
                         kDateForms + ")");
    }
    row.date = *date;
    for (int c = Open; c < ColumnCount; ++c) {
        if (layout.position[c]) {
            row.cells[c] = priceCell(fields[*layout.position[c]], static_cast<Column>(c),
                                     layout.separator, where);
        }
    }
    return row;
}

// Rows oldest first: the file's order when its dates rise, turned round when they fall.
void putInDateOrder(std::vector<Row> &rows, const std::string &source) {
    if (rows.size() < 2) return;
    const bool falling = rows[1].date < rows[0].date;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const Date &before = rows[i - 1].date;
        const Date &date = rows[i].date;
        const bool inOrder = falling ? date < before : before < date;
        if (!inOrder) {
            throw InputError(source + " line " + std::to_string(rows[i].line) + ": Date " +
                             isoDate(date) + (date == before ? " repeats the date before it"
                                                             : std::string(" breaks the order of the ") +
                                                                   (falling ? "falling" : "rising") +
                                                                   " dates before it"));
        }
    }
    if (falling) std::reverse(rows.begin(), rows.end());
}

// The column `column` of `rows` as a series. Its blank cells must all lie before its first value
// or after its last; the range is the bars between.
PriceSeries seriesOfColumn(const std::vector<Row> &rows, Column column, bool present,
                           const std::string &source) {
    PriceSeries series;
    series.present = present;
    series.values.assign(rows.size() + kFirstBar, kBlankValue);
    if (!present) return series;
    std::optional<std::size_t> first, last;
    for (std::size_t bar = 0; bar < rows.size(); ++bar) {
        if (!rows[bar].cells[column]) continue;
        series.values[bar + kFirstBar] = *rows[bar].cells[column];
        if (!first) first = bar;
        last = bar;
    }
    if (!first) return series;
    for (std::size_t bar = *first; bar <= *last; ++bar) {
        if (!rows[bar].cells[column]) {
            throw InputError(source + " line " + std::to_string(rows[bar].line) + ": the " +
                             kColumnNames[column] + " cell is blank between " +
                             kColumnNames[column] +
                             " values (a column may have blank cells only at its start or end)");
        }
    }
    series.firstValid = static_cast<int32>(*first + kFirstBar);
    series.lastValid = static_cast<int32>(*last + kFirstBar);
    return series;
}

std::string withoutByteOrderMark(std::string line) {
    static const std::string bom = "\xEF\xBB\xBF";
    if (line.compare(0, bom.size(), bom) == 0) line.erase(0, bom.size());
    return line;
}

}  // namespace

PriceTable parsePrices(std::istream &in, const std::string &source) {
    std::optional<ColumnLayout> layout;
    std::vector<Row> rows;
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        if (number == 1) line = withoutByteOrderMark(line);
        if (trimmed(line).empty()) continue;
        std::string where = source + " line " + std::to_string(number);
        if (!layout) {
            layout = layoutFromHeader(line, where);
        } else {
            rows.push_back(readRow(*layout, line, number, where));
        }
    }
    if (!layout) throw InputError(source + ": the file is empty");
    if (rows.empty()) throw InputError(source + ": no price rows after the header");
    putInDateOrder(rows, source);
    if (rows.size() + kFirstBar > static_cast<std::size_t>(std::numeric_limits<int32>::max())) {
        throw InputError(source + ": more bars than a series can number");
    }

    PriceTable table;
    for (const Row &row : rows) table.dates.push_back(row.date);
    auto column = [&](Column c) { return seriesOfColumn(rows, c, layout->position[c].has_value(), source); };
    table.open = column(Open);
    table.high = column(High);
    table.low = column(Low);
    table.close = column(Close);
    table.volume = column(Volume);
    table.openInterest = column(OpenInterest);
    return table;
}

PriceTable readPriceFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw InputError("cannot open price file '" + path + "'");
    return parsePrices(in, path);
}

}  // namespace zpk::host
