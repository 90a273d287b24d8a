# Cross build for 32-bit x86 Windows with MinGW-w64 (Debian: g++-mingw-w64-i686).
# The plug-ins and every other program of this build use SSE2 double arithmetic, never x87.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZPK_MINGW_TRIPLE i686-w64-mingw32)
set(ZPK_MINGW_PACKAGE g++-mingw-w64-i686)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
