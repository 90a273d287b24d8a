/*
 * zpk.h - the binary interface between a charting host and its indicator plug-ins.
 *
 * Every plug-in library is built against this one header. It fixes, to the byte, the records that
 * cross the boundary, the argument type and status codes, the calculation-function signature, the
 * query entry points and the calling convention. It compiles as C (C99 and later) and as C++, with
 * no warning at -Wall -Wextra -pedantic, and may be included by any number of translation units.
 * It is the public SDK header: the version of the SDK is the version of the CMake package ZPK
 * (find_package(ZPK) sets ZPK_VERSION); interfaceVersion (1) is the version of the protocol.
 *
 * Ownership, for every record below: the host allocates it, owns it and keeps it alive for the one
 * call that receives it. A library never frees a record, never keeps a pointer to one after it
 * returns, and writes only the fields that the comment beside the record or entry point names.
 * Every other byte, of the records and of the arrays and texts they point to, is left as it was.
 *
 * Status: every entry point returns StatusSuccess (0) or StatusFailure (1), never another value.
 *
 * State: a library keeps none. Every answer depends only on the arguments of the call: the same
 * whatever was called before, in the same process or not. No writable globals, no caches, no
 * initialisation the host must trigger; scratch memory is allocated inside a call and released on
 * every path before it returns. Nothing is logged, read from files or configured.
 *
 * Threads: no entry point touches shared writable data, takes a lock or starts a thread. The host
 * may call any entry point from any thread, also at the same time, as long as simultaneous calls
 * do not share a record.
 *
 * Texts: every text field is TextFieldSize (100) bytes and holds a NUL-terminated text of at most
 * 99 single-byte Windows-1252 characters. A library writes one only with the bounded text copy at
 * the end of this header, so no write ever reaches past the field.
 */
#ifndef ZPK_ZPK_H
#define ZPK_ZPK_H

#include <stddef.h>
#include <stdint.h>

/* ---- Calling convention and export -------------------------------------------------------------
 * ZPK_CALL is the one convention of every entry point. On 32-bit x86 it is callee-clears (stdcall):
 * arguments pushed right to left as 4-byte values, removed by the called function. Elsewhere it is
 * the platform's default convention. Export names are never decorated: a Windows build lists them
 * in a module definition file, an ELF build in a linker version script.
 *
 * ZPK_EXPORT marks a definition as exported. On ELF every other symbol of a plug-in is hidden. */
#if defined(__i386__) || defined(_M_IX86)
#  if defined(_MSC_VER) || defined(__MINGW32__)
#    define ZPK_CALL __stdcall
#  else
#    define ZPK_CALL __attribute__((stdcall))
#  endif
#  define ZPK_IS_X86_32 1
#else
#  define ZPK_CALL
#  define ZPK_IS_X86_32 0
#endif

#if defined(_WIN32)
#  define ZPK_EXPORT
#else
#  define ZPK_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#  define ZPK_EXTERN_C extern "C"
#else
#  define ZPK_EXTERN_C
#endif

/* ---- Scalars, limits and codes ---------------------------------------------------------------- */
typedef int32_t int32;   /* 32-bit two's-complement integer */
typedef float float32;   /* IEEE 754 single precision */

enum {
    MaxArgs = 9,         /* entries in every argument record */
    TextFieldSize = 100  /* bytes in every text field: at most 99 characters and a NUL */
};

/* Argument type codes (ArgInfoRec.argType) and the record in which such an argument arrives. */
enum {
    DataArrayArg = 0,    /* DataArgs: pointer to a DataArrayRec */
    NumericArg = 1,      /* NumericArgs: float32 */
    StringArg = 2,       /* StringArgs: pointer to a NUL-terminated text */
    CustomArg = 3        /* CustomArgs: int32 id of the chosen custom string */
};

/* Status codes: every entry point returns one of these two and nothing else. */
enum {
    StatusSuccess = 0,   /* the record was filled, or the calculation ran (its range may be empty) */
    StatusFailure = 1    /* query index outside the tables, or the calculation was rejected */
};

/* ---- Calculation records ---------------------------------------------------------------------- */

/* One series with its valid range; the host's, like the array `values` points to. Entry i of
 * `values` is bar i, the same bar in every series of a call; bars firstValid..lastValid (both
 * included) are valid, an empty range has lastValid < firstValid. Libraries report an empty result
 * as 0..-1. Entries outside the range carry no defined value.
 * Input series (in PriceDataRec and DataArgs) are read only. The output series (ResultRec.data) is
 * the one record a calculation writes: `values` at bars 0 up to the largest lastValid of the series
 * the call reads (the host's array has one entry per bar), then firstValid and lastValid, which it
 * never reads. */
