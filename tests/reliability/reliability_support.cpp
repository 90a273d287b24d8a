#include "reliability_support.hpp"

#include <algorithm>
#include <random>

namespace zpk::test {

Security randomSecurity(std::uint32_t seed, int32 bars, int32 first) {
    std::mt19937 random(seed);
    std::normal_distribution<double> step(0.0, 1.0);
    std::uniform_real_distribution<double> wick(0.0, 2.0);
    std::uniform_int_distribution<int> volume(1000, 90000);
    std::vector<float> open(bars), high(bars), low(bars), close(bars), vol(bars), series7(bars), data(bars);
    double price = 100.0;
    for (int32 i = 0; i < bars; ++i) {
        const double before = price;
        price = std::max(1.0, price + step(random));
        open[i] = static_cast<float>(before);
        close[i] = static_cast<float>(price);
        high[i] = static_cast<float>(std::max(before, price) + wick(random));
        low[i] = static_cast<float>(std::min(before, price) - wick(random));
        vol[i] = static_cast<float>(volume(random));
        series7[i] = static_cast<float>(step(random));
        data[i] = static_cast<float>(price + step(random));
    }
    const int32 last = bars - 1;
    return Security{{Series(open, first, last), Series(high, first, last), Series(low, first, last),
                     Series(close, first, last), Series(vol, first, last), Series(series7, first, last)},
                    Series(data, first, last)};
}

std::vector<CallSpec> everyCall() {
    std::vector<CallSpec> calls = {
        {"BrevanePeriod", true, {}, {}, {}},
        {"AmbrelFunc", false, {}, {}, {}},
        {"AddN", true, {2.5f}, {}, {}},
        {"SumArrays", false, {}, {"OHLCVI"}, {}},
        {"SumArrays", false, {}, {"cl"}, {}},
    };
    for (const char *channel : {"ChannelHigh", "ChannelLow"}) {
        // multiplier and alternate length: the cycle decides, a part of it decides, a fixed length
        for (std::vector<float> numbers : {std::vector<float>{1.0f, 0.0f}, {0.5f, 0.0f}, {2.0f, 7.0f}}) {
            calls.push_back({channel, true, numbers, {}, {}});
        }
    }
    for (int32 method = 0; method <= 3; ++method) {
        calls.push_back({"MyMov", true, {7.0f}, {}, {method}});
        calls.push_back({"MyMov", true, {10.0f}, {}, {method}});
    }
    for (const char *signal : kSignalFunctions) {
        calls.push_back({signal, false, {}, {}, {}});
    }
    return calls;
}

void fillRecords(CallRecords &call, const Security &security, const CallSpec &spec) {
    const auto &p = security.prices;
    call.setPrices(p[0], p[1], p[2], p[3], p[4], p[5]);
    if (spec.takesData) call.addData(security.data);
    for (float number : spec.numbers) call.addNumber(number);
    for (const std::string &text : spec.texts) call.addText(text.c_str());
    for (int32 id : spec.customs) call.addCustom(id);
}

CallResult resultOf(const CallRecords &call, int32 status) {
    CallResult r{status, call.firstValid(), call.lastValid(), {}, {}};
    r.output.reserve(call.output().size());
    for (float v : call.output()) r.output.push_back(bitsOf(v));
    if (status == StatusFailure) r.errorText = call.errorText();
    return r;
}

}  // namespace zpk::test
