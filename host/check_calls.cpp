// The calculation half of the checker: every function called the way hosts may call it, with no
// bars, one bar, a few and many, with each argument varied in turn, and each call made twice with
// different bytes in everything the host leaves undefined (hostData, series6, what follows the
// price record, argument entries beyond the counts, the output range before the call). Every call
// must return 0 or 1, fail only with a NUL-terminated message and the empty range 0..-1, leave
// errorText alone when it succeeds, write nothing but its output entries within the bars and its
// output range, and give the same result both times.
#include "check_support.hpp"
#include "report.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>

namespace zpk::host::check {

namespace {

// Entries before and after every array of a call: inputs hold kOutsideValue there, the output
// kOutputFill, so that reads stay inside memory and writes can be seen.
constexpr std::size_t kPad = 64;
constexpr float kOutsideValue = 77.25f;
constexpr std::uint32_t kOutputFill = 0x7FA5A5A5;  // a quiet NaN no computation produces

struct Range {
    int32 first;
    int32 last;
};

// Price data of one kind: how many entries each array has, and the range of each series a library
// may read. Hosts number bars from 1 (entry 0 a slot before the first bar); one set numbers them
// from 0 as well.
struct PriceSet {
    const char *label;
    std::size_t entries;
    Range open, high, low, close, volume, series7;

    int32 largestLastValid() const {
        return std::max({open.last, high.last, low.last, close.last, volume.last, series7.last});
    }
};

std::vector<PriceSet> priceSets() {
    const Range none{0, -1}, one{1, 1}, seven{1, 7}, all{1, 250}, fromZero{0, 249};
    return {
        {"no bars", 1, none, none, none, none, none, none},
        {"1 bar", 2, one, one, one, one, one, one},
        {"7 bars", 8, seven, seven, seven, seven, seven, seven},
        {"250 bars", 251, all, all, all, all, all, all},
        {"250 bars, each series with a range of its own", 251,
         {4, 250}, {1, 246}, {3, 248}, {1, 250}, {11, 241}, {6, 250}},
        {"250 bars numbered from 0", 250, fromZero, fromZero, fromZero, fromZero, fromZero, fromZero},
    };
}

// A plausible day-by-day walk: the same numbers on every platform (raw engine output only).
struct Walk {
    std::vector<float> open, high, low, close, volume, openInterest;
};

Walk walkOf(std::size_t bars) {
    std::mt19937 engine(20260101u);
    Walk walk;
    double close = 100.0;
    for (std::size_t i = 0; i < bars; ++i) {
        const double step = (static_cast<double>(engine() % 2001) - 1000.0) / 500.0;
        const double open = close;
        close = std::max(1.0, close + step + 3.0 * std::sin(static_cast<double>(i) / 9.0) / 9.0);
        const double spread = static_cast<double>(engine() % 300) / 100.0;
        walk.open.push_back(static_cast<float>(open));
        walk.close.push_back(static_cast<float>(close));
        walk.high.push_back(static_cast<float>(std::max(open, close) + spread));
        walk.low.push_back(static_cast<float>(std::min(open, close) - spread / 2.0));
        walk.volume.push_back(static_cast<float>(100000 + engine() % 900000));
        walk.openInterest.push_back(static_cast<float>(5000 + i * 3));
    }
    return walk;
}

// One array of a call with kPad entries on either side.
class PaddedArray {
public:
    PaddedArray(const std::vector<float> &values, float padValue)
        : storage_(kPad * 2 + values.size(), padValue) {
        std::copy(values.begin(), values.end(), storage_.begin() + kPad);
        original_ = storage_;
    }
    float *bars() { return storage_.data() + kPad; }
    bool unchanged() const { return bitsEqual(storage_, original_); }

