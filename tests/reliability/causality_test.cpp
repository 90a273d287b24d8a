// Causality: no function but AmbrelFunc uses a bar after the one it writes. Over random prices,
// changing every input at the bars after a cut bar k leaves every output entry at bars 0..k as it
// was, bit for bit, and the status and range as they were. AmbrelFunc looks exactly one bar ahead:
// its output at k depends on bar k + 1 and on no later bar.
#include "reliability_support.hpp"

#include <limits>
#include <random>

namespace zpk::test {
namespace {

constexpr int32 kBars = 300;
const int32 kCuts[] = {0, 1, 5, 6, 10, 37, 150, kBars - 3, kBars - 2};

// The security with every series and the data argument replaced after bar `cut` by other values
// (another walk, some of its values NaN or infinite).
Security changedAfter(const Security &original, int32 cut, std::uint32_t seed) {
    Security changed = original;
    const Security other = randomSecurity(seed, kBars, 0);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pick(0, 19);
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), 0.0f};
    auto change = [&](Series &series, const Series &from) {
        for (int32 bar = cut + 1; bar < kBars; ++bar) {
            const int p = pick(random);
            series.values[bar] = p < 4 ? hostile[p] : from.values[bar] * 1.5f;
        }
    };
    for (std::size_t s = 0; s < changed.prices.size(); ++s) change(changed.prices[s], other.prices[s]);
    change(changed.data, other.data);
    return changed;
}

CallResult calculate(const LoadedModules &modules, const Security &security, const CallSpec &spec) {
    CallRecords call(kBars);
    fillRecords(call, security, spec);
    return resultOf(call, call.call(modules.calculation(spec.name)));
}

// Output bar `cut` and every bar before it are the same in both results.
bool sameUpTo(const CallResult &a, const CallResult &b, int32 cut) {
    for (int32 bar = 0; bar <= cut; ++bar) {
        if (a.output[bar] != b.output[bar]) return false;
    }
    return a.status == b.status && a.firstValid == b.firstValid && a.lastValid == b.lastValid;
}

TEST(Causality, NoOutputBarDependsOnALaterInputBar) {
    const LoadedModules modules;
    // Prices valid from bar 1 (every library computes) and from bar 0 (Brevane and the Signal
    // functions compute there too).
    for (int32 first : {1, 0}) {
        const Security original = randomSecurity(7 + static_cast<std::uint32_t>(first), kBars, first);
        for (const CallSpec &spec : everyCall()) {
            if (spec.name == "AmbrelFunc") continue;
            const CallResult before = calculate(modules, original, spec);
            for (int32 cut : kCuts) {
                const CallResult after =
                    calculate(modules, changedAfter(original, cut, 100 + static_cast<std::uint32_t>(cut)), spec);
                // The change reaches the function wherever it computes (the constant of SignalRun
                // apart) ...
                const bool constant = spec.name.rfind("SignalRun", 0) == 0;
                const bool computes = before.firstValid <= before.lastValid;
                if (computes && !constant && cut < kBars - 3) {
                    EXPECT_NE(before.output, after.output) << spec.name << ": changing bars after " << cut
                                                           << " changed nothing at all";
                }
                // ... but not the bars up to the cut.
                EXPECT_TRUE(sameUpTo(before, after, cut))
                    << spec.name << " (variant with " << spec.numbers.size() << " numbers"
                    << (spec.customs.empty() ? "" : ", method " + std::to_string(spec.customs[0]))
                    << "), prices from bar " << first << ": an output bar up to " << cut
                    << " changed with the inputs after it";
            }
        }
    }
}

TEST(Causality, AmbrelFuncLooksExactlyOneBarAhead) {
    const LoadedModules modules;
    const CallSpec ambrel{"AmbrelFunc", false, {}, {}, {}};
    const Security original = randomSecurity(11, kBars, 1);
    const CallResult before = calculate(modules, original, ambrel);
    for (int32 cut : kCuts) {
        if (cut + 2 >= kBars) continue;
        SCOPED_TRACE("bar " + std::to_string(cut));
        // Bars after cut + 1 change: nothing up to cut does.
        const CallResult later = calculate(modules, changedAfter(original, cut + 1, 200 + static_cast<std::uint32_t>(cut)), ambrel);
        EXPECT_TRUE(sameUpTo(before, later, cut));

        // The next close alone moves above and below this bar's close: the mark at cut follows it.
        if (cut < 1) continue;  // bar 0 is never marked
        for (float direction : {1.0f, -1.0f}) {
            Security next = original;
            next.prices[3].values[cut + 1] = next.prices[3].values[cut] + direction;
            const CallResult moved = calculate(modules, next, ambrel);
            EXPECT_EQ(moved.output[cut], bitsOf(direction));
            EXPECT_TRUE(sameUpTo(before, moved, cut - 1));
        }
    }
}

}  // namespace
}  // namespace zpk::test
