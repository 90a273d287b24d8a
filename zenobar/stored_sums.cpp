#include "stored_sums.hpp"

#include <cmath>
#include <cstring>
#include <functional>

// Why a block may store the plain rounded sum.
//
// Let s be the double sum of two floats and f = float(s). The clamp keeps both zeros and every
// magnitude from kClampLower to kClampUpper; any other value becomes the nearer limit of its sign,
// and a NaN becomes kClampUpper. Both limits are floats, and rounding to float is monotonic and
// leaves every float as it is, so it commutes with taking the larger or the smaller of a value and
// a limit: float(clamp(s)) == float(clamp(f)), provided f is zero only when s is zero, with the
// same sign. It is: both addends are whole multiples of 2^-149, the smallest subnormal float, so a
// non-zero s is at least 2^-149 in magnitude and rounds to a non-zero float of its sign, and a zero
// s (-0 only for -0 + -0) is f. A NaN s gives a NaN f, and both give kClampUpper.
//
// So the value to store is f itself wherever the clamp keeps f, and storedValue(f) elsewhere. A
// block stores the rounded sums of all its bars, tests them all, and passes them through the clamp
// only if one of them is not kept. A compiler may add two floats in floats where the code adds them
// in doubles and rounds: a double's 53 significand bits are more than twice a float's 24 plus two,
// and with that much room rounding a sum twice gives what rounding it once does.

namespace zenobar {
namespace {

float32 roundedSum(float32 a, float32 b) {
    return static_cast<float32>(static_cast<double>(a) + static_cast<double>(b));
}

// True where the clamp keeps a stored float as it is: both zeros and the magnitudes from
// kClampLower to kClampUpper, never a NaN. Bitwise & and | so that a block tests every bar without
// a branch.
bool keptByClamp(float32 value) {
    const float32 magnitude = std::fabs(value);
    return (magnitude <= kClampUpper) & ((magnitude >= kClampLower) | (magnitude == 0.0f));
}

// The stored values of a block from its rounded sums, when the clamp does not keep them all.
void clampBlock(float32 *out) {
    for (Bar k = 0; k < kSumBlockBars; ++k) {
        out[k] = storedValue(out[k]);
    }
}

// One block of addIncrement: the rounded sums written to out; true if the clamp keeps every one.
// The sums go through a local array, which the compiler knows to be apart from the source, so that
// it vectorises the loop without a test of its own for overlapping arrays.
bool addIncrementBlock(const float32 *source, float32 increment, float32 *out) {
    float32 sums[kSumBlockBars];
    int kept = 1;  // an int: the vectoriser reduces it, a bool it would not
    for (Bar k = 0; k < kSumBlockBars; ++k) {
        sums[k] = roundedSum(increment, source[k]);
        kept &= keptByClamp(sums[k]);
    }
    std::memcpy(out, sums, sizeof sums);
    return kept != 0;
}

// One block of addSeries, the same way.
bool addSeriesBlock(const float32 *series, float32 *out) {
    float32 sums[kSumBlockBars];
    int kept = 1;
    for (Bar k = 0; k < kSumBlockBars; ++k) {
        sums[k] = roundedSum(series[k], out[k]);
        kept &= keptByClamp(sums[k]);
    }
    std::memcpy(out, sums, sizeof sums);
    return kept != 0;
}

}  // namespace

bool sharesOtherBars(const float32 *a, const float32 *b, Bar first, Bar last) {
    if (a == b || first > last) {
        return false;
    }
    const std::less<const float32 *> before;
    return before(a + first, b + last + 1) && before(b + first, a + last + 1);
}

void addIncrementLiteral(const float32 *source, float32 increment, float32 *out, Bar first, Bar last) {
    const double addend = increment;
    for (Bar i = first; i <= last; ++i) {
        out[i] = storedValue(addend + static_cast<double>(source[i]));
    }
}

void addIncrement(const float32 *source, float32 increment, float32 *out, Bar first, Bar last) {
    if (sharesOtherBars(source, out, first, last)) {
        addIncrementLiteral(source, increment, out, first, last);
        return;
    }
    Bar i = first;
    for (; i <= last - kSumBlockBars + 1; i += kSumBlockBars) {
        if (!addIncrementBlock(source + i, increment, out + i)) {
            clampBlock(out + i);
        }
    }
    addIncrementLiteral(source, increment, out, i, last);
}

void addSeriesLiteral(const float32 *series, float32 *out, Bar first, Bar last) {
    for (Bar j = first; j <= last; ++j) {
        out[j] = storedValue(static_cast<double>(series[j]) + static_cast<double>(out[j]));
    }
}

void addSeries(const float32 *series, float32 *out, Bar first, Bar last) {
    if (sharesOtherBars(series, out, first, last)) {
        addSeriesLiteral(series, out, first, last);
        return;
    }
    Bar j = first;
    for (; j <= last - kSumBlockBars + 1; j += kSumBlockBars) {
        if (!addSeriesBlock(series + j, out + j)) {
            clampBlock(out + j);
        }
    }
    addSeriesLiteral(series, out, j, last);
}

}  // namespace zenobar
