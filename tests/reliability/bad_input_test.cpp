// Bad input through the loaded modules: every calculation function against hostile values, ranges,
// counts, texts, periods and method ids. One table: each row names the functions it is about, what
// is bad (with the values it is tried with), what the call must give, and the rule of the library
// that gives it. Whatever the row, a call writes exactly the output entries the row names, writes no
// input, writes errorText only when it fails (in its library's form of the text copy), and what it
// stores stays inside its function's bounds.
#include "reliability_support.hpp"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace zpk::test {
namespace {

constexpr int32 kBars = 64;
constexpr int32 kInt32Max = std::numeric_limits<int32>::max();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// ZENOBAR's clamp limits, as the float32 bit patterns it stores.
const float kClampUpper = floatFromBits(0x7F7D9B19);
const float kClampLower = floatFromBits(0x038F722F);

const char *const kInvalid = "Invalid Argument(s)";
const char *const kWrongCount = "Wrong number of arguments";
const char *const kUndefinedMethod = "Undefined method argument";

// Output bars first..last, both included; none when first > last.
struct Bars {
    int32 first;
    int32 last;
};
constexpr Bars kNone{0, -1};

// ---- The calls -----------------------------------------------------------------------------

// Everything one call passes; a row changes some of it before the call is made.
struct Setup {
    int32 bars = kBars;
    std::array<Series, 6> prices;  // open, high, low, close, volume, series7
    std::optional<Series> data;    // the data argument, for the functions that take one
    std::vector<float> numbers;
    std::vector<const char *> texts;
    std::vector<int32> customs;
    std::array<std::optional<int32>, 4> counts;  // data, numeric, string, custom: set by a row
    std::string longText;                        // storage of a row's long text
};

enum class Args { None, Period, Channel, MyMov, AddN, SumArrays };

// What a function's written values must satisfy, whatever its input.
enum class Bound {
    Period,        // the cycle period: 0 to 50
    Channel,       // the start value or a value of the price series the channel is taken over
    Direction,     // 1, -1 or 0
    Clamped,       // zero, or a magnitude from ClampLower to ClampUpper
    CopyOfHigh, CopyOfLow, CopyOfOpen, CopyOfClose,  // the series at the same bar, bit for bit
    RootOf252,     // the square root of 252 as a float32
    FiniteChange,  // a finite logarithm
    VolumeOrZero,  // the volume at the same bar, or 0
};

struct Function {
    const char *name;
    Args args;
    Bars range;    // what the accepted call reports ...
    Bars written;  // ... and the output entries it writes
    Bound bound;
};

// The accepted call of every function: prices and data valid over bars 1..40 of 64.
const Function kFunctions[] = {
    {"BrevanePeriod", Args::Period, {7, 40}, {0, 40}, Bound::Period},
    {"ChannelHigh", Args::Channel, {7, 40}, {1, 40}, Bound::Channel},
    {"ChannelLow", Args::Channel, {7, 40}, {1, 40}, Bound::Channel},
    {"AmbrelFunc", Args::None, {1, 40}, {1, 40}, Bound::Direction},
    {"MyMov", Args::MyMov, {5, 40}, {5, 40}, Bound::Clamped},
    {"AddN", Args::AddN, {1, 40}, {1, 40}, Bound::Clamped},
    {"SumArrays", Args::SumArrays, {1, 40}, {1, 40}, Bound::Clamped},
    {"SignalVolume", Args::None, {1, 40}, {1, 40}, Bound::VolumeOrZero},
    {"SignalVolume2", Args::None, {1, 40}, {1, 40}, Bound::VolumeOrZero},
    {"SignalRun", Args::None, {1, 40}, {1, 40}, Bound::RootOf252},
    {"SignalRun2", Args::None, {1, 40}, {1, 40}, Bound::RootOf252},
    {"SignalExt", Args::None, {1, 40}, {1, 40}, Bound::FiniteChange},
    {"SignalExt2", Args::None, {1, 40}, {1, 40}, Bound::FiniteChange},
    {"SignalExt3", Args::None, {1, 40}, {1, 40}, Bound::FiniteChange},
    {"SignalAst", Args::None, {1, 40}, {1, 40}, Bound::CopyOfHigh},
    {"SignalAst2", Args::None, {1, 40}, {1, 40}, Bound::CopyOfHigh},
    {"SignalAst3", Args::None, {1, 40}, {1, 40}, Bound::CopyOfHigh},
    {"SignalSpe", Args::None, {1, 40}, {1, 40}, Bound::CopyOfLow},
    {"SignalSpe2", Args::None, {1, 40}, {1, 40}, Bound::CopyOfLow},
    {"SignalSpe3", Args::None, {1, 40}, {1, 40}, Bound::CopyOfLow},
    {"SignalPru", Args::None, {1, 40}, {1, 40}, Bound::CopyOfOpen},
    {"SignalPru2", Args::None, {1, 40}, {1, 40}, Bound::CopyOfOpen},
    {"SignalPru3", Args::None, {1, 40}, {1, 40}, Bound::CopyOfOpen},
    {"SignalTre", Args::None, {1, 40}, {1, 40}, Bound::CopyOfClose},
    {"SignalTre2", Args::None, {1, 40}, {1, 40}, Bound::CopyOfClose},
    {"SignalTre3", Args::None, {1, 40}, {1, 40}, Bound::CopyOfClose},
};

const Function &function(const std::string &name) {
    for (const Function &f : kFunctions) {
        if (name == f.name) return f;
    }
    throw std::invalid_argument("no function " + name);
}

bool isBrevane(const std::string &name) {
    return name == "BrevanePeriod" || name == "ChannelHigh" || name == "ChannelLow";
}

// Integer closes of 100 to 399, so that sums of many of them stay exact in a float32.
std::vector<float> closes(int32 bars) {
    std::vector<float> values(bars);
    for (int32 i = 0; i < bars; ++i) values[i] = static_cast<float>(100 + (i * 37) % 300);
    return values;
}

std::vector<float> offset(const std::vector<float> &values, float by) {
    std::vector<float> out(values);
    for (float &v : out) v += by;
    return out;
}

// Prices and data over `bars` bars, all valid over 1..last.
void setPrices(Setup &s, int32 bars, int32 last) {
    s.bars = bars;
    const std::vector<float> close = closes(bars);
    std::vector<float> volume(bars), series7(bars), data(bars);
    for (int32 i = 0; i < bars; ++i) {
        volume[i] = static_cast<float>(1000 + i);
        series7[i] = static_cast<float>(i % 7);
        data[i] = static_cast<float>(50 + (i * 11) % 97);
    }
    s.prices = {Series(offset(close, -1.5f), 1, last), Series(offset(close, 5.0f), 1, last),
                Series(offset(close, -5.0f), 1, last), Series(close, 1, last), Series(volume, 1, last),
                Series(series7, 1, last)};
    if (s.data) s.data = Series(data, 1, last);
}

Setup acceptedCall(const Function &f) {
    Setup s;
    if (f.args != Args::None && f.args != Args::SumArrays) s.data = Series();
    setPrices(s, kBars, 40);
    switch (f.args) {
    case Args::Channel: s.numbers = {1.0f, 0.0f}; break;  // multiplier, alternate length
    case Args::MyMov: s.numbers = {5.0f}; s.customs = {0}; break;  // simple average of 5 bars
    case Args::AddN: s.numbers = {1.5f}; break;
    case Args::SumArrays: s.texts = {"OHLC"}; break;
    default: break;
    }
    return s;
}

// The records of the call. A count set by the row gets that many entries (at most nine), repeating
// the accepted call's entries; an unset count is the number of entries.
void makeRecords(const Setup &s, CallRecords &call) {
    call.setPrices(s.prices[0], s.prices[1], s.prices[2], s.prices[3], s.prices[4], s.prices[5]);
    auto entries = [](const std::optional<int32> &count, std::size_t accepted) -> int32 {
        const long wanted = count ? *count : static_cast<long>(accepted);
        return static_cast<int32>(std::max(0L, std::min<long>(wanted, MaxArgs)));
    };
    const Series data = s.data ? *s.data : Series(closes(s.bars), 1, 40);
    for (int32 k = 0; k < entries(s.counts[0], s.data ? 1 : 0); ++k) call.addData(data);
    for (int32 k = 0; k < entries(s.counts[1], s.numbers.size()); ++k)
        call.addNumber(s.numbers.empty() ? 1.0f : s.numbers[k % s.numbers.size()]);
    for (int32 k = 0; k < entries(s.counts[2], s.texts.size()); ++k)
        call.addText(s.texts.empty() ? "C" : s.texts[k % s.texts.size()]);
    for (int32 k = 0; k < entries(s.counts[3], s.customs.size()); ++k)
        call.addCustom(s.customs.empty() ? 0 : s.customs[k % s.customs.size()]);
    if (s.counts[0]) call.data.count = *s.counts[0];
    if (s.counts[1]) call.numeric.count = *s.counts[1];
    if (s.counts[2]) call.strings.count = *s.counts[2];
    if (s.counts[3]) call.custom.count = *s.counts[3];
}

// ---- What a row expects --------------------------------------------------------------------

struct Expected {
    bool asAccepted;      // the function's own accepted result (kFunctions)
    int32 status;
    const char *message;  // nullptr: errorText untouched
    Bars range;
    Bars written;
};

constexpr Expected kAsAccepted{true, StatusSuccess, nullptr, kNone, kNone};
constexpr Expected rejected(const char *message) { return {false, StatusFailure, message, {0, -1}, kNone}; }
constexpr Expected kEmptyResult{false, StatusSuccess, nullptr, {0, -1}, kNone};
constexpr Expected result(Bars range, Bars written) { return {false, StatusSuccess, nullptr, range, written}; }

using Mutation = void (*)(Setup &, double value);
using ValueCheck = void (*)(const CallRecords &, const Setup &, double value);

struct Row {
    std::vector<const char *> functions;
    const char *input;           // what is bad
    std::vector<double> values;  // the values it is tried with
    Mutation mutate;
    Expected expected;
    const char *because;         // where the expected outcome comes from
    ValueCheck check = nullptr;  // values the row pins down beyond the function's bounds
};

std::vector<const char *> join(std::initializer_list<std::vector<const char *>> groups) {
    std::vector<const char *> all;
    for (const auto &g : groups) all.insert(all.end(), g.begin(), g.end());
    return all;
}

const std::vector<const char *> kBrevane = {"BrevanePeriod", "ChannelHigh", "ChannelLow"};
const std::vector<const char *> kChannels = {"ChannelHigh", "ChannelLow"};
const std::vector<const char *> kAmbrel = {"AmbrelFunc"};
const std::vector<const char *> kDataZenobar = {"MyMov", "AddN"};
const std::vector<const char *> kSumArrays = {"SumArrays"};
const std::vector<const char *> kVolume = {"SignalVolume", "SignalVolume2"};
const std::vector<const char *> kSignalsButVolume = [] {
    std::vector<const char *> names;
    for (const char *name : kSignalFunctions) {
        if (std::string(name).rfind("SignalVolume", 0) != 0) names.push_back(name);
    }
    return names;
}();
const std::vector<const char *> kArgumentFree = join({kAmbrel, kSignalFunctions});
const std::vector<const char *> kEvery = join({kBrevane, kAmbrel, kDataZenobar, kSumArrays, kSignalFunctions});

const std::vector<double> kHostileValues = {kNaN, kInf, -kInf, 1e-40, 0.0};
const std::vector<double> kCounts = {0, 2, 9, 10, -1};
const std::vector<double> kCountsBeside = {1, 2, 9, 10, -1};  // where the function declares none
const std::vector<double> kPeriods = {0, -1, kNaN, 1e9, 32767, 32768};
const std::vector<double> kMethods = {-1, 4, kInt32Max};

// ---- Mutations -----------------------------------------------------------------------------

void everyValue(Setup &s, double v) {
    for (Series &p : s.prices) std::fill(p.values.begin(), p.values.end(), static_cast<float>(v));
    if (s.data) std::fill(s.data->values.begin(), s.data->values.end(), static_cast<float>(v));
}

void everyRange(Setup &s, int32 first, int32 last) {
    for (Series &p : s.prices) {
        p.firstValid = first;
        p.lastValid = last;
    }
    if (s.data) {
        s.data->firstValid = first;
        s.data->lastValid = last;
    }
}

void emptyRanges(Setup &s, double) { everyRange(s, 0, -1); }
void reversedRanges(Setup &s, double) { everyRange(s, 30, 10); }
void oneBarRanges(Setup &s, double) { everyRange(s, 5, 5); }
void barZeroRanges(Setup &s, double) { everyRange(s, 0, 0); }
void fromBarZero(Setup &s, double) { everyRange(s, 0, 40); }
void negativeFirst(Setup &s, double) { everyRange(s, -5, 40); }
void firstNearInt32Limit(Setup &s, double) { everyRange(s, kInt32Max - 3, 40); }
void dataPastClose(Setup &s, double) { s.data->lastValid = 41; }

void dataCount(Setup &s, double c) { s.counts[0] = static_cast<int32>(c); }
void numericCount(Setup &s, double c) { s.counts[1] = static_cast<int32>(c); }
void stringCount(Setup &s, double c) { s.counts[2] = static_cast<int32>(c); }
void customCount(Setup &s, double c) { s.counts[3] = static_cast<int32>(c); }

void firstNumber(Setup &s, double v) { s.numbers[0] = static_cast<float>(v); }
void secondNumber(Setup &s, double v) { s.numbers[1] = static_cast<float>(v); }
void method(Setup &s, double id) { s.customs[0] = static_cast<int32>(id); }
void methodWithPeriodZero(Setup &s, double id) {
    s.customs[0] = static_cast<int32>(id);
    s.numbers[0] = 0.0f;
}

void nullText(Setup &s, double) { s.texts = {nullptr}; }
void emptyText(Setup &s, double) { s.texts = {""}; }
void closeLetters(Setup &s, double length) {
    s.longText = std::string(static_cast<std::size_t>(length), length > 100 ? 'c' : 'C');
    s.texts = {s.longText.c_str()};
}
void lettersOfNothing(Setup &s, double length) {
    s.longText = std::string(static_cast<std::size_t>(length), 'x');
    s.texts = {s.longText.c_str()};
}

// A period of 32767 or 32768 over 32800 valid bars, by method (0 simple, 2 weighted, 3 exponential).
template <int32 Method>
void longPeriod(Setup &s, double period) {
    setPrices(s, 32801, 32800);
    s.numbers[0] = static_cast<float>(period);
    s.customs[0] = Method;
}

// ---- Value checks of single rows -----------------------------------------------------------

void closeTimesLength(const CallRecords &call, const Setup &s, double length) {
    for (int32 bar = 1; bar <= 40; ++bar) {
        const float expected = static_cast<float>(length) * s.prices[3].values[bar];
        ASSERT_EQ(call.outputBits(bar), bitsOf(expected)) << "bar " << bar;
    }
}

void zeros(const CallRecords &call, const Setup &, double) {
    for (int32 bar = 1; bar <= 40; ++bar) ASSERT_EQ(call.outputBits(bar), 0u) << "bar " << bar;
}

// ---- The table -----------------------------------------------------------------------------

void nothing(Setup &, double) {}

const Row kRows[] = {
    // The accepted calls themselves: every "as accepted" below stands on these.
    {kEvery, "nothing: the accepted call", {0}, nothing, kAsAccepted,
     "prices and data valid over bars 1..40, the function's own counts and usable arguments"},

    // Values
    {kEvery, "every price and data value NaN, +inf, -inf, subnormal or zero", kHostileValues, everyValue,
     kAsAccepted,
     "statuses and ranges depend on counts and ranges only; every stored value keeps its function's bounds "
     "(the engine's clamps and 6..50 bounds, ZENOBAR's ClampToSingle, comparisons false on NaN)"},
    {{"AddN"}, "increment NaN, +inf, -inf, subnormal, 1e9", {kNaN, kInf, -kInf, 1e-40, 1e9}, firstNumber,
     kAsAccepted, "every sum passes through ClampToSingle"},
    {kChannels, "PeriodMultiplier 0, -1, NaN, 1e9, 32767, 32768", kPeriods, firstNumber, kAsAccepted,
     "the multiplier is bounded to 0..100, a NaN or negative one counts as 0"},
    {kChannels, "AlternatePeriod 0, -1, NaN, 1e9, 32767, 32768", kPeriods, secondNumber, kAsAccepted,
     "the alternate length is bounded to 0..100, a NaN or negative one counts as 0"},

    // Ranges (of every price series and the data argument)
    {kBrevane, "empty ranges 0..-1", {0}, emptyRanges, rejected(kInvalid),
     "Brevane accepts a series from firstValid 0 and lastValid 1 on"},
    {kAmbrel, "empty ranges 0..-1", {0}, emptyRanges, result({1, -1}, kNone),
     "AmbrelFunc reports 1..N whatever N is, and writes bars 1..N only when N >= 1"},
    {join({kDataZenobar, kSumArrays}), "empty ranges 0..-1", {0}, emptyRanges, kEmptyResult,
     "ZENOBAR uses ranges from bar 1 on only; an unusable one is the empty result, no error"},
    {kSignalFunctions, "empty ranges 0..-1", {0}, emptyRanges, result({0, -1}, kNone),
     "the Signal functions report the bars high and low share, S..E, empty here"},

    {{"BrevanePeriod"}, "reversed ranges 30..10", {0}, reversedRanges, result({36, 10}, {0, 10}),
     "no Brevane check compares first with last: the period array 0..L is handed over, the range is F+6..L"},
    {kChannels, "reversed ranges 30..10", {0}, reversedRanges, result({36, 10}, kNone),
     "the channel writes bars FS..LS, none here, and reports FS+6..LS"},
    {kAmbrel, "reversed ranges 30..10", {0}, reversedRanges, result({1, 10}, {1, 10}),
     "AmbrelFunc does not read close.firstValid"},
    {kDataZenobar, "reversed ranges 30..10", {0}, reversedRanges, kEmptyResult,
     "MyMov needs n valid bars; AddN with first after last reports the empty result"},
    {join({kSumArrays, kSignalFunctions}), "reversed ranges 30..10", {0}, reversedRanges,
     result({30, 10}, kNone), "SumArrays and the Signal functions report the range they loop over, reversed"},

    {{"BrevanePeriod"}, "one-bar ranges 5..5", {0}, oneBarRanges, result({11, 5}, {0, 5}),
     "too few bars is no error: entries 0..L are handed over, the range F+6..L is empty"},
    {kChannels, "one-bar ranges 5..5", {0}, oneBarRanges, result({11, 5}, {5, 5}),
     "too few bars is no error: bar FS is written, the range FS+6..LS is empty"},
    {kAmbrel, "one-bar ranges 5..5", {0}, oneBarRanges, result({1, 5}, {1, 5}),
     "AmbrelFunc compares closes 1..N whatever close.firstValid says"},
    {{"MyMov"}, "one-bar ranges 5..5", {0}, oneBarRanges, kEmptyResult, "a period of 5 needs 5 valid bars"},
    {join({{"AddN"}, kSumArrays, kSignalFunctions}), "one-bar ranges 5..5", {0}, oneBarRanges,
     result({5, 5}, {5, 5}), "the one bar is computed and reported"},

    {kBrevane, "ranges of bar 0 only", {0}, barZeroRanges, rejected(kInvalid),
     "a series whose only bar is bar 0 is rejected"},
    {kAmbrel, "ranges of bar 0 only", {0}, barZeroRanges, result({1, 0}, kNone), "N = 0: nothing is compared"},
    {join({kDataZenobar, kSumArrays}), "ranges of bar 0 only", {0}, barZeroRanges, kEmptyResult,
     "ZENOBAR uses ranges from bar 1 on only"},
    {kSignalsButVolume, "ranges of bar 0 only", {0}, barZeroRanges, result({0, 0}, {0, 0}),
     "bar 0 is computed; SignalExt writes 0 there, having no earlier close"},
    {kVolume, "ranges of bar 0 only", {0}, barZeroRanges, kEmptyResult,
     "a close from bar 0 fails SignalVolume's close gate: nothing computed, the empty result"},

    {{"BrevanePeriod"}, "ranges from bar 0", {0}, fromBarZero, result({6, 40}, {0, 40}), "F = 0 is accepted"},
    {kChannels, "ranges from bar 0", {0}, fromBarZero, result({6, 40}, {0, 40}), "FS = 0 is accepted"},
    {kAmbrel, "ranges from bar 0", {0}, fromBarZero, kAsAccepted, "the range always starts at bar 1"},
    {join({kDataZenobar, kSumArrays}), "ranges from bar 0", {0}, fromBarZero, kEmptyResult,
     "ZENOBAR uses ranges from bar 1 on only"},
    {kSignalsButVolume, "ranges from bar 0", {0}, fromBarZero, result({0, 40}, {0, 40}), "bar 0 is computed"},
    {kVolume, "ranges from bar 0", {0}, fromBarZero, kEmptyResult, "a close from bar 0 fails the close gate"},

    {kBrevane, "ranges from bar -5", {0}, negativeFirst, rejected(kInvalid), "Brevane needs firstValid >= 0"},
    {kAmbrel, "ranges from bar -5", {0}, negativeFirst, kAsAccepted, "AmbrelFunc does not read close.firstValid"},
    {join({kDataZenobar, kSumArrays}), "ranges from bar -5", {0}, negativeFirst, kEmptyResult,
     "ZENOBAR uses ranges from bar 1 on only"},
    {kSignalsButVolume, "ranges from bar -5", {0}, negativeFirst, result({0, 40}, {0, 40}),
     "a negative start is raised to bar 0: nothing is written before the host's array"},
    {kVolume, "ranges from bar -5", {0}, negativeFirst, kEmptyResult, "a close from bar -5 fails the close gate"},

    {kBrevane, "firstValid 2^31 - 4", {0}, firstNearInt32Limit, kEmptyResult,
     "firstValid + 6 would pass the int32 limit: too few bars, nothing read or written"},
    {kAmbrel, "firstValid 2^31 - 4", {0}, firstNearInt32Limit, kAsAccepted, "close.firstValid is not read"},
    {kDataZenobar, "firstValid 2^31 - 4", {0}, firstNearInt32Limit, kEmptyResult,
     "first after last: no valid bars"},
    {join({kSumArrays, kSignalFunctions}), "firstValid 2^31 - 4", {0}, firstNearInt32Limit,
     result({kInt32Max - 3, 40}, kNone), "bars are counted in wide integers: the loop ends at once"},

    {{"BrevanePeriod"}, "a data array one bar past close.lastValid", {0}, dataPastClose,
     result({7, 41}, {0, 41}), "BrevanePeriod reads its data array only"},
    {kChannels, "a data array one bar past close.lastValid", {0}, dataPastClose, kAsAccepted,
     "the channel's bars are those of high or low; U's range is not compared with them"},
    {kDataZenobar, "a data array one bar past close.lastValid", {0}, dataPastClose, kEmptyResult,
     "a data array must lie inside the close range"},

    // Counts
    {kBrevane, "DataArgs count 0, 2, 9, 10, -1", kCounts, dataCount, rejected(kInvalid),
     "every count must be that of the function's argument list"},
    {kDataZenobar, "DataArgs count 0, 2, 9, 10, -1", kCounts, dataCount, rejected(kWrongCount),
     "every kind of argument the function reads must have count 1"},
    {join({kSumArrays, kArgumentFree}), "DataArgs count 0, 2, 9, 10, -1", kCounts, dataCount, kAsAccepted,
     "a count the function does not read is not examined"},

    {{"BrevanePeriod"}, "NumericArgs count 1, 2, 9, 10, -1", kCountsBeside, numericCount, rejected(kInvalid),
     "BrevanePeriod declares no numeric argument"},
    {kChannels, "NumericArgs count 0, 1, 9, 10, -1", {0, 1, 9, 10, -1}, numericCount, rejected(kInvalid),
     "the channels declare two numeric arguments"},
    {kDataZenobar, "NumericArgs count 0, 2, 9, 10, -1", kCounts, numericCount, rejected(kWrongCount),
     "every kind of argument the function reads must have count 1"},
    {join({kSumArrays, kArgumentFree}), "NumericArgs count 0, 2, 9, 10, -1", kCounts, numericCount, kAsAccepted,
     "a count the function does not read is not examined"},

    {kBrevane, "StringArgs count 1, 2, 9, 10, -1", kCountsBeside, stringCount, rejected(kInvalid),
     "Brevane declares no string argument"},
    {kSumArrays, "StringArgs count 0, 2, 9, 10, -1", kCounts, stringCount, rejected(kWrongCount),
     "every kind of argument the function reads must have count 1"},
    {join({kDataZenobar, kArgumentFree}), "StringArgs count 0, 2, 9, 10, -1", kCounts, stringCount, kAsAccepted,
     "a count the function does not read is not examined"},

    {kBrevane, "CustomArgs count 1, 2, 9, 10, -1", kCountsBeside, customCount, rejected(kInvalid),
     "Brevane declares no custom argument"},
    {{"MyMov"}, "CustomArgs count 0, 2, 9, 10, -1", kCounts, customCount, rejected(kWrongCount),
     "every kind of argument the function reads must have count 1"},
    {join({{"AddN"}, kSumArrays, kArgumentFree}), "CustomArgs count 0, 2, 9, 10, -1", kCounts, customCount,
     kAsAccepted, "a count the function does not read is not examined"},

    // Texts
    {kSumArrays, "a null text", {0}, nullText, kEmptyResult, "a null text counts as an empty one"},
    {kSumArrays, "an empty text", {0}, emptyText, kEmptyResult, "an empty text names no series"},
    {kSumArrays, "texts of 99, 100 and 40,000 close letters", {99, 100, 40000}, closeLetters,
     result({1, 40}, {1, 40}),
     "each letter adds its series once, upper or lower case; texts beyond 32766 characters just work",
     closeTimesLength},
    {kSumArrays, "a text of 40,000 characters that name nothing", {40000}, lettersOfNothing,
     result({1, 40}, {1, 40}), "zeros over the close range; other characters add nothing", zeros},

    // Periods and method ids of MyMov
    {{"MyMov"}, "Period 0, -1, NaN, 1e9, 32767, 32768 over 40 bars", kPeriods, firstNumber, kEmptyResult,
     "a period below 1, not a number, or longer than the valid bars is unusable: no error"},
    {{"MyMov"}, "Period 32767 over 32800 bars, simple", {32767}, longPeriod<0>, result({32767, 32800}, {32767, 32800}),
     "periods beyond the 16-bit window counter just work: output from F + n - 1"},
    {{"MyMov"}, "Period 32768 over 32800 bars, simple", {32768}, longPeriod<0>, result({32768, 32800}, {32768, 32800}),
     "periods beyond the 16-bit window counter just work: output from F + n - 1"},
    {{"MyMov"}, "Period 32767 over 32800 bars, weighted", {32767}, longPeriod<2>, result({32767, 32800}, {32767, 32800}),
     "periods beyond the 16-bit window counter just work: output from F + n - 1"},
    {{"MyMov"}, "Period 32768 over 32800 bars, weighted", {32768}, longPeriod<2>, result({32768, 32800}, {32768, 32800}),
     "periods beyond the 16-bit window counter just work: output from F + n - 1"},
    {{"MyMov"}, "Period 32767 over 32800 bars, exponential", {32767}, longPeriod<3>, result({32767, 32800}, {32767, 32800}),
     "periods beyond the 16-bit window counter just work: the seed at F + n - 1"},
    {{"MyMov"}, "Period 32768 over 32800 bars, exponential", {32768}, longPeriod<3>, result({32768, 32800}, {32768, 32800}),
     "periods beyond the 16-bit window counter just work: the seed at F + n - 1"},
    {{"MyMov"}, "Method id -1, 4, 2^31 - 1", kMethods, method, rejected(kUndefinedMethod),
     "only the ids 0 to 3 of the Method custom strings name a method"},
    {{"MyMov"}, "Method id -1, 4, 2^31 - 1 with Period 0", kMethods, methodWithPeriodZero, kEmptyResult,
     "an unusable period is decided before the method id is looked at"},
};

// ---- Checks --------------------------------------------------------------------------------

bool inside(Bars bars, int32 bar) { return bars.first <= bar && bar <= bars.last; }

bool containsBits(const std::vector<float> &values, float v) {
    for (float x : values) {
        if (bitsOf(x) == bitsOf(v)) return true;
    }
    return false;
}

// The bound of the function on one written value.
bool withinBound(const Function &f, const Setup &s, int32 bar, float v) {
    const auto &p = s.prices;
    switch (f.bound) {
    case Bound::Period: return v >= 0.0f && v <= 50.0f;
    case Bound::Channel: {
        const bool high = std::string(f.name) == "ChannelHigh";
        return bitsOf(v) == bitsOf(high ? 0.0f : 100000.0f) || containsBits(p[high ? 1 : 2].values, v);
    }
    case Bound::Direction: return bitsOf(v) == bitsOf(1.0f) || bitsOf(v) == bitsOf(-1.0f) || bitsOf(v) == 0u;
    case Bound::Clamped: return v == 0.0f || (std::fabs(v) >= kClampLower && std::fabs(v) <= kClampUpper);
    case Bound::CopyOfHigh: return bitsOf(v) == bitsOf(p[1].values[bar]);
    case Bound::CopyOfLow: return bitsOf(v) == bitsOf(p[2].values[bar]);
    case Bound::CopyOfOpen: return bitsOf(v) == bitsOf(p[0].values[bar]);
    case Bound::CopyOfClose: return bitsOf(v) == bitsOf(p[3].values[bar]);
    case Bound::RootOf252: return bitsOf(v) == bitsOf(static_cast<float>(std::sqrt(252.0)));
    case Bound::FiniteChange: return std::isfinite(v);
    case Bound::VolumeOrZero: return bitsOf(v) == 0u || bitsOf(v) == bitsOf(p[4].values[bar]);
    }
    return false;
}

// Exactly the bars of `written` hold written values; each keeps the function's bound.
void expectWrites(const CallRecords &call, const Function &f, const Setup &s, Bars written) {
    for (int32 bar = 0; bar < s.bars; ++bar) {
        const bool wasWritten = call.outputBits(bar) != kUntouchedBits;
        ASSERT_EQ(wasWritten, inside(written, bar)) << "output entry " << bar;
        if (wasWritten) {
            ASSERT_TRUE(withinBound(f, s, bar, call.output()[bar]))
                << "bar " << bar << " holds " << call.output()[bar];
        }
    }
}

// Brevane pads its message with NUL up to byte 99; ZENOBAR writes the message and one NUL and leaves
// the bytes after it as the host had them.
void expectMessage(const CallRecords &call, const std::string &name, const std::string &message,
                   const std::array<char, TextFieldSize> &before) {
    std::array<char, TextFieldSize> expected = before;
    std::memcpy(expected.data(), message.c_str(), message.size() + 1);
    if (isBrevane(name)) {
        std::fill(expected.begin() + static_cast<long>(message.size()), expected.end() - 1, '\0');
    }
    EXPECT_EQ(0, std::memcmp(expected.data(), call.result.errorText, TextFieldSize))
        << "errorText: " << call.errorText();
}

void runRow(const LoadedModules &modules, const Row &row, const char *name, double value) {
    const Function &f = function(name);
    Setup s = acceptedCall(f);
    row.mutate(s, value);
    CallRecords call(static_cast<std::size_t>(s.bars));
    makeRecords(s, call);
    std::array<char, TextFieldSize> errorTextBefore;
    std::memcpy(errorTextBefore.data(), call.result.errorText, TextFieldSize);

    const int32 status = call.call(modules.calculation(name));

    const Expected &e = row.expected;
    const Bars range = e.asAccepted ? f.range : e.range;
    const Bars written = e.asAccepted ? f.written : e.written;
    ASSERT_EQ(status, e.status);
    EXPECT_EQ(call.firstValid(), range.first);
    EXPECT_EQ(call.lastValid(), range.last);
    if (e.message != nullptr) {
        expectMessage(call, name, e.message, errorTextBefore);
    } else {
        EXPECT_TRUE(call.errorTextUntouched()) << "errorText: " << call.errorText();
    }
    EXPECT_TRUE(call.inputsUnchanged());
    expectWrites(call, f, s, written);
    if (row.check != nullptr) row.check(call, s, value);
}

TEST(BadInput, EveryFunctionGivesTheOutcomeItsLibraryPromises) {
    const LoadedModules modules;
    for (const Row &row : kRows) {
        for (const char *name : row.functions) {
            for (double value : row.values) {
                std::ostringstream trace;
                trace << name << ", " << row.input << " (" << value << "): " << row.because;
                SCOPED_TRACE(trace.str());
                runRow(modules, row, name, value);
            }
        }
    }
}

// Every registered calculation function is in the table above.
TEST(BadInput, TheTableCoversEveryRegisteredFunction) {
    const LoadedModules modules;
    std::size_t registered = 0;
    for (const host::Plugin &plugin : modules.plugins()) {
        std::string error;
        const auto info = plugin.describe(error);
        ASSERT_TRUE(info) << error;
        for (const host::FunctionInfo &fn : info->functions) {
            ++registered;
            EXPECT_NO_THROW(function(fn.name)) << fn.name << " has no row in the table";
        }
    }
    EXPECT_EQ(registered, sizeof kFunctions / sizeof kFunctions[0]);
}

}  // namespace
}  // namespace zpk::test
