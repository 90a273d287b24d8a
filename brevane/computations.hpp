// Brevane's three calculations, one per row of functions.inc.
#ifndef BREVANE_COMPUTATIONS_HPP
#define BREVANE_COMPUTATIONS_HPP

#include "zpk/plugin.hpp"

namespace brevane {

// BrevanePeriod: the cycle period of the data array, bar by bar.
int32 cyclePeriod(const zpk::Call &call);

// ChannelHigh and ChannelLow: the highest high or lowest low over a cycle-length or fixed window.
int32 channelHigh(const zpk::Call &call);
int32 channelLow(const zpk::Call &call);

}  // namespace brevane

#endif
