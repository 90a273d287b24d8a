# Cross build for 64-bit x86 Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64). Its programs
# run here under Wine (see scripts/wine-run.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZPK_MINGW_TRIPLE x86_64-w64-mingw32)
set(ZPK_MINGW_PACKAGE g++-mingw-w64-x86-64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")

# Test programs and zpkhost run through Wine, with a prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh")