    // The first entry that differs from what the array held, as a bar number (negative before bar 0).
    long long firstChangedBar() const {
        for (std::size_t i = 0; i < storage_.size(); ++i) {
            if (std::memcmp(&storage_[i], &original_[i], sizeof(float)) != 0) {
                return static_cast<long long>(i) - static_cast<long long>(kPad);
            }
        }
        return 0;
    }

private:
    static bool bitsEqual(const std::vector<float> &a, const std::vector<float> &b) {
        return std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
    }
    std::vector<float> storage_;
    std::vector<float> original_;
};

// ---- argument values ------------------------------------------------------------------------------

enum class SeriesForm { Whole, Inner, Empty };

struct ArgumentChoice {
    SeriesForm series = SeriesForm::Whole;  // DataArrayArg: a copy of close over this range
    float number = 1.0f;                    // NumericArg
    std::string text = "C";                 // StringArg
    int32 id = 0;                           // CustomArg
    std::string label;                      // how the value is shown in messages
};

using ArgumentSet = std::vector<ArgumentChoice>;

std::string seriesLabel(SeriesForm form) {
    switch (form) {
    case SeriesForm::Whole: return "close";
    case SeriesForm::Inner: return "close[first+3..last-3]";
    default: return "an empty series";
    }
}

ArgumentChoice baselineChoice(const ArgumentInfo &arg) {
    ArgumentChoice choice;
    switch (arg.type) {
    case DataArrayArg: choice.label = seriesLabel(choice.series); break;
    case NumericArg: choice.label = formatValue(choice.number); break;
    case StringArg: choice.label = "\"" + choice.text + "\""; break;
    default:
        choice.id = arg.choices.front().id;
        choice.label = arg.choices.front().text;
    }
    return choice;
}

// The other values tried for `arg`, one at a time, the others at their baseline.
std::vector<ArgumentChoice> variantsOf(const ArgumentInfo &arg) {
    std::vector<ArgumentChoice> variants;
    ArgumentChoice choice = baselineChoice(arg);
    switch (arg.type) {
    case DataArrayArg:
        for (SeriesForm form : {SeriesForm::Inner, SeriesForm::Empty}) {
            choice.series = form;
            choice.label = seriesLabel(form);
            variants.push_back(choice);
        }
        break;
    case NumericArg:
        for (float number : {0.0f, -1.0f, 2.5f, 10.0f, 1e6f, std::numeric_limits<float>::quiet_NaN()}) {
            choice.number = number;
            choice.label = formatValue(number);
            variants.push_back(choice);
        }
        break;
    case StringArg:
        for (std::string text : {std::string(), std::string("OHLCVI"), std::string("ohlc"),
                                 std::string("Zz 9?"), std::string(150, 'C')}) {
            choice.text = text;
            choice.label = text.size() > 20 ? "\"" + text.substr(0, 8) + "...\" (" +
                                                  std::to_string(text.size()) + " characters)"
                                            : "\"" + text + "\"";
            variants.push_back(choice);
        }
        break;
    default:
        for (const CustomChoice &custom : arg.choices) {
            bool seen = custom.id == arg.choices.front().id;
            for (const ArgumentChoice &earlier : variants) seen = seen || earlier.id == custom.id;
            if (seen) continue;
            choice.id = custom.id;
            choice.label = custom.text;
            variants.push_back(choice);
        }
    }
    return variants;
}

std::vector<ArgumentSet> argumentSets(const FunctionInfo &function) {
    ArgumentSet baseline;
    for (const ArgumentInfo &arg : function.args) baseline.push_back(baselineChoice(arg));
    std::vector<ArgumentSet> sets = {baseline};
    for (std::size_t a = 0; a < function.args.size(); ++a) {
        for (const ArgumentChoice &variant : variantsOf(function.args[a])) {
            ArgumentSet set = baseline;
            set[a] = variant;
            sets.push_back(set);
        }
    }
    return sets;
}

std::string callLabel(const FunctionInfo &function, const ArgumentSet &arguments, const PriceSet &prices) {
    std::string label = function.name + "(";
    for (std::size_t a = 0; a < arguments.size(); ++a) {
        if (a != 0) label += ", ";
        label += arguments[a].label;
    }
    return label + ") on " + prices.label;
}

// ---- the undefined bytes of a call ---------------------------------------------------------------

// What one of the two calls of a case puts where the host leaves things undefined.
struct Undefined {
    unsigned char byte;          // hostData, the bytes after the price record, errorText, counts
    Range series6;
    float decoyValue;            // the series behind data-array entries beyond the count
    const char *decoyText;       // the text behind string entries beyond the count
    Range outputBefore;          // the output range before the call
};

const Undefined kFirst{0xA5, {0, 1}, 3.0f, "decoy one", {static_cast<int32>(0xA5A5A5A5), 7}};
const Undefined kSecond{0x5A, {2, 1}, 9999.0f, "OHLCVI decoy", {-7, 123456}};

// ---- one call --------------------------------------------------------------------------------------

struct PricesWithTail {
    PriceDataRec record;
    unsigned char tail[32];
};

// What a call left behind that the two calls of a case must agree on.
struct Outcome {
    int32 status;
    int32 firstValid;
    int32 lastValid;
    std::string errorText;
    std::vector<std::uint32_t> reportedBits;  // the output entries of the reported bars
};

// The records of one call and everything they point to, built the way a host builds them. They
// point into each other, so the call stays where it was made.
class HostCall {
public:
    HostCall(const FunctionInfo &function, const PriceSet &set, const Walk &walk,
             const ArgumentSet &arguments, const Undefined &undefined);
    HostCall(const HostCall &) = delete;
    HostCall &operator=(const HostCall &) = delete;

