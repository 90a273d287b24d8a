// Broken: a test plug-in built to fail zpkhost check. Every query entry point and every function
// of its table carries exactly one fault, so that each can be seen reported on its own:
//
//   ZPKInfo             copyright fills all 100 bytes, with no NUL
//   ZPKNthFunction      an index outside the table still writes argCount into the record
//   ZPKNthArg           a pair outside the table leaves customStringCount as the host had it
//   ZPKNthCustomString  answers one string more than Choice's Mode announces
//   Ghost               announced, but not exported
//   the functions of functions.inc: what their descriptions say
//
// The calculation functions are written out by hand rather than through the library frame, which
// would keep them from breaking its rules.
#include "zpk/plugin.hpp"

#include <atomic>
#include <cstring>
#include <string>

namespace {

using zpk::ArgRow;
using zpk::CustomStringRow;
using zpk::FunctionRow;

constexpr ArgRow kOffsetArgs[] = {{NumericArg, "Offset"}};
constexpr ArgRow kBadTypeArgs[] = {{7, "Strange"}};
constexpr ArgRow kCountedArgs[] = {{NumericArg, "Level"}};
constexpr CustomStringRow kModes[] = {{"Fast", 0}, {"Slow", 1}};
constexpr ArgRow kChoiceArgs[] = {{CustomArg, "Mode", kModes, zpk::countOf(kModes)}};
constexpr CustomStringRow kSides[] = {{"Up", 1}, {"Down", -1}, {"Up", 2}};
constexpr ArgRow kTwiceArgs[] = {{CustomArg, "Side", kSides, zpk::countOf(kSides)}};

#define ZPK_FUNCTION(name, description) {#name, description, nullptr, 0},
#define ZPK_FUNCTION_ARGS(name, description, args) {#name, description, args, zpk::countOf(args)},
constexpr FunctionRow kFunctions[] = {
#include "functions.inc"
    {"Ghost", "Announced but not exported", nullptr, 0},
};
#undef ZPK_FUNCTION
#undef ZPK_FUNCTION_ARGS

constexpr int32 kFunctionCount = static_cast<int32>(sizeof kFunctions / sizeof kFunctions[0]);

constexpr zpk::Library kBroken = {
    "Broken test library: one fault in every entry point.",
    zpk::TextForm::Plain,
    kFunctions,
    kFunctionCount,
    "Not enough memory",
};

int32 indexOf(const char *name) {
    for (int32 f = 0; f < kFunctionCount; ++f) {
        if (std::strcmp(kFunctions[f].name, name) == 0) return f;
    }
    return -1;
}

// Deliberately state that changes: Fickle's description counts how often it was asked for.
std::atomic<int> fickleAnswers{0};

void copyClose(const PriceDataRec *prices, ResultRec *result, float add) {
    const DataArrayRec &close = prices->close;
    DataArrayRec &out = *result->data;
    for (int32 i = close.firstValid; i <= close.lastValid; ++i) out.values[i] = close.values[i] + add;
    out.firstValid = close.firstValid;
    out.lastValid = close.lastValid;
}

}  // namespace

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info) {
    std::memset(info->copyright, 'B', TextFieldSize);
    info->functionCount = kFunctionCount;
    info->interfaceVersion = 1;
    return StatusSuccess;
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info) {
    if (functionIndex < 0 || functionIndex >= kFunctionCount) {
        info->argCount = 0;
        return StatusFailure;
    }
    const int32 status = zpk::answerNthFunction(kBroken, functionIndex, info);
    if (functionIndex == indexOf("Fickle")) {
        const std::string description = "Asked " + std::to_string(++fickleAnswers) + " times";
        zpk_copy_text(info->description, description.c_str());
    }
    return status;
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthArg(int32 functionIndex, int32 argIndex, ArgInfoRec *info) {
    if (zpk::findArg(kBroken, functionIndex, argIndex) == nullptr) return StatusFailure;
    const int32 status = zpk::answerNthArg(kBroken, functionIndex, argIndex, info);
    if (functionIndex == indexOf("CountedNumber")) info->customStringCount = 2;
    return status;
}

extern "C" ZPK_EXPORT int32 ZPK_CALL ZPKNthCustomString(int32 functionIndex, int32 argIndex,
                                                       int32 stringIndex, CustomStringRec *info) {
    if (functionIndex == indexOf("Choice") && argIndex == 0 && stringIndex == zpk::countOf(kModes)) {
        zpk_copy_text(info->text, "Medium");
        info->id = 2;
        return StatusSuccess;
    }
    return zpk::answerNthCustomString(kBroken, functionIndex, argIndex, stringIndex, info);
}

#define ZPK_CALCULATION(name)                                                                     \
    extern "C" ZPK_EXPORT int32 ZPK_CALL name(const PriceDataRec *prices, const DataArgs *dataArgs, \
                                              const NumericArgs *numericArgs,                    \
                                              const StringArgs *stringArgs,                      \
                                              const CustomArgs *customArgs, ResultRec *result)

ZPK_CALCULATION(WritesInput) {
    (void)dataArgs, (void)numericArgs, (void)stringArgs, (void)customArgs;
    copyClose(prices, result, 0.0f);
    if (prices->close.firstValid <= prices->close.lastValid) {
        prices->close.values[prices->close.firstValid] = -1.0f;
    }
    return StatusSuccess;
}

ZPK_CALCULATION(NoMessage) {
    (void)prices, (void)dataArgs, (void)numericArgs, (void)stringArgs, (void)customArgs;
    std::memset(result->errorText, 'x', TextFieldSize);
    result->data->firstValid = 0;
    result->data->lastValid = -1;
    return StatusFailure;
}

ZPK_CALCULATION(FailsWithRange) {
    (void)dataArgs, (void)numericArgs, (void)stringArgs, (void)customArgs;
    zpk_copy_text(result->errorText, "Rejected");
    result->data->firstValid = prices->close.firstValid;
    result->data->lastValid = prices->close.lastValid + 1;
    return StatusFailure;
}

ZPK_CALCULATION(ChattySuccess) {
    (void)dataArgs, (void)numericArgs, (void)stringArgs, (void)customArgs;
    copyClose(prices, result, 0.0f);
    zpk_copy_text(result->errorText, "done");
    return StatusSuccess;
}

ZPK_CALCULATION(ReadsBeyondCount) {
    (void)dataArgs, (void)stringArgs, (void)customArgs;
    copyClose(prices, result, numericArgs->args[0] + numericArgs->args[1]);
    return StatusSuccess;
}

ZPK_CALCULATION(WritesPastEnd) {
    (void)dataArgs, (void)numericArgs, (void)stringArgs, (void)customArgs;
    copyClose(prices, result, 0.0f);
    result->data->values[prices->close.lastValid + 1] = 0.0f;
    return StatusSuccess;
}

ZPK_CALCULATION(WritesRecord) {
    (void)dataArgs, (void)stringArgs, (void)customArgs;
    copyClose(prices, result, numericArgs->args[0]);
    const_cast<NumericArgs *>(numericArgs)->args[0] = 0.0f;
    return StatusSuccess;
}

// The rest compute a plain copy of close: their faults lie in their answers to the queries.
ZPK_CALCULATION(BadType) {
    (void)dataArgs, (void)numericArgs, (void)stringArgs, (void)customArgs;
    copyClose(prices, result, 0.0f);
    return StatusSuccess;
}

ZPK_CALCULATION(CountedNumber) {
    (void)dataArgs, (void)numericArgs, (void)stringArgs, (void)customArgs;
    copyClose(prices, result, 0.0f);
    return StatusSuccess;
}

ZPK_CALCULATION(Fickle) {
    (void)dataArgs, (void)numericArgs, (void)stringArgs, (void)customArgs;
    copyClose(prices, result, 0.0f);
    return StatusSuccess;
}

ZPK_CALCULATION(Choice) {
    (void)dataArgs, (void)numericArgs, (void)stringArgs, (void)customArgs;
    copyClose(prices, result, 0.0f);
    return StatusSuccess;
}

ZPK_CALCULATION(Twice) {
    (void)dataArgs, (void)numericArgs, (void)stringArgs, (void)customArgs;
    copyClose(prices, result, 0.0f);
    return StatusSuccess;
}
