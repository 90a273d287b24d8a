// Brevane's computations on the benchmark security: ChannelHigh and ChannelLow as one call computes
// them (period array, engine, channel), the channel alone, and BrevanePeriod.
#include "benchmarks.hpp"

#include "channel_sweep.hpp"
#include "channel_walk.hpp"
#include "hilbert_period.hpp"
#include "price_series.hpp"
#include "result_table.hpp"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace zpkbench {
namespace {

using Engine = int32 (*)(const float32 *, int32, int32, float32 *, int32);
using Channel = void (*)(const brevane::ChannelTwin &, const DataArrayRec &, const float32 *,
                         std::size_t, const brevane::LookBackLengths &, float32 *);

constexpr int32 kLastBar = static_cast<int32>(kBars) - 1;

struct Form {
    Engine engine;
    Channel channel;
};
const Form kLiteral{brevane::CalcHilbertPeriodLiteral, brevane::walkChannel};
const Form kFast{brevane::CalcHilbertPeriod, brevane::sweepChannel};

// The periods of the closes, in a zero-filled array of one float per bar, as every call makes it.
std::vector<float32> periodsOfCloses(Engine engine) {
    std::vector<float32> periods(kBars, 0.0f);
    engine(security().close.data(), 0, kLastBar, periods.data(), static_cast<int32>(kBars));
    return periods;
}

DataArrayRec wholeSeries(const Series &values) {
    return DataArrayRec{const_cast<float32 *>(values.data()), 0, kLastBar};
}

// A channel call over `prices` measured on the closes.
Computation channelCall(const Form &form, const brevane::ChannelTwin &twin, const Series &prices,
                        float multiplier, float alternate) {
    auto out = std::make_shared<Series>(kBars);
    return [form, &twin, &prices, multiplier, alternate, out] {
        const std::vector<float32> periods = periodsOfCloses(form.engine);
        form.channel(twin, wholeSeries(prices), periods.data(), periods.size(),
                     brevane::boundLookBackLengths(multiplier, alternate), out->data());
    };
}

// The channel alone, over periods measured once beforehand.
Computation channelOnly(Channel channel, const Series &prices, float multiplier) {
    auto out = std::make_shared<Series>(kBars);
    auto periods = std::make_shared<std::vector<float32>>(periodsOfCloses(brevane::CalcHilbertPeriod));
    return [channel, &prices, multiplier, out, periods] {
        channel(brevane::kHighChannel, wholeSeries(prices), periods->data(), periods->size(),
                brevane::boundLookBackLengths(multiplier, 0.0f), out->data());
    };
}

// BrevanePeriod: the period array measured and handed over.
Computation periodCall(Engine engine) {
    auto out = std::make_shared<Series>(kBars);
    return [engine, out] {
        const std::vector<float32> periods = periodsOfCloses(engine);
        std::copy(periods.begin(), periods.end(), out->begin());
    };
}

void addChannelPair(const std::string &row, const brevane::ChannelTwin &twin, const Series &prices,
                    float multiplier, float alternate) {
    addPair(row, channelCall(kLiteral, twin, prices, multiplier, alternate),
            channelCall(kFast, twin, prices, multiplier, alternate));
}

}  // namespace

void registerBrevaneBenchmarks() {
    const Series &highs = security().high;
    const Series &lows = security().low;
    const brevane::ChannelTwin &high = brevane::kHighChannel;
    const brevane::ChannelTwin &low = brevane::kLowChannel;

    addHeading("ChannelHigh / ChannelLow, one call: period array, engine, channel");
    addChannelPair("ChannelHigh multiplier 1, random walk", high, highs, 1, 0);
    addChannelPair("ChannelHigh multiplier 100, random walk", high, highs, 100, 0);
    addChannelPair("ChannelHigh multiplier 100, strictly rising", high, risingSeries(), 100, 0);
    addChannelPair("ChannelHigh multiplier 100, strictly falling", high, fallingSeries(), 100, 0);
    addChannelPair("ChannelHigh AlternatePeriod 10, random walk", high, highs, 1, 10);
    addChannelPair("ChannelHigh AlternatePeriod 100, random walk", high, highs, 1, 100);
    addChannelPair("ChannelHigh AlternatePeriod 100, strictly falling", high, fallingSeries(), 1, 100);
    addChannelPair("ChannelLow multiplier 100, random walk", low, lows, 100, 0);
    addChannelPair("ChannelLow multiplier 100, strictly rising", low, risingSeries(), 100, 0);

    addHeading("Channel alone (periods given), ChannelHigh multiplier 100");
    addPair("channel, random walk", channelOnly(brevane::walkChannel, highs, 100),
            channelOnly(brevane::sweepChannel, highs, 100));
    addPair("channel, strictly rising", channelOnly(brevane::walkChannel, risingSeries(), 100),
            channelOnly(brevane::sweepChannel, risingSeries(), 100));
    addPair("channel, strictly falling", channelOnly(brevane::walkChannel, fallingSeries(), 100),
            channelOnly(brevane::sweepChannel, fallingSeries(), 100));

    addHeading("BrevanePeriod: period array, engine, copy to the output");
    addPair("BrevanePeriod, random walk", periodCall(brevane::CalcHilbertPeriodLiteral),
            periodCall(brevane::CalcHilbertPeriod));
}

}  // namespace zpkbench
