/* A minimal plug-in written against the interface header alone, in the common subset of C and C++:
 * this file is compiled as C (C99, C11) and, through plugin_side.cpp, as C++. host_side calls its
 * entry points through the header's declarations and typedefs, so a declaration, a typedef or a
 * calling convention that disagrees with a definition fails to compile, to link, or to run.
 *
 * Its one function, Twice, doubles the close over its valid range and rejects a call that passes
 * any argument. */
#include "zpk/zpk.h"

#include "sdk_header_test.h"

static const char kCopyright[] = "SDK header test plug-in";
static const char kName[] = "Twice";
static const char kDescription[] = "Twice the close";

ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL ZPKInfo(LibraryInfoRec *info)
{
    zpk_copy_text_padded(info->copyright, kCopyright);
    info->functionCount = 1;
    info->interfaceVersion = 1;
    return StatusSuccess;
}

ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL ZPKNthFunction(int32 functionIndex, FunctionInfoRec *info)
{
    if (functionIndex != 0) {
        return StatusFailure;
    }
    zpk_copy_text(info->name, kName);
    zpk_copy_text(info->description, kDescription);
    info->argCount = 0;
    return StatusSuccess;
}

ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL Twice(const PriceDataRec *prices, const DataArgs *dataArgs,
                                             const NumericArgs *numericArgs,
                                             const StringArgs *stringArgs,
                                             const CustomArgs *customArgs, ResultRec *result)
{
    const DataArrayRec *close = &prices->close;
    DataArrayRec *out = result->data;
    int32 i;
    if (dataArgs->count != 0 || numericArgs->count != 0 || stringArgs->count != 0 ||
        customArgs->count != 0) {
        zpk_copy_text_padded(result->errorText, ZPK_SDK_TEST_LONG_MESSAGE);
        out->firstValid = 0;
        out->lastValid = -1;
        return StatusFailure;
    }
    for (i = close->firstValid; i <= close->lastValid; ++i) {
        out->values[i] = close->values[i] * 2.0f;
    }
    out->firstValid = close->firstValid;
    out->lastValid = close->lastValid;
    return StatusSuccess;
}
