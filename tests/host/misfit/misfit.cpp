// Misfit: a test plug-in that breaks the promises a host relies on, so that the host's handling of
// them can be seen. WideRange reports bars the security does not have and leaves the first bar of
// close, which it reports, unwritten; OddStatus returns a status outside the two codes; and the
// library exports ZPKNthArg and ZPKNthCustomString although none of its functions takes an
// argument.
#include "zpk/plugin.hpp"

namespace {

using zpk::FunctionRow;

int32 copyClosesReportWide(const zpk::Call &call) {
    const DataArrayRec &close = call.prices->close;
    DataArrayRec &out = *call.result->data;
    for (int32 i = close.firstValid + 1; i <= close.lastValid; ++i) out.values[i] = close.values[i];
    out.firstValid = -3;
    out.lastValid = close.lastValid + 5;
    return StatusSuccess;
}

int32 returnOddStatus(const zpk::Call &call) {
    DataArrayRec &out = *call.result->data;
    out.firstValid = 0;
    out.lastValid = -1;
    return 7;
}

#define ZPK_FUNCTION(name, description, computation) {#name, description, nullptr, 0},
constexpr FunctionRow kFunctions[] = {
#include "functions.inc"
};
#undef ZPK_FUNCTION

constexpr zpk::Library kMisfit = {
    "Misfit test library: breaks the rules on purpose.",
    zpk::TextForm::Padded,
    kFunctions,
    static_cast<int32>(sizeof kFunctions / sizeof kFunctions[0]),
    "Not enough memory",
};

}  // namespace

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info) {
    return zpk::answerInfo(kMisfit, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info) {
    return zpk::answerNthFunction(kMisfit, functionIndex, info);
}

#define ZPK_FUNCTION(name, description, computation) \
    ZPK_DEFINE_CALCULATION(kMisfit, name, computation)
#include "functions.inc"
#undef ZPK_FUNCTION

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthArg(int32 functionIndex, int32 argIndex, ArgInfoRec *info) {
    return zpk::answerNthArg(kMisfit, functionIndex, argIndex, info);
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthCustomString(int32 functionIndex, int32 argIndex,
                                                       int32 stringIndex, CustomStringRec *info) {
    return zpk::answerNthCustomString(kMisfit, functionIndex, argIndex, stringIndex, info);
}
