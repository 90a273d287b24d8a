#include "sliding_window_average.hpp"

#include "moving_average.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ZENOBAR_HAVE_SSE2 1
#else
#define ZENOBAR_HAVE_SSE2 0
#endif

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

// The magnitudes of a run of windows, with two probes that test an entering value against them in
// a few operations.
class RunMagnitudes {
public:
    enum class Entry { Within, TooWide, NotFinite };

    explicit RunMagnitudes(const Magnitudes &m) { set(m); }

    // True if x is finite, below 2^top in magnitude and a whole multiple of 2^grain: then it leaves
    // the magnitudes as they are. Adding 1.5·2^(grain + 52) rounds any x below 2^(grain + 51) in
    // magnitude to a multiple of 2^grain, and subtracting it again is exact, so x comes back
    // unchanged exactly when it is such a multiple (the span limit keeps top within grain + 51).
    bool holds(double x) const { return std::fabs(x) < topBound_ && (x + grainProbe_) - grainProbe_ == x; }

    // True if every one of `count` values holds: the same test, two values at a time where the
    // processor has SSE2 (as every target of the plug-ins does).
    bool holdAll(const float32 *values, std::size_t count) const {
        std::size_t k = 0;
        bool all = true;
#if ZENOBAR_HAVE_SSE2
        const __m128d top = _mm_set1_pd(topBound_);
        const __m128d probe = _mm_set1_pd(grainProbe_);
        const __m128d signBit = _mm_set1_pd(-0.0);
        __m128d held = _mm_cmpeq_pd(top, top);  // all bits set
        for (; k + 4 <= count; k += 4) {
            const __m128 four = _mm_loadu_ps(values + k);
            for (const __m128d x : {_mm_cvtps_pd(four), _mm_cvtps_pd(_mm_movehl_ps(four, four))}) {
                held = _mm_and_pd(held, _mm_cmplt_pd(_mm_andnot_pd(signBit, x), top));
                held = _mm_and_pd(held, _mm_cmpeq_pd(_mm_sub_pd(_mm_add_pd(x, probe), probe), x));
            }
        }
        all = _mm_movemask_pd(held) == 3;
#endif
        for (; k < count; ++k) {
            all = all && holds(values[k]);
        }
        return all;
    }


    // Takes `value` in if the span stays within `spanLimit`; otherwise leaves the magnitudes as
    // they were.
    Entry widenFor(float value, int spanLimit) {
        Magnitudes entering;
        if (!magnitudesOf(value, entering)) {
            return Entry::NotFinite;
        }
        const Magnitudes widened = joined(magnitudes_, entering);
        if (!withinSpan(widened, spanLimit)) {
            return Entry::TooWide;
        }
        set(widened);
        return Entry::Within;
    }

private:
    void set(const Magnitudes &m) {
        magnitudes_ = m;
        // With no grain yet (zeros only) the probe is infinite and every value is looked at.
        topBound_ = m.top == Magnitudes{}.top ? 0.0 : std::ldexp(1.0, m.top);
        grainProbe_ = m.grain == Magnitudes{}.grain ? std::numeric_limits<double>::infinity()
                                                    : std::ldexp(1.5, m.grain + 52);
    }

    Magnitudes magnitudes_;
    double topBound_;    // 2^top
    double grainProbe_;  // 1.5·2^(grain + 52)
};

// A run is a stretch of consecutive windows whose sums are carried from one to the next. Its
// magnitudes cover every value that entered it, and the span limit holds for them, so each window
// of the run, and every partial sum on the way, is an exact sum of multiples of 2^grain within
// 2^53 of those units:
//   plain(s + 1)    = plain(s) + (x[s + n] - x[s])
//   weighted(s + 1) = weighted(s) + (n·x[s + n] - plain(s))
// The differences are exact as well: x[s + n] - x[s] is below 2^(top + 1), n·x[s + n] - plain(s)
// below 2n·2^top, and the limit leaves room for both (exactSpanLimit). A run starts at a window
// summed afresh by the literal code (exact, so its bits are the ones to carry), and ends when a value
// that enters would widen the magnitudes beyond the limit; the next window then tries to start a run
// of its own.
//
// No sum carried is ever -0: the literal sum starts from +0, and exact sums that come out zero are
// +0 in round-to-nearest unless both operands are -0, which neither form produces.
struct Run {
    RunMagnitudes magnitudes;
    double plain;
    double weighted;
};

// The sums whose average windowAverageValue stores without changing anything: the clamp keeps every
// value whose magnitude lies within its limits as it is, and a sum from ClampLower·divisor up to
// ClampUpper has its average (divisor >= 1, rounding being monotonic) within them too.
// ClampLower·divisor is exact in a double: two float significands.
class AverageStore {
public:
    explicit AverageStore(double divisor)
        : divisor_(divisor), smallestKept_(static_cast<double>(kClampLower) * divisor) {}

