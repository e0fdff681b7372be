# SPDX-License-Identifier: MIT
# The board: 32-bit big-endian PowerPC, built with a cross toolchain of any
# prefix and run, when qemu-ppc is there, under its user-mode emulation.
#   NVPARM_CROSS_COMPILE  the compilers' prefix (default: $CROSS_COMPILE,
#                         else powerpc-linux-gnu-)
#   NVPARM_SYSROOT        the target's root, if the compiler needs one named
#   NVPARM_EMULATOR       the emulator (default: qemu-ppc, when found)
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)

if(DEFINED ENV{CROSS_COMPILE})
  set(cross_default $ENV{CROSS_COMPILE})
else()
  set(cross_default powerpc-linux-gnu-)
endif()
set(NVPARM_CROSS_COMPILE ${cross_default} CACHE STRING "Prefix of the cross compilers")
set(NVPARM_SYSROOT "" CACHE PATH "The target's root, when the compiler needs one named")
set(CMAKE_C_COMPILER ${NVPARM_CROSS_COMPILE}gcc)
set(CMAKE_CXX_COMPILER ${NVPARM_CROSS_COMPILE}g++)

# The board's flash is small and the tool runs for a few milliseconds: its
# Release build is optimised for size, not with -O3 for speed, and across
# files at link time. Set before CMake's own default, which it then leaves
# alone.
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "Flags of a Release build")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "Flags of a Release build")
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON CACHE BOOL "Optimise across files at link time")

# Libraries, headers and packages come from the target's root only: the
# one named, or the one the compiler finds its C library in.
if(NVPARM_SYSROOT)
  set(CMAKE_SYSROOT ${NVPARM_SYSROOT})
  set(target_root ${NVPARM_SYSROOT})
else()
  execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=libc.so
    OUTPUT_VARIABLE libc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  get_filename_component(target_root "${libc}/../.." ABSOLUTE)
endif()
set(CMAKE_FIND_ROOT_PATH ${target_root})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(NVPARM_EMULATOR qemu-ppc)
if(NVPARM_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NVPARM_EMULATOR} -L ${target_root})
endif()