    void call() { status_ = function_.calculate(&prices_.record, &data_, &numeric_, &strings_, &custom_, &result_); }

    // Every rule of one call; `label` names the call in messages.
    void checkRules(const std::string &label, Findings &findings) const;
    Outcome outcome() const;

private:
    DataArrayRec seriesRecord(PaddedArray &array, Range range) {
        return DataArrayRec{array.bars(), range.first, range.last};
    }
    void fillArguments(const ArgumentSet &arguments, const Undefined &undefined);
    void checkStatus(const std::string &label, Findings &findings) const;
    void checkInputs(const std::string &label, Findings &findings) const;
    void checkOutput(const std::string &label, Findings &findings) const;
    void report(Findings &findings, const char *rule, const std::string &label, const std::string &what) const {
        findings.add(function_.name + "/" + rule, label + ": " + what);
    }

    const FunctionInfo &function_;
    std::size_t entries_;
    int32 largestLastValid_;  // a call writes output entries 0 up to this one at most
    std::vector<std::unique_ptr<PaddedArray>> inputs_;  // the price series, then the data arguments
    std::vector<std::string> inputNames_;
    std::unique_ptr<PaddedArray> decoy_;
    std::vector<DataArrayRec> dataRecords_;
    DataArrayRec decoyRecord_{};
    std::vector<std::string> texts_;
    std::vector<std::string> textsBefore_;

    PricesWithTail prices_{};
    DataArgs data_{};
    NumericArgs numeric_{};
    StringArgs strings_{};
    CustomArgs custom_{};
    PricesWithTail pricesBefore_{};
    DataArgs dataBefore_{};
    NumericArgs numericBefore_{};
    StringArgs stringsBefore_{};
    CustomArgs customBefore_{};

