# Shared part of the MinGW-w64 toolchain files. ZPK_MINGW_TRIPLE names the target and
# ZPK_MINGW_PACKAGE the Debian package of its compiler.
#
# The posix thread model of Debian's MinGW-w64 compilers is taken so that the tests and zpkhost may
# use std::thread; everything is linked statically, so no MinGW runtime DLL is ever needed.
foreach(tool C CXX)
  if(tool STREQUAL "C")
    set(base gcc)
  else()
    set(base g++)
  endif()
  find_program(ZPK_MINGW_${tool} NAMES ${ZPK_MINGW_TRIPLE}-${base}-posix ${ZPK_MINGW_TRIPLE}-${base})
  if(NOT ZPK_MINGW_${tool})
    message(FATAL_ERROR "${ZPK_MINGW_TRIPLE}-${base} not found: install Debian's "
                        "${ZPK_MINGW_PACKAGE}")
  endif()
  set(CMAKE_${tool}_COMPILER "${ZPK_MINGW_${tool}}")
endforeach()
find_program(CMAKE_RC_COMPILER NAMES ${ZPK_MINGW_TRIPLE}-windres)
find_program(CMAKE_OBJDUMP NAMES ${ZPK_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH "/usr/${ZPK_MINGW_TRIPLE}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs of the build (zpkhost, the tests) carry their runtimes too, like the plug-ins.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
