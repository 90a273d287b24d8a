#include "array_arithmetic.hpp"

#include "numeric.hpp"

#include <algorithm>

namespace zenobar {
namespace {

struct LetterRow {
    char upper;
    char lower;
    DataArrayRec PriceDataRec::*series;
};

// Each character is compared byte for byte: only these twelve select a series.
constexpr LetterRow kLetters[] = {
    {'O', 'o', &PriceDataRec::open},   {'H', 'h', &PriceDataRec::high},
    {'L', 'l', &PriceDataRec::low},    {'C', 'c', &PriceDataRec::close},
    {'V', 'v', &PriceDataRec::volume}, {'I', 'i', &PriceDataRec::series7},
};

bool isEmptyText(const char *text) { return text == nullptr || text[0] == '\0'; }

// Adds the series into the output over first..last, each sum stored and read back.
void addSeriesInto(DataArrayRec &output, const DataArrayRec &series, Bar first, Bar last) {
    for (Bar j = first; j <= last; ++j) {
        output.values[j] =
            storedValue(static_cast<double>(series.values[j]) + static_cast<double>(output.values[j]));
    }
}

}  // namespace

const DataArrayRec *seriesForLetter(const PriceDataRec &prices, char letter) {
    for (const LetterRow &row : kLetters) {
        if (letter == row.upper || letter == row.lower) {
            return &(prices.*row.series);
        }
    }
    return nullptr;
}

int32 addNumber(const zpk::Call &call) {
    DataArrayRec &output = *call.result->data;
    if (!holdsOneArgument(call.dataArgs->count) || !holdsOneArgument(call.numericArgs->count)) {
        return rejectCall(call.result, kWrongArgumentCount);
    }
    const DataArrayRec &source = *call.dataArgs->args[0];
    const double increment = call.numericArgs->args[0];
    if (!usableRange(source, call.prices->close) || source.firstValid > source.lastValid) {
        return reportEmpty(output);
    }
    for (Bar i = source.firstValid; i <= source.lastValid; ++i) {
        output.values[i] = storedValue(increment + static_cast<double>(source.values[i]));
    }
    output.firstValid = source.firstValid;
    output.lastValid = source.lastValid;
    return StatusSuccess;
}

int32 sumArrays(const zpk::Call &call) {
    DataArrayRec &output = *call.result->data;
    if (!holdsOneArgument(call.stringArgs->count)) {
        return rejectCall(call.result, kWrongArgumentCount);
    }
    const DataArrayRec &close = call.prices->close;
    Bar first = close.firstValid;
    Bar last = close.lastValid;
    const char *text = call.stringArgs->args[0];
    if (first < 1 || last < 1 || isEmptyText(text)) {
        return reportEmpty(output);
    }
    for (Bar j = first; j <= last; ++j) {
        output.values[j] = 0.0f;
    }
    // The range only narrows; bars that drop out keep the partial sum they held.
    for (const char *c = text; *c != '\0'; ++c) {
        const DataArrayRec *series = seriesForLetter(*call.prices, *c);
        if (series == nullptr) {
            continue;
        }
        first = std::max<Bar>(first, series->firstValid);
        last = std::min<Bar>(last, series->lastValid);
        addSeriesInto(output, *series, first, last);
    }
    setRange(output, first, last);
    return StatusSuccess;
}

}  // namespace zenobar
