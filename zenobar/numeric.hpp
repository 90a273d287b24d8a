// The numeric rules every ZENOBAR computation shares: how a computed value is kept inside what a
// float32 can hold, how reals become integers, how bar ranges are tested and reported, and how an
// error message reaches the host.
#ifndef ZENOBAR_NUMERIC_HPP
#define ZENOBAR_NUMERIC_HPP

#include "zpk/plugin.hpp"

#include <cstdint>
#include <optional>

namespace zenobar {

// Bar indexes and window offsets are counted in 64 bits: ranges reach the int32 limit and sums
// such as first + period - 1 must not wrap.
using Bar = std::int64_t;

// ZENOBAR writes every text as its characters and one NUL; bytes after the NUL keep the host's.
constexpr zpk::TextForm kTextForm = zpk::TextForm::Plain;

constexpr const char kWrongArgumentCount[] = "Wrong number of arguments";
constexpr const char kUndefinedMethod[] = "Undefined method argument";
constexpr const char kNotEnoughMemory[] = "Not enough memory";

// The largest and the smallest non-zero magnitude a stored value may have. Both are float32 values
// (bit patterns 0x7F7D9B19 and 0x038F722F), so rounding a clamped value to float32 can neither
// overflow nor become subnormal.
constexpr float kClampUpper = 0x1.FB3632p+127f;
constexpr float kClampLower = 0x1.1EE45Ep-120f;

// x confined to [kClampLower, kClampUpper] in magnitude, keeping its sign. A NaN and +inf give
// kClampUpper, -inf gives -kClampUpper; both zeros come back unchanged.
double clampToSingle(double x);

// What is stored for a computed double: clamped, then rounded to the nearest float32.
float storedValue(double x);

// x rounded to the nearest integer, halfway cases to the even neighbour. For finite x.
double roundHalfToEven(double x);

// A period argument truncated toward zero; nothing when it is a NaN or outside the int32 range.
std::optional<int32> truncatedPeriod(float period);

// An argument record offers exactly the one entry a function reads of that kind.
inline bool holdsOneArgument(int32 count) { return count == 1; }

// A data array is usable when it starts and ends at bar 1 or later, inside the close range.
bool usableRange(const DataArrayRec &source, const DataArrayRec &close);

// The empty result 0..-1, reported with StatusSuccess.
int32 reportEmpty(DataArrayRec &output);

// A rejected call: the message, the empty result, StatusFailure.
int32 rejectCall(ResultRec *result, const char *message);

// Sets the output range first..last; a first bar beyond the int32 range can hold nothing and is
// reported as the empty result.
void setRange(DataArrayRec &output, Bar first, Bar last);

}  // namespace zenobar

#endif
