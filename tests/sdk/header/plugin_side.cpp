// The C plug-in half of the header compile tests, compiled as C++.
#include "plugin_side.c"
