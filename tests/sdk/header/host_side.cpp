// The host half of the header compile tests, compiled as C++. The plug-in helper header comes in
// here too, so that two translation units of the program include it.
#include "zpk/plugin.hpp"

#include "host_side.c"
