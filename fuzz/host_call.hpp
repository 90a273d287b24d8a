// The six records of one calculation call, built from fuzz input the way a host may pass them
// within its contract: every series array has an entry for every bar of the call (so for bars 0 to
// its lastValid at least) and the output array one entry per bar. Everything else is free: ranges
// (negative, reversed, empty, apart from each other, beyond close), counts from -1 to 10, argument
// entries, every float bit pattern, texts with and without inner NULs, null text pointers.
#ifndef ZPK_FUZZ_HOST_CALL_HPP
#define ZPK_FUZZ_HOST_CALL_HPP

#include "zpk/zpk.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zpk::fuzz {

// The most bars a fuzz call has.
constexpr std::size_t kMaxBars = 65536;

// The counts of the four argument records of one call, in record order.
struct Counts {
    int32 data;
    int32 numeric;
    int32 strings;
    int32 custom;
};

// Everything a host leaves undefined (hostData, series6, argument entries at count and above, the
// output range and values, errorText) is filled in one of two ways: a result that differs between
// them depends on bytes it must not read.
enum class Filler { First, Second };

// What one call left behind.
struct Outcome {
    int32 status = 0;
    int32 firstValid = 0;
    int32 lastValid = 0;
    std::array<char, TextFieldSize> errorText{};
    std::vector<float> output;
    std::uint32_t untouchedBits = 0;  // what an output entry holds that the call did not write
};

class HostCall {
public:
    explicit HostCall(FuzzedDataProvider &input);
    HostCall(const HostCall &) = delete;
    HostCall &operator=(const HostCall &) = delete;

    std::size_t bars() const { return bars_; }
    // The counts drawn from the input, and whether the input asks for each function's own counts.
    const Counts &drawnCounts() const { return drawnCounts_; }
    bool wantsDeclaredCounts() const { return wantsDeclaredCounts_; }

    // Lays the records out for one call with these counts, undefined bytes filled by `filler`.
    void prepare(const Counts &counts, Filler filler);
    int32 call(CalcFunction function);
    Outcome outcome(int32 status) const;

    // The errorText the host passed (the filler's).
    const std::array<char, TextFieldSize> &errorTextBefore() const { return errorTextBefore_; }
    // True if every input array, text and record still holds what the host passed.
    bool inputsIntact() const;
    // The largest lastValid among the price series named by `letters` (of "OHLCVI") and, when
    // `withDataArg` and the call has one, data argument 0; -1 for none.
    int64_t largestLastValid(const char *letters, bool withDataArg) const;

private:
    struct Range {
        int32 first;
        int32 last;
    };
    struct DataEntry {
        std::size_t array;  // which of dataValues_
        Range range;
    };
    struct Text {
        bool null;
        std::vector<char> bytes;  // NUL-terminated
    };

    void drawArguments(FuzzedDataProvider &input);
    void drawRanges(FuzzedDataProvider &input);
    void drawValues(FuzzedDataProvider &input);
    void drawUndefined(FuzzedDataProvider &input);
    void layArguments(const Counts &counts, Filler filler);
    void layUndefined(Filler filler);
    const DataArrayRec *priceSeries(char letter) const;

    std::size_t bars_ = 0;
    // Price series O, H, L, C, V, I in this order, and the value arrays of the data arguments.
    std::array<std::vector<float>, 6> priceValues_;
    std::array<Range, 6> priceRanges_{};
    std::array<std::vector<float>, 2> dataValues_;
    std::array<DataEntry, MaxArgs> dataEntries_{};
    std::array<float, MaxArgs> numbers_{};
    std::array<Text, MaxArgs> texts_;
    std::array<int32, MaxArgs> customIds_{};
    Counts drawnCounts_{};
    bool wantsDeclaredCounts_ = false;

    // Drawn bytes of what the host leaves undefined; the second filler is their complement.
    std::array<unsigned char, 4> hostData_{};
    Range series6Range_{};
    Range outputRangeBefore_{};
    std::array<char, TextFieldSize> errorTextDrawn_{};

    // The records of the call being made, and what they held when it was laid out.
    PriceDataRec prices_{};
    std::array<DataArrayRec, MaxArgs> dataRecords_{};
    DataArgs dataArgs_{};
    NumericArgs numericArgs_{};
    StringArgs stringArgs_{};
    CustomArgs customArgs_{};
    std::vector<float> outputValues_;
    DataArrayRec output_{};
    ResultRec result_{};
    std::uint32_t untouchedBits_ = 0;
    std::array<char, TextFieldSize> errorTextBefore_{};

    PriceDataRec pricesBefore_{};
    std::array<DataArrayRec, MaxArgs> dataRecordsBefore_{};
    DataArgs dataArgsBefore_{};
    NumericArgs numericArgsBefore_{};
    StringArgs stringArgsBefore_{};
    CustomArgs customArgsBefore_{};
    std::array<std::vector<float>, 6> priceValuesBefore_;
    std::array<std::vector<float>, 2> dataValuesBefore_;
    std::array<Text, MaxArgs> textsBefore_;
};

}  // namespace zpk::fuzz

#endif
