#include "sliding_window_average.hpp"

#include "moving_average.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>

namespace zenobar {
namespace {

// A double holds every whole multiple k·2^e with |k| <= 2^53 exactly (e never leaves the range
// where that is true for float inputs: -149 <= e, and sums stay far below the double limit).
constexpr int kDoubleSignificandBits = 53;

// Binary orders of magnitude of a set of finite values: each value is a whole multiple of
// 2^grain and its magnitude is below 2^top. A set of zeros (or no value) bounds nothing, so it
// has the widest grain and the lowest top, and narrows no other set it joins.
struct Magnitudes {
    int grain = 1 << 20;
    int top = -(1 << 20);
};

Magnitudes joined(const Magnitudes &a, const Magnitudes &b) {
    return Magnitudes{std::min(a.grain, b.grain), std::max(a.top, b.top)};
}

bool withinSpan(const Magnitudes &m, int spanLimit) { return m.top - m.grain <= spanLimit; }

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// floor(log2(value)) of an integer 1 .. 2^24 - 1, read from the exponent of its float, which holds
// it exactly.
int binaryExponentOf(std::uint32_t value) {
    const float exact = static_cast<float>(static_cast<std::int32_t>(value));
    return static_cast<int>(bitsOf(exact) >> 23) - 127;
}

// The magnitudes of one float; false for an infinity or a NaN, which no exact sum holds.
bool magnitudesOf(float value, Magnitudes &out) {
    const std::uint32_t bits = bitsOf(value);
    const std::uint32_t biasedExponent = (bits >> 23) & 0xFFu;
    const std::uint32_t fraction = bits & 0x7FFFFFu;
    if (biasedExponent == 0xFFu) {
        return false;
    }
    if (biasedExponent == 0 && fraction == 0) {
        out = Magnitudes{};
        return true;
    }
    // |value| = significand · 2^scale, subnormals included.
    const std::uint32_t significand = biasedExponent != 0 ? (fraction | 0x800000u) : fraction;
    const int scale = biasedExponent != 0 ? static_cast<int>(biasedExponent) - 150 : -149;
    const std::uint32_t lowestSetBit = significand & (~significand + 1u);
    out.grain = scale + binaryExponentOf(lowestSetBit);
    out.top = scale + binaryExponentOf(significand) + 1;
    return true;
}

// Scans the window of `start` from its newest bar back to its oldest. Returns the first bar met
// at which the values from that bar to the newest one can no longer be shown exact, or start - 1
// when the whole window can, with its magnitudes in `window`. Every window that starts at or before
// the returned bar holds all of those values, so it cannot be shown exact either.
Bar lastUnprovableBar(const float32 *values, Bar start, int32 n, int spanLimit, Magnitudes &window) {
    Magnitudes seen;
    for (Bar bar = start + n - 1; bar >= start; --bar) {
        Magnitudes one;
        if (!magnitudesOf(values[bar], one)) {
            return bar;
        }
        seen = joined(seen, one);
        if (!withinSpan(seen, spanLimit)) {
            return bar;
        }
    }
    window = seen;
    return start - 1;
}

// The window sums of windowAverage for the windows start = F, F + 1, ... asked in that order.
//
// A run is a stretch of consecutive windows whose sums are carried from one to the next. Its
// magnitudes cover every value that entered it, so while they stay within the span limit every
// window of the run, and every partial sum formed on the way, is an exact sum of its terms:
//   plain(s + 1)    = (plain(s) - x[s]) + x[s + n]
//   weighted(s + 1) = (weighted(s) - plain(s)) + n·x[s + n]
// where weighted(s) - plain(s) is the window weighted 0 .. n - 1 and n·x[s + n] is a term of the
// next window, all within the same bound. A run starts at a window summed afresh by the literal
// code (exact, so its bits are the ones to carry), and ends when a value that enters would widen
// the magnitudes beyond the limit; the next window then tries to start a run of its own.
//
// No sum carried is ever -0: the literal sum starts from +0, and exact sums that come out zero are
// +0 in round-to-nearest unless both operands are -0, which neither form produces.
class SlidingWindowSums {
public:
    SlidingWindowSums(const float32 *values, int32 n, bool weighted)
        : values_(values), n_(n), weighted_(weighted), spanLimit_(exactSpanLimit(n, weighted)) {}

