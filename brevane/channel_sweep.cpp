#include "channel_sweep.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

namespace brevane {
namespace {

using Bar = std::int64_t;

// The depth of a bar's window, as the walk takes it: a bar beyond the period array has period 0.
int32 depthOfBar(const float32 *periods, std::size_t periodCount, const LookBackLengths &lengths,
                 Bar bar) {
    const auto index = static_cast<std::size_t>(bar);
    return lookBackDepth(lengths, index < periodCount ? periods[index] : 0.0f);
}

int32 deepestWindow(const DataArrayRec &series, const float32 *periods, std::size_t periodCount,
                    const LookBackLengths &lengths) {
    int32 deepest = 1;
    for (Bar bar = series.firstValid; bar <= series.lastValid; ++bar) {
        deepest = std::max(deepest, depthOfBar(periods, periodCount, lengths, bar));
    }
    return deepest;
}

struct Candidate {
    int32 bar;
    float32 value;
};

// The candidates that a window's walk may still keep, oldest bar first. Two rules hold between the
// bars pushed so far:
//  - every entry replaces each later entry (it would take over the running value from them);
//  - every bar that is not an entry, from the oldest entry kept on, has a newer pushed bar that it
//    does not replace (or is a NaN, which replaces nothing).
// Entries join at the newest end, leave there when a newer bar keeps its place against them, and
// leave at the oldest end when no window can reach them any more. They live in a ring of a
// power-of-two size, large enough for the bars of the deepest window.
class CandidateStack {
public:
    CandidateStack(Extreme extreme, std::size_t capacity)
        : extreme_(extreme), ring_(capacity), mask_(capacity - 1) {}

    // The walk meets the newer of two bars first and keeps it unless the older one replaces it; a
    // NaN replaces nothing, so it is never a candidate.
    void push(Bar bar, float32 value) {
        if (std::isnan(value)) {
            return;
        }
        while (size_ > 0 && !replaces(extreme_, value, at(size_ - 1).value)) {
            --size_;
        }
        ring_[(head_ + size_) & mask_] = Candidate{static_cast<int32>(bar), value};
        ++size_;
    }

    // The candidate the walk keeps over bars `oldest` .. the newest bar pushed, met newest first:
    // the first entry at or after `oldest`. It replaces every later entry; every other bar there
    // keeps its place against a newer bar, and so against the entry that newer bar loses to (the
    // walk's order is a total one on non-NaN floats, equal values included). Null when no bar
    // there is a candidate.
    const Candidate *keptFrom(Bar oldest) const {
        std::size_t first = 0;
        std::size_t count = size_;
        while (count > 0) {
            const std::size_t half = count / 2;
            if (at(first + half).bar < oldest) {
                first += half + 1;
                count -= half + 1;
            } else {
                count = half;
            }
        }
        return first < size_ ? &at(first) : nullptr;
    }

    // Forgets the entries of bars before `bar`.
    void dropBefore(Bar bar) {
        while (size_ > 0 && at(0).bar < bar) {
            head_ = (head_ + 1) & mask_;
            --size_;
        }
    }

private:
    const Candidate &at(std::size_t offset) const { return ring_[(head_ + offset) & mask_]; }

    Extreme extreme_;
    std::vector<Candidate> ring_;
    std::size_t mask_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

// A power of two above the most entries the stack holds at once: the bars of the deepest window
// (and no more bars than the series has), with one to spare. Zero if it cannot be had here.
std::size_t stackCapacity(int32 deepest, Bar lastBar) {
    const std::uint64_t needed = static_cast<std::uint64_t>(std::min<Bar>(deepest, lastBar)) + 2;
    std::uint64_t capacity = 1;
    while (capacity < needed) {
        capacity <<= 1;
    }
    if (capacity > std::numeric_limits<std::size_t>::max() / sizeof(Candidate)) {
        return 0;
    }
    return static_cast<std::size_t>(capacity);
}

void sweepWithStack(const ChannelTwin &twin, const DataArrayRec &series, const float32 *periods,
                    std::size_t periodCount, const LookBackLengths &lengths, int32 deepest,
                    CandidateStack &stack, float32 *out) {
    const Bar firstOffset = series.firstValid;
    for (Bar bar = series.firstValid; bar <= series.lastValid; ++bar) {
        // Offsets j from FS up to the depth, and below the bar: bars bar - FS down to
        // max(bar - depth, 1). Bar 0 is never read.
        const Bar newest = bar - firstOffset;
        if (newest >= 1) {
            stack.push(newest, series.values[newest]);
        }
        const Bar oldest = std::max<Bar>(bar - depthOfBar(periods, periodCount, lengths, bar), 1);
        float32 value = twin.startValue;
        if (oldest <= newest) {
            const Candidate *kept = stack.keptFrom(oldest);
            if (kept != nullptr && replaces(twin.extreme, value, kept->value)) {
                value = kept->value;
            }
        }
        out[static_cast<std::size_t>(bar)] = value;
        // No later window reaches further back than its bar less the deepest depth.
        stack.dropBefore(bar + 1 - deepest);
    }
}

}  // namespace

void sweepChannel(const ChannelTwin &twin, const DataArrayRec &series, const float32 *periods,
                  std::size_t periodCount, const LookBackLengths &lengths, float32 *out) {
    if (series.firstValid > series.lastValid) {
        return;
    }
    const int32 deepest = deepestWindow(series, periods, periodCount, lengths);
    if (series.firstValid > deepest) {
        // No window walks a single offset: every bar keeps the start value.
        std::fill(out + series.firstValid, out + static_cast<std::size_t>(series.lastValid) + 1,
                  twin.startValue);
        return;
    }
    const std::size_t capacity = stackCapacity(deepest, series.lastValid);
    if (capacity != 0) {
        try {
            CandidateStack stack(twin.extreme, capacity);
            sweepWithStack(twin, series, periods, periodCount, lengths, deepest, stack, out);
            return;
        } catch (const std::bad_alloc &) {
        } catch (const std::length_error &) {
        }
    }
    walkChannel(twin, series, periods, periodCount, lengths, out);
}

}  // namespace brevane
