#include "calculation.hpp"

#include "input_error.hpp"

#include <limits>

namespace zpk::host {

namespace {

// What an output entry holds before the call: a function that reports a bar without writing it
// shows as nan rather than as a plausible number.
constexpr float kUnwrittenOutput = std::numeric_limits<float>::quiet_NaN();

const char *typeWord(int32 type) {
    switch (type) {
    case DataArrayArg: return "data-array";
    case NumericArg: return "numeric";
    case StringArg: return "string";
    default: return "custom";
    }
}

// The six records of one call and everything they point to. It points into itself, so it stays
// where it was made.
class CallRecords {
public:
    CallRecords(const FunctionInfo &function, const PriceTable &prices,
                const std::vector<ArgumentValue> &arguments);
    CallRecords(const CallRecords &) = delete;
    CallRecords &operator=(const CallRecords &) = delete;

    CalculationResult call(CalcFunction calculate);

private:
    DataArrayRec seriesRecord(const SeriesView &series) const;
    DataArrayRec priceRecord(const PriceSeries &series) const;
    void fillPrices(const PriceTable &prices);
    void fillUnusedEntries();
    void addArgument(const FunctionInfo &function, std::size_t index, const ArgumentValue &value);

    std::size_t entries_;  // the bars and the slot before the first
    std::vector<float> blankValues_;  // behind every series the call has no data for
    DataArrayRec blank_{};
    std::vector<DataArrayRec> dataRecords_;

    PriceDataRec prices_{};
    DataArgs data_{};
    NumericArgs numeric_{};
    StringArgs strings_{};
    CustomArgs custom_{};

    std::vector<float> output_;
    DataArrayRec outputRecord_{};
    ResultRec result_{};
};

CallRecords::CallRecords(const FunctionInfo &function, const PriceTable &prices,
                         const std::vector<ArgumentValue> &arguments)
    : entries_(prices.entryCount()), blankValues_(prices.entryCount(), 0.0f),
      output_(prices.entryCount(), kUnwrittenOutput) {
    blank_ = DataArrayRec{blankValues_.data(), 0, -1};
    fillPrices(prices);
    fillUnusedEntries();
    // Every data-array argument gets a record of its own; reserving keeps their addresses fixed.
    dataRecords_.reserve(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) addArgument(function, i, arguments[i]);
    outputRecord_ = DataArrayRec{output_.data(), 0, -1};
    result_.data = &outputRecord_;
}

// Libraries read their input series and never write them, so the host's values can be handed over
// as they are.
DataArrayRec CallRecords::seriesRecord(const SeriesView &series) const {
    return DataArrayRec{const_cast<float32 *>(series.values), series.firstValid, series.lastValid};
}

DataArrayRec CallRecords::priceRecord(const PriceSeries &series) const {
    if (!series.present || series.values.size() != entries_) return blank_;
    return seriesRecord(SeriesView{series.values.data(), series.firstValid, series.lastValid});
}

void CallRecords::fillPrices(const PriceTable &prices) {
    prices_.open = priceRecord(prices.open);
    prices_.high = priceRecord(prices.high);
    prices_.low = priceRecord(prices.low);
    prices_.close = priceRecord(prices.close);
    prices_.volume = priceRecord(prices.volume);
    prices_.series6 = blank_;
    prices_.series7 = priceRecord(prices.openInterest);
}

// Entries beyond each count are never read; they still point at something harmless.
void CallRecords::fillUnusedEntries() {
    for (int k = 0; k < MaxArgs; ++k) {
        data_.args[k] = &blank_;
        numeric_.args[k] = 0.0f;
        strings_.args[k] = "";
        custom_.args[k] = 0;
    }
}

template <class Record>
int32 nextEntry(Record &record, const FunctionInfo &function, int32 type) {
    if (record.count >= MaxArgs) {
        throw InputError(function.name + " declares more than " + std::to_string(MaxArgs) + " " +
                         typeWord(type) + " arguments, more than a call can carry");
    }
    return record.count++;
}

void CallRecords::addArgument(const FunctionInfo &function, std::size_t index,
                              const ArgumentValue &value) {
    const int32 type = function.args[index].type;
    switch (type) {
    case DataArrayArg:
        dataRecords_.push_back(seriesRecord(std::get<SeriesView>(value)));
        data_.args[nextEntry(data_, function, type)] = &dataRecords_.back();
        break;
    case NumericArg:
        numeric_.args[nextEntry(numeric_, function, type)] = std::get<float>(value);
        break;
    case StringArg:
        strings_.args[nextEntry(strings_, function, type)] = std::get<std::string>(value).c_str();
        break;
    case CustomArg:
        custom_.args[nextEntry(custom_, function, type)] = std::get<int32>(value);
        break;
    default:
        throw InputError("argument " + function.args[index].name + " of " + function.name +
                         " has type code " + std::to_string(type) + ", which no record carries");
    }
}

CalculationResult CallRecords::call(CalcFunction calculate) {
    const int32 status = calculate(&prices_, &data_, &numeric_, &strings_, &custom_, &result_);
    CalculationResult result;
    result.status = status;
    if (status != StatusSuccess) result.errorText = fieldText(result_.errorText);
    result.firstValid = outputRecord_.firstValid;
    result.lastValid = outputRecord_.lastValid;
    result.values = std::move(output_);
    return result;
}

}  // namespace

bool CalculationResult::reports(std::size_t bar) const {
    const long long index = static_cast<long long>(bar);
    return firstValid <= index && index <= lastValid;
}

CalculationResult calculate(const FunctionInfo &function, const PriceTable &prices,
                            const std::vector<ArgumentValue> &arguments) {
    CallRecords records(function, prices, arguments);
    return records.call(function.calculate);
}

}  // namespace zpk::host