    double sumAt(Bar start) {
        if (inRun_ && slideTo(start)) {
            return runSum();
        }
        inRun_ = start > unprovableThrough_ && startRunAt(start);
        return inRun_ ? runSum() : windowSumAfresh(values_, start, n_, weighted_);
    }

private:
    double runSum() const { return weighted_ ? weightedSum_ : plainSum_; }

    bool startRunAt(Bar start) {
        Magnitudes window;
        const Bar unprovable = lastUnprovableBar(values_, start, n_, spanLimit_, window);
        if (unprovable >= start) {
            unprovableThrough_ = unprovable;
            return false;
        }
        magnitudes_ = window;
        plainSum_ = windowSumAfresh(values_, start, n_, false);
        weightedSum_ = weighted_ ? windowSumAfresh(values_, start, n_, true) : 0.0;
        return true;
    }

    // From the run's window start - 1 to the window of `start`.
    bool slideTo(Bar start) {
        const Bar newestBar = start + n_ - 1;
        Magnitudes entering;
        if (!magnitudesOf(values_[newestBar], entering)) {
            unprovableThrough_ = newestBar;  // every window up to this start holds it
            return false;
        }
        const Magnitudes widened = joined(magnitudes_, entering);
        if (!withinSpan(widened, spanLimit_)) {
            return false;
        }
        magnitudes_ = widened;
        const double leaving = values_[start - 1];
        const double newest = values_[newestBar];
        if (weighted_) {
            weightedSum_ = (weightedSum_ - plainSum_) + static_cast<double>(n_) * newest;
        }
        plainSum_ = (plainSum_ - leaving) + newest;
        return true;
    }

    const float32 *values_;
    int32 n_;
    bool weighted_;
    int spanLimit_;

    bool inRun_ = false;
    Bar unprovableThrough_ = -1;  // windows starting at or before this bar are summed afresh
    Magnitudes magnitudes_;
    double plainSum_ = 0.0;
    double weightedSum_ = 0.0;
};

// True if the target bars written can be among the source bars read. The sliding form reads a
// window's oldest bar again when it leaves, so it runs only on arrays apart.
bool sharesBars(const DataArrayRec &source, const DataArrayRec &target, int32 n) {
    const std::less<const float32 *> before;
    const float32 *readFirst = source.values + source.firstValid;
    const float32 *readEnd = source.values + source.lastValid + 1;
    const float32 *writtenFirst = target.values + (static_cast<Bar>(source.firstValid) + n - 1);
    const float32 *writtenEnd = target.values + source.lastValid + 1;
    return before(writtenFirst, readEnd) && before(readFirst, writtenEnd);
}

}  // namespace

int exactSpanLimit(int32 n, bool weighted) {
    const std::uint64_t count = static_cast<std::uint64_t>(n);
    const std::uint64_t weightSum = weighted ? count * (count + 1) / 2 : count;
    // Magnitudes below 2^top, weights adding up to at most 2^bits: the terms add up to less than
    // 2^(top + bits), which must not pass 2^(53 + grain).
    int bits = 0;
    while ((std::uint64_t{1} << bits) < weightSum) {
        ++bits;
    }
    return kDoubleSignificandBits - bits;
}

void slidingWindowAverage(const DataArrayRec &source, DataArrayRec &target, int32 n, bool weighted) {
    const Bar first = source.firstValid;
    const Bar last = source.lastValid;
    if (first + n - 1 > last || sharesBars(source, target, n)) {
        windowAverage(source, target, n, weighted);
        return;
    }
    const double divisor = windowDivisor(n, weighted);
    SlidingWindowSums sums(source.values, n, weighted);
    for (Bar start = first; start + n - 1 <= last; ++start) {
        target.values[start + n - 1] = windowAverageValue(sums.sumAt(start), divisor);
    }
    setRange(target, first + n - 1, last);
}

}  // namespace zenobar
