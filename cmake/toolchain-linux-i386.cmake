# 32-bit x86 Linux with the host's multilib compilers (Debian: g++-multilib). The programs run
# under user-mode emulation (Debian: qemu-user), as this machine's kernel may not start 32-bit
# programs itself. SSE2 double arithmetic everywhere, never x87.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

find_program(ZPK_QEMU_I386 qemu-i386)
if(NOT ZPK_QEMU_I386)
  message(FATAL_ERROR "qemu-i386 not found: install Debian's qemu-user")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR "${ZPK_QEMU_I386}")
