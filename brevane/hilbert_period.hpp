// The cycle-period engine of Brevane: a homodyne discriminator on a four-tap Hilbert filter that
// measures, bar by bar, the dominant cycle period of a float series. Internal to the library (not
// exported); BrevanePeriod, ChannelHigh and ChannelLow run it over their data array.
#ifndef BREVANE_HILBERT_PERIOD_HPP
#define BREVANE_HILBERT_PERIOD_HPP

#include "zpk/zpk.h"

namespace brevane {

// Status of CalcHilbertPeriod.
constexpr int32 kPeriodMeasured = 0;
constexpr int32 kScratchNotObtained = 1;  // scratch memory for the periods could not be obtained

// Keeps a double inside the magnitude range of a 32-bit float: a non-zero result has a magnitude
// between the smallest normal float (2^-126) and the largest float; zero stays zero (with its sign)
// and a NaN becomes minus the largest float. The result is not rounded to single precision.
double ClampToFloatRange(double x);

// Writes the smoothed cycle period of bars firstValid + 5 .. lastValid, in ascending order, into
// `period`; every other entry keeps what the caller put there. Reads `values` at bars
// firstValid + 2 .. lastValid only.
//
// The caller guarantees firstValid >= 0, lastValid >= 1, barCount == lastValid + 1 and a zero-filled
// `period` of barCount entries; none of it is checked. The previous bar's period is read back from
// `period` as stored, so the zeros matter: they make the warm-up values 1.2, 2.16, 2.928, 3.5424
// and 4.03392 whatever the input.
//
// The fourteen intermediate series are kept for their last eight bars only (no step reads one
// further back than six bars), in a few hundred bytes of the call's own: the scratch memory does not
// grow with the bars, nothing is allocated, and the status is always kPeriodMeasured.
int32 CalcHilbertPeriod(const float32 *values, int32 firstValid, int32 lastValid, float32 *period,
                        int32 barCount);

// The literal form, the reference of CalcHilbertPeriod: the same steps over fourteen whole series of
// barCount doubles, allocated and zeroed for the call. Same arguments, same periods bit for bit;
// kScratchNotObtained if the series cannot be allocated.
int32 CalcHilbertPeriodLiteral(const float32 *values, int32 firstValid, int32 lastValid,
                               float32 *period, int32 barCount);

}  // namespace brevane

#endif