typedef struct DataArrayRec {
    float32 *values;
    int32 firstValid;
    int32 lastValid;
} DataArrayRec;

/* The security's price data: the host's, read only, the first argument of every calculation. A
 * library reads only these 88 bytes (on 32-bit x86); the host may keep more after them. hostData
 * and series6 are the host's own: no library reads them. Each series has its own valid range. */
typedef struct PriceDataRec {
    unsigned char hostData[4];
    DataArrayRec open;     /* letter O */
    DataArrayRec high;     /* letter H */
    DataArrayRec low;      /* letter L */
    DataArrayRec close;    /* letter C */
    DataArrayRec volume;   /* letter V */
    DataArrayRec series6;
    DataArrayRec series7;  /* letter I */
} PriceDataRec;

/* The four argument records: the host's, read only, one per argument type. `count` (0..MaxArgs) is
 * the number of arguments of that type that the called function declares (ZPKNthArg), in argument
 * order within the type: entry 0 of NumericArgs is the function's first numeric argument, whatever
 * arguments of other types come between. Entries at `count` and above are undefined and never read;
 * a function reads an entry only after checking `count`, and a function without arguments reads
 * none of these, not even `count`. The DataArrayRec and the texts the entries point to are the
 * host's too, read only and valid for the call. */
typedef struct DataArgs {
    DataArrayRec *args[MaxArgs];
    int32 count;
} DataArgs;

typedef struct NumericArgs {
    float32 args[MaxArgs];
    int32 count;
} NumericArgs;

typedef struct StringArgs {
    const char *args[MaxArgs];
    int32 count;
} StringArgs;

typedef struct CustomArgs {
    int32 args[MaxArgs];
    int32 count;
} CustomArgs;

/* Where a calculation puts its result: the host's, like `data` and its `values` array, which has
 * one entry per bar of the security. The library writes data->values, data->firstValid and
 * data->lastValid (never reading the range the host left there) and, only when it returns
 * StatusFailure, a message into errorText with the bounded text copy. A successful call leaves
 * every byte of errorText untouched. The pointer `data` itself is never written. */
typedef struct ResultRec {
    DataArrayRec *data;
    char errorText[TextFieldSize];
} ResultRec;

/* Every calculation function: exported under exactly the `name` its ZPKNthFunction row gives, with
 * the six records in this order and an int32 status, in the ZPK_CALL convention (24 argument bytes
 * removed by the callee on 32-bit x86). The host may call it without any query in the process.
 *  - Reads `prices`, the argument records (entries below `count` only) and the arrays they point
 *    to; writes only result->data (values, firstValid, lastValid) and, on failure, errorText.
 *  - StatusSuccess: it ran; the reported range may be empty (0..-1) or shorter when there was too
 *    little data, and errorText is untouched.
 *  - StatusFailure: it rejected the call; errorText holds the message (bounded text copy) and the
 *    output range is 0..-1.
 *  - Works in the default floating-point environment and gives the caller's back; no C++
 *    exception and no floating-point trap leaves it. Keeps no state; any thread (see the top of
 *    this file). */
typedef int32 (ZPK_CALL *CalcFunction)(const PriceDataRec *prices, const DataArgs *dataArgs,
                                       const NumericArgs *numericArgs, const StringArgs *stringArgs,
                                       const CustomArgs *customArgs, ResultRec *result);

/* ---- Query records ---------------------------------------------------------------------------
 * The host allocates and owns each record; the query writes the fields its entry point names below
 * and leaves every other byte as it was, including bytes after a text's NUL. Texts are written with
 * the bounded text copy. */

/* Filled by ZPKInfo: all three fields, in every call. */
typedef struct LibraryInfoRec {
    char copyright[TextFieldSize];
    int32 functionCount;     /* rows of the function table: ZPKNthFunction 0..functionCount-1 */
    int32 interfaceVersion;  /* 1 */
} LibraryInfoRec;

/* Filled by ZPKNthFunction on success: all three fields; on failure nothing. `name` is exactly the
 * export name of the calculation function (CamelCase); `description` one line for the user. */
typedef struct FunctionInfoRec {
    char name[TextFieldSize];
    char description[TextFieldSize];
    int32 argCount;  /* 0 or more: ZPKNthArg 0..argCount-1 */
} FunctionInfoRec;

