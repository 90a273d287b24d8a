// Probe: a test plug-in whose one function takes an argument of every type, declared with the
// types interleaved, and folds all of them into its output. A host that passes an argument in the
// wrong record, out of order or with the wrong value gets a different series back.
//
//   output[i] = Series[i] * Scale + Offset - Minus + length(Label)   over Series' valid range
//
// The length of Label counts its Windows-1252 bytes. A Label that starts with "fail:" makes the
// call fail with the rest of the Label as its message.
#include "zpk/plugin.hpp"

#include <cstring>

namespace {

using zpk::ArgRow;
using zpk::CustomStringRow;
using zpk::FunctionRow;

constexpr CustomStringRow kScaleChoices[] = {
    {"Unit", 1}, {"U", 1}, {"Ten", 10}, {"T", 10}, {"Hundred", 100},
    // Two texts that differ only in letter case and mean different things.
    {"k", 1000}, {"K", 1024},
};

constexpr ArgRow kProbeArgs[] = {
    {NumericArg, "Offset"},
    {DataArrayArg, "Series"},
    {CustomArg, "Scale", kScaleChoices, zpk::countOf(kScaleChoices)},
    {StringArg, "Label"},
    {NumericArg, "Minus"},
};

#define ZPK_FUNCTION_ARGS(name, description, computation, args) \
    {#name, description, args, zpk::countOf(args)},
constexpr FunctionRow kFunctions[] = {
#include "functions.inc"
};
#undef ZPK_FUNCTION_ARGS

constexpr zpk::Library kProbe = {
    "Probe test library: echoes its arguments.",
    zpk::TextForm::Plain,
    kFunctions,
    static_cast<int32>(sizeof kFunctions / sizeof kFunctions[0]),
    "Not enough memory",
};

constexpr const char *kFailurePrefix = "fail:";

int32 echoArguments(const zpk::Call &call) {
    if (call.dataArgs->count != 1 || call.numericArgs->count != 2 || call.stringArgs->count != 1 ||
        call.customArgs->count != 1) {
        return zpk::fail(call.result, "Wrong argument counts", kProbe.textForm);
    }
    const char *label = call.stringArgs->args[0];
    const std::size_t prefixLength = std::strlen(kFailurePrefix);
    if (std::strncmp(label, kFailurePrefix, prefixLength) == 0) {
        return zpk::fail(call.result, label + prefixLength, kProbe.textForm);
    }
    const DataArrayRec &series = *call.dataArgs->args[0];
    const double offset = call.numericArgs->args[0];
    const double minus = call.numericArgs->args[1];
    const double scale = call.customArgs->args[0];
    const double labelLength = static_cast<double>(std::strlen(label));
    DataArrayRec &out = *call.result->data;
    for (int32 i = series.firstValid; i <= series.lastValid; ++i) {
        out.values[i] = static_cast<float>(series.values[i] * scale + offset - minus + labelLength);
    }
    out.firstValid = series.firstValid;
    out.lastValid = series.lastValid;
    return StatusSuccess;
}

}  // namespace

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info) {
    return zpk::answerInfo(kProbe, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info) {
    return zpk::answerNthFunction(kProbe, functionIndex, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthArg(int32 functionIndex, int32 argIndex, ArgInfoRec *info) {
    return zpk::answerNthArg(kProbe, functionIndex, argIndex, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthCustomString(int32 functionIndex, int32 argIndex,
                                                       int32 stringIndex, CustomStringRec *info) {
    return zpk::answerNthCustomString(kProbe, functionIndex, argIndex, stringIndex, info);
}

#define ZPK_FUNCTION_ARGS(name, description, computation, args) \
    ZPK_DEFINE_CALCULATION(kProbe, name, computation)
#include "functions.inc"
#undef ZPK_FUNCTION_ARGS
