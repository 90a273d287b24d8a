// A calculation defined the way our libraries define theirs, with zpk/plugin.hpp: a table row, a
// library record and ZPK_DEFINE_CALCULATION. Part of the C++ header compile tests.
#include "zpk/plugin.hpp"

#include "sdk_header_test.h"

namespace {

constexpr zpk::FunctionRow kFunctions[] = {
    {"CloseMinusOpen", "The close minus the open", nullptr, 0},
};

constexpr zpk::Library kLibrary = {
    "SDK header test library",
    zpk::TextForm::Plain,
    kFunctions,
    static_cast<int32>(sizeof kFunctions / sizeof kFunctions[0]),
    "Not enough memory",
};

int32 closeMinusOpen(const zpk::Call &call) {
    const DataArrayRec &close = call.prices->close;
    const DataArrayRec &open = call.prices->open;
    DataArrayRec &out = *call.result->data;
    if (close.lastValid < close.firstValid) {
        return zpk::fail(call.result, "No closes", kLibrary.textForm);
    }
    for (int32 i = close.firstValid; i <= close.lastValid; ++i) {
        out.values[i] = close.values[i] - open.values[i];
    }
    out.firstValid = close.firstValid;
    out.lastValid = close.lastValid;
    return StatusSuccess;
}

}  // namespace

ZPK_DEFINE_CALCULATION(kLibrary, CloseMinusOpen, closeMinusOpen)
