#include "hilbert_period.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

namespace brevane {
namespace {

// A single-precision constant is the float nearest to its decimal value, used as that exact value
// in double arithmetic. The precision of each constant is part of the results.
constexpr double single(float value) { return static_cast<double>(value); }

// Smoothing of the input: weights 4, 3, 2, 1 for bars i, i-1, i-2, i-3, scaled by 0.1f.
constexpr double kWeightOfBar = single(4.0f);
constexpr double kWeightOfPreviousBar = single(3.0f);
constexpr double kWeightTwoBarsBack = 2.0;
constexpr double kSmoothingScale = single(0.1f);

// The gain of the filter follows the previous period.
constexpr double kGainSlope = single(0.046f);
constexpr double kGainIntercept = single(0.332f);

// The four-tap filter.
constexpr double kNearTap = 0.75;
constexpr double kFarTap = 0.25;

// Exponential smoothing of the phasor components and of the homodyne product.
constexpr double kPhasorKeep = 0.85;
constexpr double kPhasorTake = 0.15;
constexpr double kHomodyneKeep = 0.8;
constexpr double kHomodyneTake = 0.2;

constexpr double kDegreesPerCycle = 360.0;
// 180 over the single-precision pi, not over the double one.
constexpr double kDegreesPerRadian = 57.29577791868205;
static_assert(kDegreesPerRadian == 180.0 / single(3.14159265358979323846f),
              "degrees per radian come from the single-precision pi");

// Limits on the period: its rate of change from bar to bar, its range, and its final smoothing.
constexpr double kFastestRise = single(1.5f);
constexpr double kFastestFall = single(0.67f);
constexpr double kShortestPeriod = single(6.0f);
constexpr double kLongestPeriod = single(50.0f);
constexpr double kPeriodKeep = single(0.8f);
constexpr double kPeriodTake = single(0.2f);

constexpr double kLargestFloat = static_cast<double>(std::numeric_limits<float>::max());
constexpr double kSmallestNormalFloat = static_cast<double>(std::numeric_limits<float>::min());

// The first bar the engine computes is this far after firstValid: the filters reach back six bars,
// the input smoothing three, and bars firstValid and firstValid + 1 never enter.
constexpr std::int64_t kFirstComputedOffset = 5;

// One scratch series of the literal form: a double per bar, zero until this call computes the bar.
// Bars below 0 are read as 0, like the bars not computed yet.
class BarSeries {
public:
    explicit BarSeries(std::size_t barCount) : values_(barCount, 0.0) {}

    double operator[](std::int64_t bar) const {
        return bar < 0 ? 0.0 : values_[static_cast<std::size_t>(bar)];
    }
    void set(std::int64_t bar, double value) { values_[static_cast<std::size_t>(bar)] = value; }

private:
    std::vector<double> values_;
};

// The same series kept for its last eight bars only. No step reads a series more than six bars
// back, so the entry of bar b is overwritten by bar b + 8 only after its last read, and a slot not
// written yet reads 0 exactly where the whole series would (a bar not computed yet, or below 0):
// the values read, and so every result, are those of BarSeries.
class RecentBars {
public:
    double operator[](std::int64_t bar) const { return values_[slotOf(bar)]; }
    void set(std::int64_t bar, double value) { values_[slotOf(bar)] = value; }

private:
    static constexpr std::uint64_t kSlots = 8;  // a power of two above the deepest read, six
    static std::size_t slotOf(std::int64_t bar) {
        return static_cast<std::size_t>(static_cast<std::uint64_t>(bar) & (kSlots - 1));
    }
    double values_[kSlots] = {};
};

// The fourteen series of one call, allocated and zeroed together: whole series (BarSeries, built
// from the bar count) or their last bars (RecentBars).
template <class Series>
struct HilbertScratch {
    template <class... SeriesArgs>
    explicit HilbertScratch(const SeriesArgs &...args)
        : smooth(args...), detrender(args...), quadrature1(args...), inPhase1(args...),
          shiftedInPhase(args...), shiftedQuadrature(args...), inPhase2(args...),
          quadrature2(args...), productII(args...), productQI(args...), productQQ(args...),
          productIQ(args...), homodyneRe(args...), homodyneIm(args...) {}

