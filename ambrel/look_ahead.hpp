#ifndef AMBREL_LOOK_AHEAD_HPP
#define AMBREL_LOOK_AHEAD_HPP

#include "zpk/plugin.hpp"

namespace ambrel {

// +1, -1 or 0 at every bar by whether the next bar's close is higher, lower or the same.
int32 lookAheadSignal(const zpk::Call &call);

}  // namespace ambrel

#endif
