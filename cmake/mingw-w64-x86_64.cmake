# SPDX-License-Identifier: MIT
# Cross-compiles for 64-bit Windows with the MinGW-w64 toolchain, e.g.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The program is linked statically, libgcc and libstdc++ included, so the .exe
# needs no DLLs beyond the system ones and runs as is on Windows or under Wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ROUGHPI_MINGW_TRIPLET x86_64-w64-mingw32)

# Prefer the posix thread model (full <thread>/<mutex> support); fall back to
# win32, then to the unsuffixed driver of whatever model is the default.
find_program(ROUGHPI_MINGW_CXX
  NAMES ${ROUGHPI_MINGW_TRIPLET}-g++-posix ${ROUGHPI_MINGW_TRIPLET}-g++-win32 ${ROUGHPI_MINGW_TRIPLET}-g++
  REQUIRED)
find_program(ROUGHPI_MINGW_CC
  NAMES ${ROUGHPI_MINGW_TRIPLET}-gcc-posix ${ROUGHPI_MINGW_TRIPLET}-gcc-win32 ${ROUGHPI_MINGW_TRIPLET}-gcc
  REQUIRED)
find_program(ROUGHPI_MINGW_RC NAMES ${ROUGHPI_MINGW_TRIPLET}-windres)

set(CMAKE_CXX_COMPILER ${ROUGHPI_MINGW_CXX})
set(CMAKE_C_COMPILER ${ROUGHPI_MINGW_CC})
if(ROUGHPI_MINGW_RC)
  set(CMAKE_RC_COMPILER ${ROUGHPI_MINGW_RC})
endif()

# Headers and libraries come from the MinGW sysroot only; programs run during
# the build (none at present) would come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ROUGHPI_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
