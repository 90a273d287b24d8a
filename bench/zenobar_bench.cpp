// ZENOBAR's computations on the benchmark security: MyMov's methods beside their literal sums, and
// the one-pass functions beside a plain copy of the same array.
#include "benchmarks.hpp"

#include "array_arithmetic.hpp"
#include "moving_average.hpp"
#include "price_series.hpp"
#include "result_table.hpp"
#include "signals.hpp"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace zpkbench {
namespace {

constexpr int32 kLastBar = static_cast<int32>(kBars) - 1;

// The six records of one call over the benchmark security, every series valid from bar 1 on (the
// ZENOBAR functions take no data before bar 1), and the output array. Made in place and never
// copied: the records point into each other.
struct CallRecords {
    explicit CallRecords(const Series &data) : output(kBars) {
        const Security &s = security();
        prices.open = valid(s.open);
        prices.high = valid(s.high);
        prices.low = valid(s.low);
        prices.close = valid(s.close);
        prices.volume = valid(s.volume);
        dataArray = valid(data);
        dataArgs.args[0] = &dataArray;
        outputRecord = DataArrayRec{output.data(), 0, -1};
        result.data = &outputRecord;
    }
    CallRecords(const CallRecords &) = delete;
    CallRecords &operator=(const CallRecords &) = delete;

    static DataArrayRec valid(const Series &values) {
        return DataArrayRec{const_cast<float32 *>(values.data()), 1, kLastBar};
    }
    zpk::Call call() { return zpk::Call{&prices, &dataArgs, &numericArgs, &stringArgs, &customArgs, &result}; }

    PriceDataRec prices{};
    DataArrayRec dataArray{};
    DataArgs dataArgs{};
    NumericArgs numericArgs{};
    StringArgs stringArgs{};
    CustomArgs customArgs{};
    Series output;
    DataArrayRec outputRecord{};
    ResultRec result{};
};

// MyMov as shipped, through its computation.
Computation myMov(const Series &data, int32 method, int32 period) {
    auto records = std::make_shared<CallRecords>(data);
    records->dataArgs.count = 1;
    records->numericArgs.args[0] = static_cast<float32>(period);
    records->numericArgs.count = 1;
    records->customArgs.args[0] = method;
    records->customArgs.count = 1;
    return [records] { zenobar::movingAverage(records->call()); };
}

// The literal sums afresh of the same method: one window pass, or two through a scratch series.
Computation literalMyMov(const Series &data, int32 method, int32 period) {
    auto records = std::make_shared<CallRecords>(data);
    return [records, method, period] {
        const DataArrayRec &source = records->dataArray;
        DataArrayRec &target = records->outputRecord;
        if (method == zenobar::TriangularMethod) {
            const int32 m = zenobar::triangularLength(period);
            std::vector<float32> scratchValues(static_cast<std::size_t>(source.lastValid) + 2, 0.0f);
            DataArrayRec scratch{scratchValues.data(), 0, -1};
            zenobar::windowAverage(source, scratch, m, false);
            zenobar::windowAverage(scratch, target, m, false);
        } else {
            zenobar::windowAverage(source, target, period, method == zenobar::WeightedMethod);
        }
    };
}

void addMyMovPair(const std::string &row, const Series &data, int32 method, int32 period) {
    addPair(row, literalMyMov(data, method, period), myMov(data, method, period));
}

// A computation of the library called with the records it reads.
Computation libraryCall(int32 (*compute)(const zpk::Call &), std::shared_ptr<CallRecords> records) {
    return [compute, records] { compute(records->call()); };
}

Computation plainCopy() {
    auto out = std::make_shared<Series>(kBars);
    return [out] {
        const Series &closes = security().close;
        std::copy(closes.begin() + 1, closes.end(), out->begin() + 1);
    };
}

}  // namespace

void registerZenobarBenchmarks() {
    const Series &closes = security().close;
    struct Method {
        int32 id;
        const char *name;
    };
    const Method methods[] = {{zenobar::SimpleMethod, "simple"},
                              {zenobar::TriangularMethod, "triangular"},
                              {zenobar::WeightedMethod, "weighted"}};
    addHeading("MyMov on the closes (random walk)");
    for (const Method &method : methods) {
        for (int32 period : {10, 200, 5000}) {
            addMyMovPair(std::string("MyMov ") + method.name + " " + std::to_string(period), closes, method.id,
                         period);
        }
    }
    addHeading("MyMov on the closes with one value of 1e30 at bar 50,000");
    addMyMovPair("MyMov simple 200, one huge value", closesWithOneHugeValue(), zenobar::SimpleMethod, 200);
    addMyMovPair("MyMov simple 5000, one huge value", closesWithOneHugeValue(), zenobar::SimpleMethod, 5000);
    addMyMovPair("MyMov weighted 5000, one huge value", closesWithOneHugeValue(), zenobar::WeightedMethod, 5000);

    addHeading("MyMov exponential (one pass in its literal form)");
    for (int32 period : {10, 200, 5000}) {
        addSingle("MyMov exponential " + std::to_string(period), myMov(closes, zenobar::ExponentialMethod, period));
    }

    addHeading("One-pass functions, beside a plain copy of the closes");
    addSingle("plain copy", plainCopy());

    auto addN = std::make_shared<CallRecords>(closes);
    addN->dataArgs.count = 1;
    addN->numericArgs.args[0] = 1.5f;
    addN->numericArgs.count = 1;
    addSingle("AddN 1.5", libraryCall(zenobar::addNumber, addN), "plain copy");
    addPair("AddN 1.5, bar by bar / by blocks", libraryCall(zenobar::addNumberLiteral, addN),
            libraryCall(zenobar::addNumber, addN));

    static const char kOhlc[] = "OHLC";
    auto sum = std::make_shared<CallRecords>(closes);
    sum->stringArgs.args[0] = kOhlc;
    sum->stringArgs.count = 1;
    addSingle("SumArrays \"OHLC\" (four letters)", libraryCall(zenobar::sumArrays, sum), "plain copy", 4,
              "letter");
    addPair("SumArrays \"OHLC\", bar by bar / by blocks", libraryCall(zenobar::sumArraysLiteral, sum),
            libraryCall(zenobar::sumArrays, sum));

    addSingle("SignalVolume", libraryCall(zenobar::signalVolume, std::make_shared<CallRecords>(closes)),
              "plain copy");
    addSingle("SignalAst (copies the high)", libraryCall(zenobar::signalAst, std::make_shared<CallRecords>(closes)),
              "plain copy");
}

}  // namespace zpkbench
