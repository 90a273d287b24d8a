// ZENOBAR's registration: the argument and custom-string tables, the function table built from
// functions.inc, the four query entry points, the load notification and the calculation entry
// points.
#include "array_arithmetic.hpp"
#include "moving_average.hpp"
#include "numeric.hpp"
#include "signals.hpp"

namespace {

using zpk::ArgRow;
using zpk::CustomStringRow;
using zpk::FunctionRow;

// Every method as a word and as its initial, both passing the method's id.
constexpr CustomStringRow kMethodStrings[] = {
    {"Simple", zenobar::SimpleMethod},           {"S", zenobar::SimpleMethod},
    {"Triangular", zenobar::TriangularMethod},   {"T", zenobar::TriangularMethod},
    {"Weighted", zenobar::WeightedMethod},       {"W", zenobar::WeightedMethod},
    {"Exponential", zenobar::ExponentialMethod}, {"E", zenobar::ExponentialMethod},
};

constexpr ArgRow kMyMovArgs[] = {
    {DataArrayArg, "DataArray"},
    {NumericArg, "Period"},
    {CustomArg, "Method", kMethodStrings, zpk::countOf(kMethodStrings)},
};

constexpr ArgRow kAddNArgs[] = {
    {DataArrayArg, "DataArray"},
    {NumericArg, "Increment"},
};

constexpr ArgRow kSumArraysArgs[] = {
    {StringArg, "DA Initials"},
};

#define ZPK_FUNCTION(name, description, computation) {#name, description, nullptr, 0},
#define ZPK_FUNCTION_ARGS(name, description, computation, args) \
    {#name, description, args, zpk::countOf(args)},
constexpr FunctionRow kFunctions[] = {
#include "functions.inc"
};
#undef ZPK_FUNCTION_ARGS
#undef ZPK_FUNCTION

constexpr zpk::Library kZenobar = {
    "ZENOBAR indicator library. Copyright (c) 2026 the ZPK developers.",
    zenobar::kTextForm,
    kFunctions,
    static_cast<int32>(sizeof kFunctions / sizeof kFunctions[0]),
    zenobar::kNotEnoughMemory,
};

// The notification reasons the library accepts: being unloaded from and loaded into a process.
constexpr int32 kProcessDetach = 0;
constexpr int32 kProcessAttach = 1;

}  // namespace

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info) {
    return zpk::answerInfo(kZenobar, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info) {
    return zpk::answerNthFunction(kZenobar, functionIndex, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthArg(int32 functionIndex, int32 argIndex, ArgInfoRec *info) {
    return zpk::answerNthArg(kZenobar, functionIndex, argIndex, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthCustomString(int32 functionIndex, int32 argIndex,
                                                        int32 stringIndex, CustomStringRec *info) {
    return zpk::answerNthCustomString(kZenobar, functionIndex, argIndex, stringIndex, info);
}

// Load and unload need no work of the library's own: it accepts both and declines nothing else
// (thread notifications get 0). On Windows this is an export only; the module's real entry point
// stays the runtime's.
extern "C" ZPK_EXPORT int32 ZPK_CALL DLLMAIN(void *module, int32 reason, void *reserved) {
    static_cast<void>(module);
    static_cast<void>(reserved);
    zpk::FloatEnvironmentGuard guard;
    return reason == kProcessDetach || reason == kProcessAttach ? 1 : 0;
}

#define ZPK_FUNCTION(name, description, computation) \
    ZPK_DEFINE_CALCULATION(kZenobar, name, zenobar::computation)
#define ZPK_FUNCTION_ARGS(name, description, computation, args) \
    ZPK_DEFINE_CALCULATION(kZenobar, name, zenobar::computation)
#include "functions.inc"
#undef ZPK_FUNCTION_ARGS
#undef ZPK_FUNCTION
