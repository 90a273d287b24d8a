// plugin.hpp - what every plug-in library of this interface builds its entry points from: the
// registration tables as data, the answers of the query entry points derived from them, and the
// guard that every exported call runs inside. Header-only and compiled into each library; the
// libraries share no code at run time.
#ifndef ZPK_PLUGIN_HPP
#define ZPK_PLUGIN_HPP

#include "zpk/zpk.h"

#include <cfenv>
#include <cstddef>
#include <exception>
#include <new>

// The SSE control and status register (MXCSR) is handled directly where the target has one: the C
// libraries' fenv functions do not all look after it. MinGW-w64's fesetenv(FE_DFL_ENV) resets only
// the x87 unit, so SSE exceptions unmasked by the caller stayed unmasked inside the call, and its
// i686 fesetenv does not load the saved MXCSR back.
#if defined(__SSE__) || defined(_M_X64) || defined(_M_AMD64) || \
    (defined(_M_IX86_FP) && _M_IX86_FP >= 1)
#  include <xmmintrin.h>
#  define ZPK_HAVE_MXCSR 1
#else
#  define ZPK_HAVE_MXCSR 0
#endif

namespace zpk {

// ---- Registration tables -------------------------------------------------------------------

struct CustomStringRow {
    const char *text;
    int32 id;
};

struct ArgRow {
    int32 type;
    const char *name;
    const CustomStringRow *strings = nullptr;  // the choices of a CustomArg
    int32 stringCount = 0;
};

struct FunctionRow {
    const char *name;
    const char *description;
    const ArgRow *args;
    int32 argCount;
};

template <std::size_t N>
constexpr int32 countOf(const ArgRow (&)[N]) { return static_cast<int32>(N); }
template <std::size_t N>
constexpr int32 countOf(const CustomStringRow (&)[N]) { return static_cast<int32>(N); }

// The two forms of the bounded text copy: characters and one NUL (later bytes keep the host's), or
// the same with the rest of the first 99 bytes cleared.
enum class TextForm { Plain, Padded };

inline void copyText(char *field, const char *source, TextForm form) {
    if (form == TextForm::Padded) {
        zpk_copy_text_padded(field, source);
    } else {
        zpk_copy_text(field, source);
    }
}

// What distinguishes one library's answers: its notice, its text form and its table.
struct Library {
    const char *copyright;
    TextForm textForm;
    const FunctionRow *functions;
    int32 functionCount;
    const char *outOfMemoryMessage;  // the message of a call whose scratch memory is not obtained
};

// ---- The floating-point guard ----------------------------------------------------------------

// Hosts may run with floating-point exceptions unmasked, another rounding mode, or flush-to-zero.
// Every entry point works in the default environment (all exceptions masked, round to nearest, no
// flush-to-zero, no flags raised) and gives the caller's environment, control and status flags
// alike, back before it returns: the x87 unit through the C library, MXCSR directly.
class FloatEnvironmentGuard {
public:
    FloatEnvironmentGuard() {
        std::fegetenv(&saved_);
#if ZPK_HAVE_MXCSR
        savedCsr_ = _mm_getcsr();
#endif
        std::fesetenv(FE_DFL_ENV);
#if ZPK_HAVE_MXCSR
        _mm_setcsr(kDefaultCsr);
#endif
    }
    ~FloatEnvironmentGuard() {
        std::fesetenv(&saved_);
#if ZPK_HAVE_MXCSR
        _mm_setcsr(savedCsr_);
#endif
    }
    FloatEnvironmentGuard(const FloatEnvironmentGuard &) = delete;
    FloatEnvironmentGuard &operator=(const FloatEnvironmentGuard &) = delete;

private:
    std::fenv_t saved_;
#if ZPK_HAVE_MXCSR
    // MXCSR at power-up: every exception masked, round to nearest, no flush-to-zero or
    // denormals-are-zero, no flag raised.
    static constexpr unsigned int kDefaultCsr = 0x1F80;
    unsigned int savedCsr_;
#endif
};

// ---- Query answers ---------------------------------------------------------------------------

inline int32 answerInfo(const Library &lib, LibraryInfoRec *info) {
    FloatEnvironmentGuard guard;
    copyText(info->copyright, lib.copyright, lib.textForm);
    info->functionCount = lib.functionCount;
    info->interfaceVersion = 1;
    return StatusSuccess;
}

inline int32 answerNthFunction(const Library &lib, int32 functionIndex, FunctionInfoRec *info) {
    FloatEnvironmentGuard guard;
    if (functionIndex < 0 || functionIndex >= lib.functionCount) {
        return StatusFailure;
    }
    const FunctionRow &row = lib.functions[functionIndex];
    copyText(info->name, row.name, lib.textForm);
    copyText(info->description, row.description, lib.textForm);
    info->argCount = row.argCount;
    return StatusSuccess;
}

inline const ArgRow *findArg(const Library &lib, int32 functionIndex, int32 argIndex) {
    if (functionIndex < 0 || functionIndex >= lib.functionCount) {
        return nullptr;
    }
    const FunctionRow &row = lib.functions[functionIndex];
    if (argIndex < 0 || argIndex >= row.argCount) {
        return nullptr;
    }
    return &row.args[argIndex];
}

inline int32 answerNthArg(const Library &lib, int32 functionIndex, int32 argIndex, ArgInfoRec *info) {
    FloatEnvironmentGuard guard;
    info->customStringCount = 0;
    const ArgRow *arg = findArg(lib, functionIndex, argIndex);
    if (arg == nullptr) {
        return StatusFailure;
    }
    info->argType = arg->type;
    if (arg->type == CustomArg) {
        info->customStringCount = arg->stringCount;
    }
    copyText(info->name, arg->name, lib.textForm);
    return StatusSuccess;
}

inline int32 answerNthCustomString(const Library &lib, int32 functionIndex, int32 argIndex,
                                   int32 stringIndex, CustomStringRec *info) {
    FloatEnvironmentGuard guard;
    info->text[0] = '\0';
    info->id = -1;
    const ArgRow *arg = findArg(lib, functionIndex, argIndex);
    if (arg == nullptr || arg->type != CustomArg || stringIndex < 0 ||
        stringIndex >= arg->stringCount) {
        return StatusFailure;
    }
    copyText(info->text, arg->strings[stringIndex].text, lib.textForm);
    info->id = arg->strings[stringIndex].id;
    return StatusSuccess;
}

// ---- Calculation calls -----------------------------------------------------------------------

// The six records of one call, as the computations of a library take them.
struct Call {
    const PriceDataRec *prices;
    const DataArgs *dataArgs;
    const NumericArgs *numericArgs;
    const StringArgs *stringArgs;
    const CustomArgs *customArgs;
    ResultRec *result;
};

using Computation = int32 (*)(const Call &call);

// A rejected or failed call: the message, the empty range, StatusFailure.
inline int32 fail(ResultRec *result, const char *message, TextForm form) {
    copyText(result->errorText, message, form);
    result->data->firstValid = 0;
    result->data->lastValid = -1;
    return StatusFailure;
}

// Every calculation entry point runs its computation here: in the default floating-point
// environment, and with no C++ exception crossing into the host. Scratch memory that cannot be
// obtained is a failed call with the library's message.
inline int32 runCalculation(const Library &lib, Computation compute, const Call &call) noexcept {
    FloatEnvironmentGuard guard;
    try {
        return compute(call);
    } catch (const std::bad_alloc &) {
        return fail(call.result, lib.outOfMemoryMessage, lib.textForm);
    } catch (...) {
        return fail(call.result, lib.outOfMemoryMessage, lib.textForm);
    }
}

}  // namespace zpk

// Defines the exported calculation entry point `name` over `computation` of library `lib`. The
// export list of the build is generated from the same table rows that expand this macro.
#define ZPK_DEFINE_CALCULATION(lib, name, computation)                                          \
    extern "C" ZPK_EXPORT int32 ZPK_CALL name(                                                  \
        const PriceDataRec *prices, const DataArgs *dataArgs, const NumericArgs *numericArgs,   \
        const StringArgs *stringArgs, const CustomArgs *customArgs, ResultRec *result) {        \
        return ::zpk::runCalculation(lib, computation, ::zpk::Call{prices, dataArgs, numericArgs, \
                                                                  stringArgs, customArgs, result}); \
    }

#endif  // ZPK_PLUGIN_HPP
