// Ambrel's registration: its one-row function table, the two query entry points it needs (its only
// function takes no arguments) and the calculation entry point.
#include "look_ahead.hpp"

namespace {

using zpk::FunctionRow;

#define ZPK_FUNCTION(name, description, computation) {#name, description, nullptr, 0},
constexpr FunctionRow kFunctions[] = {
#include "functions.inc"
};
#undef ZPK_FUNCTION

constexpr zpk::Library kAmbrel = {
    "Ambrel indicator library. Copyright (c) 2026 the ZPK developers.",
    zpk::TextForm::Padded,
    kFunctions,
    static_cast<int32>(sizeof kFunctions / sizeof kFunctions[0]),
    "Not enough memory",
};

}  // namespace

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info) {
    return zpk::answerInfo(kAmbrel, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info) {
    return zpk::answerNthFunction(kAmbrel, functionIndex, info);
}

#define ZPK_FUNCTION(name, description, computation) \
    ZPK_DEFINE_CALCULATION(kAmbrel, name, ambrel::computation)
#include "functions.inc"
#undef ZPK_FUNCTION
