#include "host_call.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace zpk::fuzz {
namespace {

constexpr int32 kInt32Min = std::numeric_limits<int32>::min();
constexpr int32 kInt32Max = std::numeric_limits<int32>::max();

// Output entries the call did not write hold one of these: quiet NaNs with payloads that no
// computation of the libraries produces from its own arithmetic.
constexpr std::uint32_t kUntouchedFirst = 0x7FA5A5A5u;
constexpr std::uint32_t kUntouchedSecond = 0xFFC3D2E1u;

// Entries at count and above: pointers into the never-mapped first page, numbers and ids that
// differ between the fillers.
DataArrayRec *const kPoisonData[] = {reinterpret_cast<DataArrayRec *>(0x10),
                                     reinterpret_cast<DataArrayRec *>(0x20)};
const char *const kPoisonText[] = {reinterpret_cast<const char *>(0x30),
                                   reinterpret_cast<const char *>(0x40)};
float *const kPoisonValues = reinterpret_cast<float *>(0x50);

float floatFromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Floats that the functions treat specially: zeros, periods around truncation and the 16-bit
// counter limits, lengths around the bounds of 100, the float extremes, infinities and NaNs. The
// first is what an input that has run out of bytes draws: a period every function can use.
float interestingFloat(std::uint8_t pick) {
    static constexpr float kTable[] = {
        3.0f,    0.0f,    -0.0f,       1.0f,        -1.0f,       0.5f,         0.9f,
        2.9f,    7.9f,    10.0f,       100.0f,      100.5f,      250.0f,       -5.0f,
        1e9f,    32766.0f, 32767.0f,   32768.0f,    65536.0f,    2147483648.0f, -2147483648.0f,
        4294967296.0f,    3e38f,       -3e38f,      1e-40f,      -1e-40f,
        std::numeric_limits<float>::max(),          std::numeric_limits<float>::lowest(),
        std::numeric_limits<float>::min(),          std::numeric_limits<float>::denorm_min(),
        std::numeric_limits<float>::infinity(),     -std::numeric_limits<float>::infinity(),
        std::numeric_limits<float>::quiet_NaN(),
    };
    constexpr std::size_t kCount = sizeof kTable / sizeof kTable[0];
    return kTable[pick % kCount];
}

// Half of the draws come from the table above, the others are any bit pattern.
float drawFloat(FuzzedDataProvider &input) {
    const std::uint8_t pick = input.ConsumeIntegral<std::uint8_t>();
    if (pick < 128) {
        return interestingFloat(pick);
    }
    return floatFromBits(input.ConsumeIntegral<std::uint32_t>());
}

// Mostly short series, some of the size the counters of the libraries care about.
std::size_t drawBars(FuzzedDataProvider &input) {
    const std::uint8_t size = input.ConsumeIntegral<std::uint8_t>();
    if (size < 128) return 16 - input.ConsumeIntegralInRange<std::size_t>(0, 16);
    if (size < 224) return input.ConsumeIntegralInRange<std::size_t>(0, 300);
    if (size < 252) return input.ConsumeIntegralInRange<std::size_t>(0, 4096);
    return input.ConsumeIntegralInRange<std::size_t>(0, kMaxBars);
}

// Values for every bar: a repeated pool of drawn floats, a wave that the cycle engine can lock on
// to, a walk of small steps, or a constant with one spike.
std::vector<float> drawSeriesValues(FuzzedDataProvider &input, std::size_t bars) {
    const int shape = input.ConsumeIntegralInRange(0, 3);
    std::vector<float> pool(input.ConsumeIntegralInRange<std::size_t>(1, 24));
    for (float &value : pool) {
        value = drawFloat(input);
    }
    std::vector<float> values(bars);
    const double period = input.ConsumeIntegralInRange(2, 80);
    const std::size_t spike = input.ConsumeIntegralInRange<std::size_t>(0, bars == 0 ? 0 : bars - 1);
    double walk = 100.0;
    for (std::size_t i = 0; i < bars; ++i) {
        switch (shape) {
        case 0:
            values[i] = pool[i % pool.size()];
            break;
        case 1:
            values[i] = static_cast<float>(100.0 + 10.0 * std::sin(6.283185307179586 * static_cast<double>(i) / period));
            break;
        case 2: {
            std::uint32_t bits;
            std::memcpy(&bits, &pool[i % pool.size()], sizeof bits);
            walk += (static_cast<double>(bits & 0xFFu) - 127.5) / 64.0;
            values[i] = static_cast<float>(walk);
            break;
        }
        default:
            values[i] = i == spike && pool.size() > 1 ? pool[1] : pool[0];
            break;
        }
    }
    return values;
}

// A last valid bar the array has an entry for: -1 or below, or a bar of the call. An input that has
// run out of bytes draws 0 everywhere: that gives the last bar of the call here, and bar 1 as the
// first valid bar below, a range every function accepts.
int32 drawLast(FuzzedDataProvider &input, std::size_t bars) {
    const int32 lastBar = static_cast<int32>(bars) - 1;
    switch (input.ConsumeIntegralInRange(0, 7)) {
    case 0: return lastBar;
    case 1: return kInt32Min;
    case 2: return -1;
    default: return input.ConsumeIntegralInRange<int32>(std::min(-2, lastBar), std::max(-2, lastBar));
    }
}

// Any first valid bar: before 0, at the edges of the int32 range, after the last one.
int32 drawFirst(FuzzedDataProvider &input, std::size_t bars, int32 last) {
    switch (input.ConsumeIntegralInRange(0, 11)) {
    case 0: return 1;
    case 1: return 0;
    case 2: return -1;
    case 3: return kInt32Min;
    case 4: return kInt32Max;
    case 5: return kInt32Max - input.ConsumeIntegralInRange(0, 7);
    case 6: return last == kInt32Max ? last : last + 1;
    case 7: return last;
    case 8: return input.ConsumeIntegral<int32>();
    default: return input.ConsumeIntegralInRange<int32>(-2, static_cast<int32>(bars) + 2);
    }
}

// A text: a null pointer, an empty one, or drawn bytes (inner NULs included), sometimes repeated
// to many thousand characters; always ended by a NUL.
std::vector<char> drawTextBytes(FuzzedDataProvider &input) {
    const std::string drawn = input.ConsumeRandomLengthString(120);
    std::vector<char> bytes(drawn.begin(), drawn.end());
    if (!drawn.empty() && input.ConsumeIntegralInRange(0, 7) == 0) {
        const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(90, 40000);
        bytes.resize(length);
        for (std::size_t i = drawn.size(); i < length; ++i) {
            bytes[i] = drawn[i % drawn.size()];
        }
    }
    bytes.push_back('\0');
    return bytes;
}

int32 drawCustomId(FuzzedDataProvider &input) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0: return input.ConsumeIntegral<int32>();
    case 1: return input.PickValueInArray({kInt32Min, kInt32Max, -1, 4, 7});
    default: return input.ConsumeIntegralInRange<int32>(0, 3);
    }
}

