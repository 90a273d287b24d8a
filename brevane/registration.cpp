// Brevane's registration: its function table, the three query entry points it needs (its functions
// take arguments, none of them a custom one) and the calculation entry points.
#include "arguments.hpp"
#include "call_rules.hpp"
#include "computations.hpp"

namespace {

using zpk::FunctionRow;

#define ZPK_FUNCTION_ARGS(name, description, args, computation) \
    {#name, description, brevane::args, zpk::countOf(brevane::args)},
constexpr FunctionRow kFunctions[] = {
#include "functions.inc"
};
#undef ZPK_FUNCTION_ARGS

constexpr zpk::Library kBrevane = {
    "Brevane cycle indicator library. Copyright (c) 2026 the ZPK developers.",
    brevane::kTextForm,
    kFunctions,
    static_cast<int32>(sizeof kFunctions / sizeof kFunctions[0]),
    // Scratch memory is the engine's and the period array's; either missing fails the measurement.
    brevane::kCalculationFailed,
};

}  // namespace

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info) {
    return zpk::answerInfo(kBrevane, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info) {
    return zpk::answerNthFunction(kBrevane, functionIndex, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthArg(int32 functionIndex, int32 argIndex,
                                               ArgInfoRec *info) {
    return zpk::answerNthArg(kBrevane, functionIndex, argIndex, info);
}

#define ZPK_FUNCTION_ARGS(name, description, args, computation) \
    ZPK_DEFINE_CALCULATION(kBrevane, name, brevane::computation)
#include "functions.inc"
#undef ZPK_FUNCTION_ARGS