    Series smooth;
    Series detrender;
    Series quadrature1;
    Series inPhase1;
    Series shiftedInPhase;
    Series shiftedQuadrature;
    Series inPhase2;
    Series quadrature2;
    Series productII;
    Series productQI;
    Series productQQ;
    Series productIQ;
    Series homodyneRe;
    Series homodyneIm;
};

// 0.75·s[i-2] + 0.25·s[i] - 0.75·s[i-4] - 0.25·s[i-6], left to right; `current` is s[i], just
// computed.
template <class Series>
double fourTapFilter(const Series &s, std::int64_t i, double current) {
    return kNearTap * s[i - 2] + kFarTap * current - kNearTap * s[i - 4] - kFarTap * s[i - 6];
}

double smoothedInput(const float32 *values, std::int64_t i) {
    const double x0 = values[i];
    const double x1 = values[i - 1];
    const double x2 = values[i - 2];
    const double x3 = values[i - 3];
    return (kWeightOfBar * x0 + kWeightTwoBarsBack * x2 + x3 + kWeightOfPreviousBar * x1) *
           kSmoothingScale;
}

// The raw period of a bar from its homodyne product, in bars. Only called when both parts are
// non-zero; a quotient near zero gives a huge period, which the clamp bounds.
float32 rawPeriod(double homodyneRe, double homodyneIm) {
    const double degrees = std::atan(homodyneIm / homodyneRe) * kDegreesPerRadian;
    return static_cast<float32>(ClampToFloatRange(kDegreesPerCycle / degrees));
}

// Parts of opposite signs give a negative arctangent, so a negative raw period. Against a positive
// previous period the lower rate limit then replaces it, whatever its value, and the upper one
// cannot apply (1.5·P > 0 > raw, 0.67·P > 0 > raw): its arctangent changes nothing.
bool rawPeriodIsOverruled(double homodyneRe, double homodyneIm, float32 previousPeriod) {
    return previousPeriod > 0.0f && (homodyneRe < 0.0) != (homodyneIm < 0.0);
}

// What stands for an overruled raw period: any negative value gives the same result.
constexpr float32 kOverruledRawPeriod = -1.0f;

// Whether a bar's raw period is always measured, as the steps say, or only where it can change
// the result.
enum class RawPeriodRule { AlwaysMeasured, MeasuredWhereItCounts };

// The raw period limited against the previous period, bounded to 6..50 and smoothed; each step
// stores its result in single precision and the next reads it back.
float32 finalPeriod(float32 raw, float32 previousPeriod) {
    const double previous = previousPeriod;
    float32 p = raw;
    if (kFastestRise * previous < p) {
        p = static_cast<float32>(kFastestRise * previous);
    }
    if (kFastestFall * previous > p) {
        p = static_cast<float32>(kFastestFall * previous);
    }
    if (p < kShortestPeriod) {
        p = static_cast<float32>(kShortestPeriod);
    }
    if (p > kLongestPeriod) {
        p = static_cast<float32>(kLongestPeriod);
    }
    return static_cast<float32>(kPeriodKeep * previous + kPeriodTake * static_cast<double>(p));
}

// Steps 1 to 13 of one bar; one body for both kinds of scratch series, so both give the same bits,
// and for both rules of the raw period, which give the same bits too.
// The values of bar i are carried in locals from step to step (and stored for the later bars);
// `previousPeriod` is period[i - 1] as stored. Returns period[i] as stored.
template <RawPeriodRule Rule, class Series>
float32 measureBar(const float32 *values, float32 *period, HilbertScratch<Series> &s, std::int64_t i,
                   float32 previousPeriod) {
    const double smooth = smoothedInput(values, i);
    s.smooth.set(i, smooth);

    const double gain = kGainSlope * static_cast<double>(previousPeriod) + kGainIntercept;
    const double detrender = fourTapFilter(s.smooth, i, smooth) * gain;
    s.detrender.set(i, detrender);
    const double quadrature1 = fourTapFilter(s.detrender, i, detrender) * gain;
    s.quadrature1.set(i, quadrature1);
    const double inPhase1 = s.detrender[i - 3];
    s.inPhase1.set(i, inPhase1);
    const double shiftedInPhase = fourTapFilter(s.inPhase1, i, inPhase1);
    s.shiftedInPhase.set(i, shiftedInPhase);
    const double shiftedQuadrature = fourTapFilter(s.quadrature1, i, quadrature1);
    s.shiftedQuadrature.set(i, shiftedQuadrature);

    const double previousInPhase2 = s.inPhase2[i - 1];
    const double previousQuadrature2 = s.quadrature2[i - 1];
    const double inPhase2 = ClampToFloatRange(kPhasorKeep * previousInPhase2 +
                                              kPhasorTake * (inPhase1 - shiftedQuadrature));
    s.inPhase2.set(i, inPhase2);
    const double quadrature2 = ClampToFloatRange(kPhasorKeep * previousQuadrature2 +
                                                 kPhasorTake * (shiftedInPhase + quadrature1));
    s.quadrature2.set(i, quadrature2);

    const double productII = previousInPhase2 * inPhase2;
    const double productQI = previousQuadrature2 * inPhase2;
    const double productQQ = previousQuadrature2 * quadrature2;
    const double productIQ = previousInPhase2 * quadrature2;
    s.productII.set(i, productII);
    s.productQI.set(i, productQI);
    s.productQQ.set(i, productQQ);
    s.productIQ.set(i, productIQ);

    const double homodyneRe = ClampToFloatRange(kHomodyneKeep * s.homodyneRe[i - 1] +
                                                kHomodyneTake * (productII + productQQ));
    s.homodyneRe.set(i, homodyneRe);
    const double homodyneIm = ClampToFloatRange(kHomodyneKeep * s.homodyneIm[i - 1] +
                                                kHomodyneTake * (productQI - productIQ));
    s.homodyneIm.set(i, homodyneIm);

    // A bar on which either part is zero is not measured: its raw period is the caller's zero.
    float32 raw = period[i];
    if (homodyneIm != 0.0 && homodyneRe != 0.0) {
        raw = Rule == RawPeriodRule::MeasuredWhereItCounts &&
                      rawPeriodIsOverruled(homodyneRe, homodyneIm, previousPeriod)
                  ? kOverruledRawPeriod
                  : rawPeriod(homodyneRe, homodyneIm);
    }
    period[i] = finalPeriod(raw, previousPeriod);
    return period[i];
}

}  // namespace

double ClampToFloatRange(double x) {
    if (x > 0.0) {
        if (x >= kLargestFloat) return kLargestFloat;
        if (x <= kSmallestNormalFloat) return kSmallestNormalFloat;
        return x;
    }
    if (x == 0.0) {
        return x;
    }
    if (x < 0.0) {
        if (x <= -kLargestFloat) return -kLargestFloat;
        if (x >= -kSmallestNormalFloat) return -kSmallestNormalFloat;
        return x;
    }
    return -kLargestFloat;  // NaN
}

int32 CalcHilbertPeriod(const float32 *values, int32 firstValid, int32 lastValid, float32 *period,
                        int32 barCount) {
    static_cast<void>(barCount);  // sizes whole series only; the recent bars do not depend on it
    // In 64 bits: firstValid + 5 must not wrap when firstValid lies near the int32 limit.
    const std::int64_t first = static_cast<std::int64_t>(firstValid) + kFirstComputedOffset;
    const std::int64_t last = lastValid;
    HilbertScratch<RecentBars> recent;
    float32 previousPeriod = first <= last ? period[first - 1] : 0.0f;
    for (std::int64_t i = first; i <= last; ++i) {
        previousPeriod =
            measureBar<RawPeriodRule::MeasuredWhereItCounts>(values, period, recent, i, previousPeriod);
    }
    return kPeriodMeasured;
}

int32 CalcHilbertPeriodLiteral(const float32 *values, int32 firstValid, int32 lastValid,
                               float32 *period, int32 barCount) {
    const std::int64_t first = static_cast<std::int64_t>(firstValid) + kFirstComputedOffset;
    const std::int64_t last = lastValid;
    if (first > last) {
        return kPeriodMeasured;  // too few bars: nothing to compute, nothing to allocate
    }
    try {
        HilbertScratch<BarSeries> scratch(static_cast<std::size_t>(barCount));
        float32 previousPeriod = period[first - 1];
        for (std::int64_t i = first; i <= last; ++i) {
            previousPeriod =
                measureBar<RawPeriodRule::AlwaysMeasured>(values, period, scratch, i, previousPeriod);
        }
    } catch (const std::bad_alloc &) {
        return kScratchNotObtained;
    } catch (const std::length_error &) {  // more bars than a vector can hold on this target
        return kScratchNotObtained;
    }
    return kPeriodMeasured;
}

}  // namespace brevane