    std::vector<float> outputStorage_;
    DataArrayRec output_{};
    ResultRec result_{};
    char errorTextBefore_[TextFieldSize];
    int32 status_ = 0;
};

HostCall::HostCall(const FunctionInfo &function, const PriceSet &set, const Walk &walk,
                   const ArgumentSet &arguments, const Undefined &undefined)
    : function_(function), entries_(set.entries), largestLastValid_(set.largestLastValid()) {
    std::memset(static_cast<void *>(&prices_), undefined.byte, sizeof prices_);
    // series6 belongs to the host: its values, like its range, differ between the two calls.
    std::vector<float> series6 = walk.close;
    for (float &value : series6) value += undefined.decoyValue;
    const std::pair<const std::vector<float> *, const char *> series[] = {
        {&walk.open, "the open series"},     {&walk.high, "the high series"},
        {&walk.low, "the low series"},       {&walk.close, "the close series"},
        {&walk.volume, "the volume series"}, {&walk.openInterest, "series7"},
        {&series6, "series6"}};
    for (const auto &[values, name] : series) {
        inputs_.push_back(std::make_unique<PaddedArray>(*values, kOutsideValue));
        inputNames_.push_back(name);
    }
    prices_.record.open = seriesRecord(*inputs_[0], set.open);
    prices_.record.high = seriesRecord(*inputs_[1], set.high);
    prices_.record.low = seriesRecord(*inputs_[2], set.low);
    prices_.record.close = seriesRecord(*inputs_[3], set.close);
    prices_.record.volume = seriesRecord(*inputs_[4], set.volume);
    prices_.record.series7 = seriesRecord(*inputs_[5], set.series7);
    prices_.record.series6 = seriesRecord(*inputs_[6], undefined.series6);

    fillArguments(arguments, undefined);

    outputStorage_.assign(kPad * 2 + entries_, 0.0f);
    for (float &entry : outputStorage_) std::memcpy(&entry, &kOutputFill, sizeof entry);
    output_ = DataArrayRec{outputStorage_.data() + kPad, undefined.outputBefore.first, undefined.outputBefore.last};
    std::memset(result_.errorText, undefined.byte, TextFieldSize);
    result_.data = &output_;
    std::memcpy(errorTextBefore_, result_.errorText, TextFieldSize);

    pricesBefore_ = prices_;
    dataBefore_ = data_;
    numericBefore_ = numeric_;
    stringsBefore_ = strings_;
    customBefore_ = custom_;
}

void HostCall::fillArguments(const ArgumentSet &arguments, const Undefined &undefined) {
    decoy_ = std::make_unique<PaddedArray>(std::vector<float>(entries_, undefined.decoyValue), undefined.decoyValue);
    decoyRecord_ = DataArrayRec{decoy_->bars(), 0, static_cast<int32>(entries_) - 1};
    std::memset(static_cast<void *>(&numeric_), undefined.byte, sizeof numeric_);
    std::memset(static_cast<void *>(&custom_), undefined.byte, sizeof custom_);
    for (int k = 0; k < MaxArgs; ++k) {
        data_.args[k] = &decoyRecord_;
        strings_.args[k] = undefined.decoyText;
    }
    const Range close = {prices_.record.close.firstValid, prices_.record.close.lastValid};
    dataRecords_.reserve(arguments.size());
    texts_.reserve(arguments.size());
    int32 counts[4] = {0, 0, 0, 0};
    for (std::size_t a = 0; a < arguments.size(); ++a) {
        const ArgumentChoice &choice = arguments[a];
        const int32 type = function_.args[a].type;
        const int32 entry = counts[type]++;
        switch (type) {
        case DataArrayArg: {
            inputs_.push_back(std::make_unique<PaddedArray>(
                std::vector<float>(inputs_[3]->bars(), inputs_[3]->bars() + entries_), kOutsideValue));
            inputNames_.push_back("its data-array argument " + function_.args[a].name);
            Range range = close;
            if (choice.series == SeriesForm::Inner) range = Range{close.first + 3, close.last - 3};
            if (choice.series == SeriesForm::Empty || range.first > range.last) range = Range{0, -1};
            dataRecords_.push_back(seriesRecord(*inputs_.back(), range));
            data_.args[entry] = &dataRecords_.back();
            break;
        }
        case NumericArg: numeric_.args[entry] = choice.number; break;
        case StringArg:
            texts_.push_back(choice.text);
            strings_.args[entry] = texts_.back().c_str();
            break;
        default: custom_.args[entry] = choice.id;
        }
    }
    textsBefore_ = texts_;
    // A function without arguments reads none of these records, not even their counts.
    const bool countsUndefined = function_.args.empty() && undefined.byte != kFirst.byte;
    const int32 garbage = static_cast<int32>(0x01010101u * undefined.byte);
    data_.count = countsUndefined ? garbage : counts[DataArrayArg];
    numeric_.count = countsUndefined ? garbage : counts[NumericArg];
    strings_.count = countsUndefined ? garbage : counts[StringArg];
    custom_.count = countsUndefined ? garbage : counts[CustomArg];
}

void HostCall::checkStatus(const std::string &label, Findings &findings) const {
    if (status_ != StatusSuccess && status_ != StatusFailure) {
        report(findings, "status", label, "returned " + std::to_string(status_) + " (want 0 or 1)");
        return;
    }
    if (status_ == StatusFailure) {
        FieldText text = readField(result_.errorText);
        if (!text.terminated) {
            report(findings, "errorText", label, "failed without a NUL-terminated errorText within its 100 bytes");
        }
        if (output_.firstValid != 0 || output_.lastValid != -1) {
            report(findings, "failRange", label,
                   "failed but reported the range " + std::to_string(output_.firstValid) + ".." +
                       std::to_string(output_.lastValid) + " (a failed call reports 0..-1)");
        }
    } else if (std::memcmp(errorTextBefore_, result_.errorText, TextFieldSize) != 0) {
        report(findings, "successText", label, "succeeded but wrote into errorText");
    }
}

void HostCall::checkInputs(const std::string &label, Findings &findings) const {
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        if (!inputs_[i]->unchanged()) {
            report(findings, ("input" + inputNames_[i]).c_str(), label,
                   "wrote into " + inputNames_[i] + " (at bar " + std::to_string(inputs_[i]->firstChangedBar()) +
                       "); input series are read only");
        }
    }
    if (!decoy_->unchanged()) {
        report(findings, "inputDecoy", label, "wrote into a series behind a data-array entry beyond the count");
    }
    if (texts_ != textsBefore_) report(findings, "inputText", label, "wrote into the text of a string argument");
    const std::pair<bool, const char *> records[] = {
        {std::memcmp(&prices_, &pricesBefore_, sizeof prices_) == 0, "the PriceDataRec"},
        {std::memcmp(&data_, &dataBefore_, sizeof data_) == 0, "the DataArgs record"},
        {std::memcmp(&numeric_, &numericBefore_, sizeof numeric_) == 0, "the NumericArgs record"},
        {std::memcmp(&strings_, &stringsBefore_, sizeof strings_) == 0, "the StringArgs record"},
        {std::memcmp(&custom_, &customBefore_, sizeof custom_) == 0, "the CustomArgs record"},
        {result_.data == &output_ && output_.values == outputStorage_.data() + kPad,
         "the ResultRec's data pointer or the output's values pointer"},
    };
    for (const auto &[same, name] : records) {
        if (!same) report(findings, name, label, std::string("changed ") + name + ", which belongs to the host");
    }
}

void HostCall::checkOutput(const std::string &label, Findings &findings) const {
    const std::string allowed = "0 to the largest lastValid of the series it was given (" +
                                std::to_string(largestLastValid_) + ")";
    for (std::size_t i = 0; i < outputStorage_.size(); ++i) {
        const long long entry = static_cast<long long>(i) - static_cast<long long>(kPad);
        if (entry >= 0 && entry <= largestLastValid_) continue;
        std::uint32_t bits;
        std::memcpy(&bits, &outputStorage_[i], sizeof bits);
        if (bits != kOutputFill) {
            report(findings, "outputBeyond", label,
                   "wrote output entry " + std::to_string(entry) + ", outside the entries " + allowed);
            break;
        }
    }
    const bool nonEmpty = output_.firstValid <= output_.lastValid;
    if (status_ == StatusSuccess && nonEmpty &&
        (output_.firstValid < 0 || output_.lastValid > largestLastValid_)) {
        report(findings, "rangeBeyond", label,
               "reported the range " + std::to_string(output_.firstValid) + ".." +
                   std::to_string(output_.lastValid) + ", which reaches outside " + allowed);
    }
}

void HostCall::checkRules(const std::string &label, Findings &findings) const {
    checkStatus(label, findings);
    checkInputs(label, findings);
    checkOutput(label, findings);
}

Outcome HostCall::outcome() const {
    Outcome outcome{status_, output_.firstValid, output_.lastValid, {}, {}};
    if (status_ == StatusFailure) outcome.errorText = readField(result_.errorText).text;
    const long long first = std::max<long long>(output_.firstValid, 0);
    const long long last = std::min<long long>(output_.lastValid, static_cast<long long>(entries_) - 1);
    for (long long bar = first; bar <= last; ++bar) {
        std::uint32_t bits;
        std::memcpy(&bits, &output_.values[bar], sizeof bits);
        outcome.reportedBits.push_back(bits);
    }
    return outcome;
}

bool sameOutcome(const Outcome &a, const Outcome &b) {
    return a.status == b.status && a.firstValid == b.firstValid && a.lastValid == b.lastValid &&
           a.errorText == b.errorText && a.reportedBits == b.reportedBits;
}

}  // namespace

std::size_t checkCalculation(const DescribedFunction &described, Findings &findings) {
    const FunctionInfo &function = described.info;
    std::size_t calls = 0;
    for (const PriceSet &set : priceSets()) {
        const Walk walk = walkOf(set.entries);
        for (const ArgumentSet &arguments : argumentSets(function)) {
            const std::string label = callLabel(function, arguments, set);
            HostCall first(function, set, walk, arguments, kFirst);
            first.call();
            first.checkRules(label, findings);
            HostCall second(function, set, walk, arguments, kSecond);
            second.call();
            second.checkRules(label, findings);
            calls += 2;
            if (!sameOutcome(first.outcome(), second.outcome())) {
                findings.add(function.name + "/undefined",
                             label + ": gave another result when only bytes the host leaves undefined "
                                     "changed (hostData, series6, entries beyond the argument counts" +
                                 std::string(function.args.empty() ? " and the counts themselves" : "") +
                                 ", the output range before the call)");
            }
        }
    }
    return calls;
}

}  // namespace zpk::host::check