std::uint32_t complementOf(std::uint32_t bits) { return ~bits; }

}  // namespace

// The draws that decide most (counts, ranges, numbers) come first: they come from the input's last
// bytes, which even a short input has. The values, which need many bytes, come after them.
HostCall::HostCall(FuzzedDataProvider &input) : bars_(drawBars(input)) {
    drawArguments(input);
    drawRanges(input);
    drawValues(input);
    drawUndefined(input);
    priceValuesBefore_ = priceValues_;
    dataValuesBefore_ = dataValues_;
    textsBefore_ = texts_;
    outputValues_.resize(bars_);
}

void HostCall::drawArguments(FuzzedDataProvider &input) {
    wantsDeclaredCounts_ = input.ConsumeIntegralInRange(0, 3) != 3;
    drawnCounts_ = Counts{input.ConsumeIntegralInRange(-1, 10), input.ConsumeIntegralInRange(-1, 10),
                          input.ConsumeIntegralInRange(-1, 10), input.ConsumeIntegralInRange(-1, 10)};
    for (float &number : numbers_) {
        number = drawFloat(input);
    }
    for (int32 &id : customIds_) {
        id = drawCustomId(input);
    }
    for (Text &text : texts_) {
        text.null = input.ConsumeIntegralInRange(0, 5) == 5;
        text.bytes = drawTextBytes(input);
    }
}

