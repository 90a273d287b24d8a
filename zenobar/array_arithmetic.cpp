#include "array_arithmetic.hpp"

#include "numeric.hpp"
#include "stored_sums.hpp"

#include <algorithm>
#include <cstddef>

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

struct BarRange {
    Bar first;
    Bar last;
};

using SeriesAdder = void (*)(const float32 *series, float32 *out, Bar first, Bar last);

// The range after every letter of the text has narrowed it.
BarRange narrowedRange(const char *text, const PriceDataRec &prices, BarRange range) {
    for (const char *c = text; *c != '\0'; ++c) {
        if (const DataArrayRec *series = seriesForLetter(prices, *c)) {
            range.first = std::max<Bar>(range.first, series->firstValid);
            range.last = std::min<Bar>(range.last, series->lastValid);
        }
    }
    return range;
}

// Letter after letter, the range narrowed by the letter's series and that series added into the
// output over the bars of the range that lie within `clip`. The range only narrows; bars that drop
// out keep the partial sum they held.
void addLetters(const char *text, const PriceDataRec &prices, float32 *out, BarRange range, BarRange clip,
                SeriesAdder add) {
    for (const char *c = text; *c != '\0'; ++c) {
        if (const DataArrayRec *series = seriesForLetter(prices, *c)) {
            range.first = std::max<Bar>(range.first, series->firstValid);
            range.last = std::min<Bar>(range.last, series->lastValid);
            add(series->values, out, std::max(range.first, clip.first), std::min(range.last, clip.last));
        }
    }
}

// Bars of the output that one walk of the letters takes at a time: 4 KiB, which stay in the
// first-level cache while every letter adds its series into them.
constexpr Bar kChunkBars = 1024;

// Texts longer than this are walked once, over the whole range, rather than once per chunk.
constexpr std::size_t kChunkedTextLimit = 64;

// Every stored value depends only on the same bar of the output and of the series, so the letters
// may add chunk after chunk: each bar still takes the same additions in the same order. Not when a
// series shares memory with the output at other bars, where the literal order reads sums stored by
// other bars; and not for long texts, which would be walked too often.
bool chunksKeepEveryBar(const char *text, const PriceDataRec &prices, const float32 *out, BarRange range) {
    std::size_t length = 0;
    for (const char *c = text; *c != '\0'; ++c, ++length) {
        const DataArrayRec *series = seriesForLetter(prices, *c);
        if (length == kChunkedTextLimit ||
            (series != nullptr && sharesOtherBars(series->values, out, range.first, range.last))) {
            return false;
        }
    }
    return true;
}

void addLettersBarByBar(const char *text, const PriceDataRec &prices, float32 *out, BarRange range) {
    addLetters(text, prices, out, range, range, addSeriesLiteral);
}

void addLettersByChunks(const char *text, const PriceDataRec &prices, float32 *out, BarRange range) {
    if (!chunksKeepEveryBar(text, prices, out, range)) {
        addLetters(text, prices, out, range, range, addSeries);
        return;
    }
    for (Bar chunk = range.first; chunk <= range.last; chunk += kChunkBars) {
        addLetters(text, prices, out, range, BarRange{chunk, std::min(chunk + kChunkBars - 1, range.last)},
                   addSeries);
    }
}

// How the bars get their stored sums: one after the other, or by blocks and chunks with the same
// bits.
struct SumForms {
    void (*addIncrement)(const float32 *source, float32 increment, float32 *out, Bar first, Bar last);
    void (*addLetters)(const char *text, const PriceDataRec &prices, float32 *out, BarRange range);
};

constexpr SumForms kLiteralSums{addIncrementLiteral, addLettersBarByBar};
constexpr SumForms kBlockSums{addIncrement, addLettersByChunks};

int32 addNumberWith(const zpk::Call &call, const SumForms &sums) {
    DataArrayRec &output = *call.result->data;
    if (!holdsOneArgument(call.dataArgs->count) || !holdsOneArgument(call.numericArgs->count)) {
        return rejectCall(call.result, kWrongArgumentCount);
    }
    const DataArrayRec &source = *call.dataArgs->args[0];
    if (!usableRange(source, call.prices->close) || source.firstValid > source.lastValid) {
        return reportEmpty(output);
    }
    sums.addIncrement(source.values, call.numericArgs->args[0], output.values, source.firstValid,
                      source.lastValid);
    output.firstValid = source.firstValid;
    output.lastValid = source.lastValid;
    return StatusSuccess;
}

int32 sumArraysWith(const zpk::Call &call, const SumForms &sums) {
    DataArrayRec &output = *call.result->data;
    if (!holdsOneArgument(call.stringArgs->count)) {
        return rejectCall(call.result, kWrongArgumentCount);
    }
    const DataArrayRec &close = call.prices->close;
    const BarRange closeRange{close.firstValid, close.lastValid};
    const char *text = call.stringArgs->args[0];
    if (closeRange.first < 1 || closeRange.last < 1 || isEmptyText(text)) {
        return reportEmpty(output);
    }
    for (Bar j = closeRange.first; j <= closeRange.last; ++j) {
        output.values[j] = 0.0f;
    }
    sums.addLetters(text, *call.prices, output.values, closeRange);
    const BarRange range = narrowedRange(text, *call.prices, closeRange);
    setRange(output, range.first, range.last);
    return StatusSuccess;
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

int32 addNumber(const zpk::Call &call) { return addNumberWith(call, kBlockSums); }

int32 addNumberLiteral(const zpk::Call &call) { return addNumberWith(call, kLiteralSums); }

int32 sumArrays(const zpk::Call &call) { return sumArraysWith(call, kBlockSums); }

int32 sumArraysLiteral(const zpk::Call &call) { return sumArraysWith(call, kLiteralSums); }

}  // namespace zenobar