    float operator()(double sum) const {
        const double magnitude = std::fabs(sum);
        if (magnitude >= smallestKept_ && magnitude <= static_cast<double>(kClampUpper)) {
            return static_cast<float>(sum / divisor_);
        }
        return windowAverageValue(sum, divisor_);
    }

private:
    double divisor_;
    double smallestKept_;
};

// Entering values are looked at this many at a time.
constexpr Bar kBlockBars = 64;

// The windows of one slidingWindowAverage call.
class SlidingAverage {
public:
    SlidingAverage(const DataArrayRec &source, DataArrayRec &target, int32 n, bool weighted)
        : values_(source.values), out_(target.values), n_(n), weighted_(weighted),
          spanLimit_(exactSpanLimit(n, weighted)), storeAverage_(windowDivisor(n, weighted)) {}

    // Windows first .. lastStart, in that order.
    void averageWindows(Bar first, Bar lastStart) {
        Bar start = first;
        while (start <= lastStart) {
            if (start > unprovableThrough_) {
                if (std::optional<Run> run = runStartingAt(start)) {
                    store(start, weighted_ ? run->weighted : run->plain);
                    start = weighted_ ? slide<true>(*run, start + 1, lastStart)
                                      : slide<false>(*run, start + 1, lastStart);
                    continue;
                }
            }
            store(start, windowSumAfresh(values_, start, n_, weighted_));
            ++start;
        }
    }

private:
    void store(Bar start, double sum) { out_[start + n_ - 1] = storeAverage_(sum); }

    // A run from the window of `start` if the whole window can be shown exact; otherwise nothing,
    // and the windows that cannot be either are marked.
    std::optional<Run> runStartingAt(Bar start) {
        Magnitudes window;
        const Bar unprovable = lastUnprovableBar(values_, start, n_, spanLimit_, window);
        if (unprovable >= start) {
            unprovableThrough_ = unprovable;
            return std::nullopt;
        }
        return Run{RunMagnitudes(window), windowSumAfresh(values_, start, n_, false),
                   weighted_ ? windowSumAfresh(values_, start, n_, true) : 0.0};
    }

    // Carries the run's sums through the windows from `start` on, as long as the run lasts, and
    // stores their averages. Returns the first window not done. Locals, so that the sums stay in
    // registers.
    template <bool Weighted>
    Bar slide(Run &run, Bar start, Bar lastStart) {
        const float32 *leaving = values_ + start - 1;
        const float32 *entering = leaving + n_;
        float32 *out = out_ + (start + n_ - 1);
        const double weight = static_cast<double>(n_);
        const AverageStore storeAverage = storeAverage_;
        RunMagnitudes magnitudes = run.magnitudes;
        double plain = run.plain;
        double weighted = run.weighted;
        const auto slideOne = [&] {
            const double newest = *entering;
            if (Weighted) {
                weighted = weighted + (weight * newest - plain);
            }
            plain = plain + (newest - static_cast<double>(*leaving));
            *out = storeAverage(Weighted ? weighted : plain);
            ++start, ++leaving, ++entering, ++out;
        };
        while (start <= lastStart) {
            // A block whose entering values all leave the magnitudes as they are slides without a
            // look at each value; otherwise each value is taken in on its own.
            const auto block = static_cast<std::size_t>(std::min<Bar>(kBlockBars, lastStart - start + 1));
            if (magnitudes.holdAll(entering, block)) {
                for (std::size_t k = 0; k < block; ++k) {
                    slideOne();
                }
                continue;
            }
            for (std::size_t k = 0; k < block; ++k) {
                if (!magnitudes.holds(*entering)) {
                    const RunMagnitudes::Entry entry = magnitudes.widenFor(*entering, spanLimit_);
                    if (entry != RunMagnitudes::Entry::Within) {
                        if (entry == RunMagnitudes::Entry::NotFinite) {
                            unprovableThrough_ = start + n_ - 1;  // every window up to this start holds it
                        }
                        return start;
                    }
                }
                slideOne();
            }
        }
        return start;
    }

    const float32 *values_;
    float32 *out_;
    int32 n_;
    bool weighted_;
    int spanLimit_;
    AverageStore storeAverage_;
    Bar unprovableThrough_ = -1;  // windows starting at or before this bar are summed afresh
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
    // The differences carried are below 2^(top + 1) (plain) and 2n·2^top (weighted, within
    // 2^(top + bits) from n = 2 on), and the grain probe wants top <= grain + 51: at most 51.
    return std::min(kDoubleSignificandBits - bits, kDoubleSignificandBits - 2);
}

void slidingWindowAverage(const DataArrayRec &source, DataArrayRec &target, int32 n, bool weighted) {
    const Bar first = source.firstValid;
    const Bar last = source.lastValid;
    if (first + n - 1 > last || sharesBars(source, target, n)) {
        windowAverage(source, target, n, weighted);
        return;
    }
    SlidingAverage(source, target, n, weighted).averageWindows(first, last - n + 1);
    setRange(target, first + n - 1, last);
}

}  // namespace zenobar
