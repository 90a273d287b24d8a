// MyPlugin's registration: the tables the query entry points answer from, the query entry points,
// and one exported calculation entry point per row of functions.inc. Everything here is constant:
// a plug-in keeps no state.
#include "momentum.hpp"

namespace {

using zpk::ArgRow;
using zpk::FunctionRow;

// Arguments in the order the user writes them. The host sorts them by type into the four
// argument records, keeping this order within each type.
constexpr ArgRow kMomentumArgs[] = {
    {DataArrayArg, "Data"},
    {NumericArg, "Periods"},
};

#define ZPK_FUNCTION(name, description, computation) {#name, description, nullptr, 0},
#define ZPK_FUNCTION_ARGS(name, description, computation, args) \
    {#name, description, args, zpk::countOf(args)},
constexpr FunctionRow kFunctions[] = {
#include "functions.inc"
};
#undef ZPK_FUNCTION
#undef ZPK_FUNCTION_ARGS

constexpr zpk::Library kMyPlugin = {
    "MyPlugin indicator library. Copyright (c) 2026 its authors.",
    zpk::TextForm::Padded,
    kFunctions,
    static_cast<int32>(sizeof kFunctions / sizeof kFunctions[0]),
    "Not enough memory",  // the message of a call whose scratch memory cannot be had
};

}  // namespace

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info) {
    return zpk::answerInfo(kMyPlugin, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info) {
    return zpk::answerNthFunction(kMyPlugin, functionIndex, info);
}

// Only a library with a function that takes arguments exports ZPKNthArg (and lists it in QUERIES).
extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthArg(int32 functionIndex, int32 argIndex,
                                               ArgInfoRec *info) {
    return zpk::answerNthArg(kMyPlugin, functionIndex, argIndex, info);
}

// Each calculation runs inside zpk::runCalculation: the default floating-point environment, the
// caller's given back, and no C++ exception reaching the host.
#define ZPK_FUNCTION(name, description, computation) \
    ZPK_DEFINE_CALCULATION(kMyPlugin, name, myplugin::computation)
#define ZPK_FUNCTION_ARGS(name, description, computation, args) \
    ZPK_DEFINE_CALCULATION(kMyPlugin, name, myplugin::computation)
#include "functions.inc"
#undef ZPK_FUNCTION
#undef ZPK_FUNCTION_ARGS
