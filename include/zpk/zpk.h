/*
 * zpk.h - the binary interface between a charting host and its indicator plug-ins.
 *
 * Every plug-in library is built against this one header. It fixes, to the byte, the records that
 * cross the boundary, the argument type and status codes, the calculation-function signature, the
 * query entry points and the calling convention. It compiles as C (C99 and later) and as C++.
 *
 * Ownership, for every record below: the host allocates it, owns it and keeps it alive for the one
 * call that receives it. A library never frees a record, never keeps a pointer to one after it
 * returns, and writes only the fields that the comment beside the record or entry point names.
 *
 * Threads: no entry point touches shared writable data. The host may call any entry point from any
 * thread, also at the same time, as long as simultaneous calls do not share a record.
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

/* One series with its valid range. Entry i of `values` is bar i; bars firstValid..lastValid (both
 * included) are valid, an empty range has lastValid < firstValid. Libraries report an empty result
 * as 0..-1. Input series are read only; the output series (ResultRec.data) is written by the library:
 * `values` at bars 0 up to the largest lastValid of the series the call reads, and the range. */
typedef struct DataArrayRec {
    float32 *values;
    int32 firstValid;
    int32 lastValid;
} DataArrayRec;

/* The security's price data, read only. Libraries read only these 88 bytes (on 32-bit x86); the host
 * may keep more after them. No library reads hostData or series6. */
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

/* The four argument records, read only. `count` is the number of arguments of that type that the
 * called function declares, in argument order within the type; entries at `count` and above are
 * undefined and never read. A function without arguments reads none of these, not even `count`. */
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

/* Where a calculation puts its result. `data` and its `values` array are the host's, with one entry
 * per bar of the security. The library writes data->values, data->firstValid and data->lastValid
 * (never reading the range the host left there) and, only when it returns StatusFailure, a message
 * into errorText with the bounded text copy. A successful call leaves errorText untouched. */
typedef struct ResultRec {
    DataArrayRec *data;
    char errorText[TextFieldSize];
} ResultRec;

/* Every calculation function: the six records in this order, an int32 status. */
typedef int32 (ZPK_CALL *CalcFunction)(const PriceDataRec *prices, const DataArgs *dataArgs,
                                       const NumericArgs *numericArgs, const StringArgs *stringArgs,
                                       const CustomArgs *customArgs, ResultRec *result);

/* ---- Query records ---------------------------------------------------------------------------
 * The host allocates each record; the query writes the fields its entry point names below and
 * leaves every other byte as it was. */

/* Filled by ZPKInfo: all three fields. */
typedef struct LibraryInfoRec {
    char copyright[TextFieldSize];
    int32 functionCount;
    int32 interfaceVersion;  /* 1 */
} LibraryInfoRec;

/* Filled by ZPKNthFunction on success: all three fields; on failure nothing. `name` is exactly the
 * export name of the calculation function. */
typedef struct FunctionInfoRec {
    char name[TextFieldSize];
    char description[TextFieldSize];
    int32 argCount;
} FunctionInfoRec;

/* Filled by ZPKNthArg: customStringCount in every call (0 unless a CustomArg was found), argType and
 * name on success only. */
typedef struct ArgInfoRec {
    int32 argType;
    char name[TextFieldSize];
    int32 customStringCount;
} ArgInfoRec;

/* Filled by ZPKNthCustomString: an empty text and id -1 in every call, then text and id on success.
 * Several texts of one argument may share an id (a word and its one-letter form). */
typedef struct CustomStringRec {
    char text[TextFieldSize];
    int32 id;
} CustomStringRec;

/* ---- Query entry points -----------------------------------------------------------------------
 * Call order of the host: ZPKInfo; ZPKNthFunction for 0..functionCount-1; ZPKNthArg for every
 * argument of a function with arguments; ZPKNthCustomString for every string of a CustomArg. Every
 * answer is a constant: the same whatever was asked before. Indexes count from 0. ZPKNthArg is
 * exported only by a library with a function that takes arguments, ZPKNthCustomString only by one
 * with a CustomArg. */
typedef int32 (ZPK_CALL *ZPKInfoFunction)(LibraryInfoRec *info);
typedef int32 (ZPK_CALL *ZPKNthFunctionFunction)(int32 functionIndex, FunctionInfoRec *info);
typedef int32 (ZPK_CALL *ZPKNthArgFunction)(int32 functionIndex, int32 argIndex, ArgInfoRec *info);
typedef int32 (ZPK_CALL *ZPKNthCustomStringFunction)(int32 functionIndex, int32 argIndex,
                                                     int32 stringIndex, CustomStringRec *info);

/* Never fails. */
ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info);
/* StatusFailure, record untouched, for an index outside the function table. */
ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info);
/* StatusFailure for a pair outside the argument table; customStringCount is then 0. */
ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL ZPKNthArg(int32 functionIndex, int32 argIndex,
                                                 ArgInfoRec *info);
/* StatusFailure for a triple that names no custom string; the record then holds "" and id -1. */
ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL ZPKNthCustomString(int32 functionIndex, int32 argIndex,
                                                          int32 stringIndex, CustomStringRec *info);

/* ---- The bounded text copy --------------------------------------------------------------------
 * Writes at most TextFieldSize - 1 characters of `source` (NULL counts as empty) and a NUL into
 * `field`; a longer source is cut. Nothing beyond the field is ever written.
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
