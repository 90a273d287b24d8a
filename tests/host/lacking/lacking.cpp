// Lacking: a test plug-in whose one function takes an argument, while the library does not export
// ZPKNthArg, through which a host would learn what that argument is. Everything else is in order.
#include "zpk/plugin.hpp"

namespace {

using zpk::ArgRow;
using zpk::FunctionRow;

constexpr ArgRow kFactorArgs[] = {{NumericArg, "Factor"}};

#define ZPK_FUNCTION_ARGS(name, description, computation, args) \
    {#name, description, args, zpk::countOf(args)},
constexpr FunctionRow kFunctions[] = {
#include "functions.inc"
};
#undef ZPK_FUNCTION_ARGS

constexpr zpk::Library kLacking = {
    "Lacking test library: no ZPKNthArg.",
    zpk::TextForm::Padded,
    kFunctions,
    static_cast<int32>(sizeof kFunctions / sizeof kFunctions[0]),
    "Not enough memory",
};

int32 scaleClose(const zpk::Call &call) {
    if (call.numericArgs->count != 1) return zpk::fail(call.result, "Wrong number of arguments", kLacking.textForm);
    const DataArrayRec &close = call.prices->close;
    DataArrayRec &out = *call.result->data;
    for (int32 i = close.firstValid; i <= close.lastValid; ++i) {
        out.values[i] = static_cast<float>(close.values[i] * static_cast<double>(call.numericArgs->args[0]));
    }
    out.firstValid = close.firstValid;
    out.lastValid = close.lastValid;
    return StatusSuccess;
}

}  // namespace

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info) {
    return zpk::answerInfo(kLacking, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info) {
    return zpk::answerNthFunction(kLacking, functionIndex, info);
}

#define ZPK_FUNCTION_ARGS(name, description, computation, args) \
    ZPK_DEFINE_CALCULATION(kLacking, name, computation)
#include "functions.inc"
#undef ZPK_FUNCTION_ARGS