/* Filled by ZPKNthArg: customStringCount in every call, first (0 unless a CustomArg was found),
 * argType and name on success only. */
typedef struct ArgInfoRec {
    int32 argType;            /* DataArrayArg, NumericArg, StringArg or CustomArg */
    char name[TextFieldSize]; /* shown to the user */
    int32 customStringCount;  /* a CustomArg's choices: ZPKNthCustomString 0..count-1; else 0 */
} ArgInfoRec;

/* Filled by ZPKNthCustomString: an empty text and id -1 in every call, first, then text and id on
 * success. Several texts of one argument may share an id (a word and its one-letter form); the ids
 * are the library's own, and the host passes back the id of the chosen text in CustomArgs. */
typedef struct CustomStringRec {
    char text[TextFieldSize];
    int32 id;
} CustomStringRec;

/* ---- Query entry points -----------------------------------------------------------------------
 * Call order of the host: ZPKInfo; ZPKNthFunction for 0..functionCount-1; ZPKNthArg for every
 * argument of a function with arguments; ZPKNthCustomString for every string of a CustomArg; then
 * calculations by name. Every answer is a constant: the same whatever was asked before and however
 * often. Indexes count from 0; a failing query writes no message (there is no field for one).
 * ZPKInfo and ZPKNthFunction are exported by every library, ZPKNthArg only by a library with a
 * function that takes arguments, ZPKNthCustomString only by one with a CustomArg: the host asks
 * only for what the answers announce. The records are the host's; any thread (see the top of this
 * file).
 * Argument bytes removed by the callee on 32-bit x86: 4, 8, 12 and 16. */
typedef int32 (ZPK_CALL *ZPKInfoFunction)(LibraryInfoRec *info);
typedef int32 (ZPK_CALL *ZPKNthFunctionFunction)(int32 functionIndex, FunctionInfoRec *info);
typedef int32 (ZPK_CALL *ZPKNthArgFunction)(int32 functionIndex, int32 argIndex, ArgInfoRec *info);
typedef int32 (ZPK_CALL *ZPKNthCustomStringFunction)(int32 functionIndex, int32 argIndex,
                                                     int32 stringIndex, CustomStringRec *info);

/* Writes copyright, functionCount and interfaceVersion (1); StatusSuccess, never fails. */
ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info);
/* Writes name, description and argCount of row functionIndex. For an index outside the function
 * table, negative ones included: StatusFailure, and the record is left byte for byte as it was. */
ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info);
/* Writes customStringCount = 0 before looking at either index, then argType, name and (for a
 * CustomArg) customStringCount of that argument. For a pair outside the argument table, also any
 * pair of a function without arguments: StatusFailure, customStringCount 0 the only field
 * written. */
ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL ZPKNthArg(int32 functionIndex, int32 argIndex,
                                                 ArgInfoRec *info);
/* Writes an empty text and id -1 before looking at any index, then the text and id of that choice.
 * For a triple that names no custom string, also any argument that is not a CustomArg:
 * StatusFailure, and the record holds "" and id -1. */
ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL ZPKNthCustomString(int32 functionIndex, int32 argIndex,
                                                          int32 stringIndex, CustomStringRec *info);

/* ---- The bounded text copy --------------------------------------------------------------------
 * The one way a library writes a text field (copyright, name, description, text, errorText).
 * Writes at most TextFieldSize - 1 characters of `source` (NULL counts as empty) and a NUL into
 * `field`, which must be a whole text field; a longer source is cut after its 99th character.
 * Nothing beyond the field is ever written. Stateless, any thread.
 * zpk_copy_text leaves the bytes after the NUL as they were; zpk_copy_text_padded fills the rest of
 * the first TextFieldSize - 1 bytes with NUL as well. Returns the number of characters copied. */
static inline size_t zpk_copy_text(char *field, const char *source)
{
    size_t n = 0;
    if (source != NULL) {
        while (n < (size_t)TextFieldSize - 1 && source[n] != '\0') {
            field[n] = source[n];
            ++n;
        }
    }
    field[n] = '\0';
    return n;
}

static inline size_t zpk_copy_text_padded(char *field, const char *source)
{
    size_t n = zpk_copy_text(field, source);
    size_t i;
    for (i = n + 1; i < (size_t)TextFieldSize - 1; ++i) {
        field[i] = '\0';
    }
    return n;
}

/* ---- Layout of the 32-bit target, pinned ------------------------------------------------------
 * On 32-bit x86 the natural C layout is exactly the host's: these assertions fail the build if it
 * is not. Other targets keep the field order and types with their own natural alignment. */
