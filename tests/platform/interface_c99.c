/* The interface header as a C99 host or plug-in sees it: it must compile, and on 32-bit x86 its
 * layout assertions must be active there as well. */
#include "zpk/zpk.h"

#if (defined(__i386__) || defined(_M_IX86)) && !ZPK_IS_X86_32
#error "the layout of the 32-bit x86 target is not checked"
#endif

int32 zpk_interface_c99_record_sizes(void)
{
    return (int32)(sizeof(PriceDataRec) + sizeof(ResultRec) + sizeof(LibraryInfoRec));
}
