/* What the translation units of the header compile tests share. */
#ifndef ZPK_SDK_HEADER_TEST_H
#define ZPK_SDK_HEADER_TEST_H

#include "zpk/zpk.h"

/* 116 characters: more than a text field holds. */
#define ZPK_SDK_TEST_LONG_MESSAGE                                                                  \
    "Rejected: this function takes no arguments, and this message is longer than the 99 "        \
    "characters a text field holds...."

ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL Twice(const PriceDataRec *prices, const DataArgs *dataArgs,
                                             const NumericArgs *numericArgs,
                                             const StringArgs *stringArgs,
                                             const CustomArgs *customArgs, ResultRec *result);

#ifdef ZPK_SDK_TEST_PLUGIN_HPP
/* Defined with zpk/plugin.hpp in plugin_hpp.cpp: the close minus the open, failing with a message
 * when the close range is empty. */
ZPK_EXTERN_C ZPK_EXPORT int32 ZPK_CALL CloseMinusOpen(
    const PriceDataRec *prices, const DataArgs *dataArgs, const NumericArgs *numericArgs,
    const StringArgs *stringArgs, const CustomArgs *customArgs, ResultRec *result);
#endif

#endif