#if defined(__cplusplus)
#  define ZPK_STATIC_ASSERT(cond, tag) static_assert(cond, #tag)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#  define ZPK_STATIC_ASSERT(cond, tag) _Static_assert(cond, #tag)
#else
#  define ZPK_STATIC_ASSERT(cond, tag) typedef char zpk_layout_##tag[(cond) ? 1 : -1]
#endif

ZPK_STATIC_ASSERT(sizeof(int32) == 4 && sizeof(float32) == 4, scalar_sizes);

#if ZPK_IS_X86_32
ZPK_STATIC_ASSERT(sizeof(DataArrayRec) == 12, DataArrayRec_size);
ZPK_STATIC_ASSERT(offsetof(DataArrayRec, values) == 0, DataArrayRec_values);
ZPK_STATIC_ASSERT(offsetof(DataArrayRec, firstValid) == 4, DataArrayRec_firstValid);
ZPK_STATIC_ASSERT(offsetof(DataArrayRec, lastValid) == 8, DataArrayRec_lastValid);
ZPK_STATIC_ASSERT(sizeof(PriceDataRec) == 88, PriceDataRec_size);
ZPK_STATIC_ASSERT(offsetof(PriceDataRec, hostData) == 0, PriceDataRec_hostData);
ZPK_STATIC_ASSERT(offsetof(PriceDataRec, open) == 4, PriceDataRec_open);
ZPK_STATIC_ASSERT(offsetof(PriceDataRec, high) == 16, PriceDataRec_high);
ZPK_STATIC_ASSERT(offsetof(PriceDataRec, low) == 28, PriceDataRec_low);
ZPK_STATIC_ASSERT(offsetof(PriceDataRec, close) == 40, PriceDataRec_close);
ZPK_STATIC_ASSERT(offsetof(PriceDataRec, volume) == 52, PriceDataRec_volume);
ZPK_STATIC_ASSERT(offsetof(PriceDataRec, series6) == 64, PriceDataRec_series6);
ZPK_STATIC_ASSERT(offsetof(PriceDataRec, series7) == 76, PriceDataRec_series7);
ZPK_STATIC_ASSERT(sizeof(DataArgs) == 40 && offsetof(DataArgs, count) == 36, DataArgs_layout);
ZPK_STATIC_ASSERT(sizeof(NumericArgs) == 40 && offsetof(NumericArgs, count) == 36, NumericArgs_layout);
ZPK_STATIC_ASSERT(sizeof(StringArgs) == 40 && offsetof(StringArgs, count) == 36, StringArgs_layout);
ZPK_STATIC_ASSERT(sizeof(CustomArgs) == 40 && offsetof(CustomArgs, count) == 36, CustomArgs_layout);
ZPK_STATIC_ASSERT(sizeof(ResultRec) == 104, ResultRec_size);
ZPK_STATIC_ASSERT(offsetof(ResultRec, data) == 0, ResultRec_data);
ZPK_STATIC_ASSERT(offsetof(ResultRec, errorText) == 4, ResultRec_errorText);
ZPK_STATIC_ASSERT(sizeof(LibraryInfoRec) == 108, LibraryInfoRec_size);
ZPK_STATIC_ASSERT(offsetof(LibraryInfoRec, functionCount) == 100, LibraryInfoRec_functionCount);
ZPK_STATIC_ASSERT(offsetof(LibraryInfoRec, interfaceVersion) == 104, LibraryInfoRec_version);
ZPK_STATIC_ASSERT(sizeof(FunctionInfoRec) == 204, FunctionInfoRec_size);
ZPK_STATIC_ASSERT(offsetof(FunctionInfoRec, description) == 100, FunctionInfoRec_description);
ZPK_STATIC_ASSERT(offsetof(FunctionInfoRec, argCount) == 200, FunctionInfoRec_argCount);
ZPK_STATIC_ASSERT(sizeof(ArgInfoRec) == 108, ArgInfoRec_size);
ZPK_STATIC_ASSERT(offsetof(ArgInfoRec, name) == 4, ArgInfoRec_name);
ZPK_STATIC_ASSERT(offsetof(ArgInfoRec, customStringCount) == 104, ArgInfoRec_customStringCount);
ZPK_STATIC_ASSERT(sizeof(CustomStringRec) == 104, CustomStringRec_size);
ZPK_STATIC_ASSERT(offsetof(CustomStringRec, id) == 100, CustomStringRec_id);
#endif

#endif /* ZPK_ZPK_H */