void HostCall::drawRanges(FuzzedDataProvider &input) {
    for (Range &range : priceRanges_) {
        const int32 last = drawLast(input, bars_);
        range = Range{drawFirst(input, bars_, last), last};
    }
    for (DataEntry &entry : dataEntries_) {
        entry.array = input.ConsumeBool() ? 1 : 0;
        const int32 last = drawLast(input, bars_);
        entry.range = Range{drawFirst(input, bars_, last), last};
    }
}

void HostCall::drawValues(FuzzedDataProvider &input) {
    for (std::vector<float> &values : priceValues_) {
        values = drawSeriesValues(input, bars_);
    }
    for (std::vector<float> &values : dataValues_) {
        values = drawSeriesValues(input, bars_);
    }
}

void HostCall::drawUndefined(FuzzedDataProvider &input) {
    for (unsigned char &byte : hostData_) {
        byte = input.ConsumeIntegral<unsigned char>();
    }
    series6Range_ = Range{input.ConsumeIntegral<int32>(), input.ConsumeIntegral<int32>()};
    outputRangeBefore_ = Range{input.ConsumeIntegral<int32>(), input.ConsumeIntegral<int32>()};
    for (char &byte : errorTextDrawn_) {
        byte = static_cast<char>(input.ConsumeIntegral<unsigned char>());
    }
}

void HostCall::prepare(const Counts &counts, Filler filler) {
    layUndefined(filler);
    layArguments(counts, filler);
    for (std::size_t s = 0; s < priceValues_.size(); ++s) {
        DataArrayRec record{priceValues_[s].empty() ? nullptr : priceValues_[s].data(),
                            priceRanges_[s].first, priceRanges_[s].last};
        static constexpr DataArrayRec PriceDataRec::*kSeries[] = {
            &PriceDataRec::open,  &PriceDataRec::high,   &PriceDataRec::low,
            &PriceDataRec::close, &PriceDataRec::volume, &PriceDataRec::series7};
        prices_.*kSeries[s] = record;
    }
    pricesBefore_ = prices_;
    dataRecordsBefore_ = dataRecords_;
    dataArgsBefore_ = dataArgs_;
    numericArgsBefore_ = numericArgs_;
    stringArgsBefore_ = stringArgs_;
    customArgsBefore_ = customArgs_;
}

void HostCall::layUndefined(Filler filler) {
    const bool first = filler == Filler::First;
    for (std::size_t i = 0; i < hostData_.size(); ++i) {
        prices_.hostData[i] = first ? hostData_[i] : static_cast<unsigned char>(~hostData_[i]);
    }
    prices_.series6 = DataArrayRec{kPoisonValues, first ? series6Range_.first : ~series6Range_.first,
                                   first ? series6Range_.last : ~series6Range_.last};

    untouchedBits_ = first ? kUntouchedFirst : kUntouchedSecond;
    std::fill(outputValues_.begin(), outputValues_.end(), floatFromBits(untouchedBits_));
    output_ = DataArrayRec{outputValues_.empty() ? nullptr : outputValues_.data(),
                           first ? outputRangeBefore_.first : ~outputRangeBefore_.first,
                           first ? outputRangeBefore_.last : ~outputRangeBefore_.last};
    result_.data = &output_;
    for (std::size_t i = 0; i < TextFieldSize; ++i) {
        result_.errorText[i] = first ? errorTextDrawn_[i] : static_cast<char>(~errorTextDrawn_[i]);
    }
    std::memcpy(errorTextBefore_.data(), result_.errorText, TextFieldSize);
}

// Entry k holds an argument when k is below the record's count.
static bool holdsEntry(int32 count, std::size_t k) { return static_cast<int64_t>(k) < count; }

void HostCall::layArguments(const Counts &counts, Filler filler) {
    const std::size_t f = filler == Filler::First ? 0 : 1;
    dataArgs_.count = counts.data;
    numericArgs_.count = counts.numeric;
    stringArgs_.count = counts.strings;
    customArgs_.count = counts.custom;
    for (std::size_t k = 0; k < MaxArgs; ++k) {
        const DataEntry &entry = dataEntries_[k];
        std::vector<float> &values = dataValues_[entry.array];
        dataRecords_[k] = DataArrayRec{values.empty() ? nullptr : values.data(), entry.range.first,
                                       entry.range.last};
        dataArgs_.args[k] = holdsEntry(counts.data, k) ? &dataRecords_[k] : kPoisonData[f];

        std::uint32_t numberBits;
        std::memcpy(&numberBits, &numbers_[k], sizeof numberBits);
        const std::uint32_t undefinedBits = f == 0 ? 0x5C5C5C5Cu : complementOf(0x5C5C5C5Cu);
        numericArgs_.args[k] = floatFromBits(holdsEntry(counts.numeric, k) ? numberBits : undefinedBits);

        const Text &text = texts_[k];
        stringArgs_.args[k] = !holdsEntry(counts.strings, k) ? kPoisonText[f]
                              : text.null                    ? nullptr
                                                             : text.bytes.data();

        const int32 undefinedId = f == 0 ? 0x5E5E5E5E : ~0x5E5E5E5E;
        customArgs_.args[k] = holdsEntry(counts.custom, k) ? customIds_[k] : undefinedId;
    }
}

int32 HostCall::call(CalcFunction function) {
    return function(&prices_, &dataArgs_, &numericArgs_, &stringArgs_, &customArgs_, &result_);
}

Outcome HostCall::outcome(int32 status) const {
    Outcome o;
    o.status = status;
    o.firstValid = output_.firstValid;
    o.lastValid = output_.lastValid;
    std::memcpy(o.errorText.data(), result_.errorText, TextFieldSize);
    o.output = outputValues_;
    o.untouchedBits = untouchedBits_;
    return o;
}

template <class Record>
static bool sameBytes(const Record &a, const Record &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

static bool sameFloats(const std::vector<float> &a, const std::vector<float> &b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

bool HostCall::inputsIntact() const {
    if (!sameBytes(prices_, pricesBefore_) || !sameBytes(dataArgs_, dataArgsBefore_) ||
        !sameBytes(numericArgs_, numericArgsBefore_) || !sameBytes(stringArgs_, stringArgsBefore_) ||
        !sameBytes(customArgs_, customArgsBefore_) || result_.data != &output_) {
        return false;
    }
    for (std::size_t k = 0; k < MaxArgs; ++k) {
        if (!sameBytes(dataRecords_[k], dataRecordsBefore_[k]) || texts_[k].bytes != textsBefore_[k].bytes) {
            return false;
        }
    }
    for (std::size_t s = 0; s < priceValues_.size(); ++s) {
        if (!sameFloats(priceValues_[s], priceValuesBefore_[s])) return false;
    }
    for (std::size_t a = 0; a < dataValues_.size(); ++a) {
        if (!sameFloats(dataValues_[a], dataValuesBefore_[a])) return false;
    }
    return true;
}

const DataArrayRec *HostCall::priceSeries(char letter) const {
    switch (letter) {
    case 'O': return &prices_.open;
    case 'H': return &prices_.high;
    case 'L': return &prices_.low;
    case 'C': return &prices_.close;
    case 'V': return &prices_.volume;
    case 'I': return &prices_.series7;
    default: return nullptr;
    }
}

int64_t HostCall::largestLastValid(const char *letters, bool withDataArg) const {
    int64_t largest = -1;
    for (const char *c = letters; *c != '\0'; ++c) {
        if (const DataArrayRec *series = priceSeries(*c)) {
            largest = std::max<int64_t>(largest, series->lastValid);
        }
    }
    if (withDataArg && dataArgs_.count >= 1) {
        largest = std::max<int64_t>(largest, dataRecords_[0].lastValid);
    }
    return largest;
}

}  // namespace zpk::fuzz
