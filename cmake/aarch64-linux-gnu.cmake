# SPDX-License-Identifier: MIT
# Cross-compiles for 64-bit ARM Linux (aarch64) with Debian's cross toolchain,
# and runs what was built under user-mode QEMU, e.g.
#
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#
# (Debian: apt-get install g++-aarch64-linux-gnu qemu-user). The emulator
# becomes CMAKE_CROSSCOMPILING_EMULATOR, so the test discovery at build time
# and ctest run the test programs through it, and the tests run the programs
# they start through it too; no binfmt registration is needed. Only the
# portable counting path is built: the vector paths are x86-64 code.
#
# Libraries and packages are taken from the aarch64 sysroot only, so the
# host's x86-64 GoogleTest, Google Benchmark and the like stay out. For the
# tests, build GoogleTest from Debian's sources (/usr/src/googletest) with this
# toolchain, install it anywhere and point GTest_DIR at its lib/cmake/GTest, as
# .ci/aarch64-check.sh does; or configure with -DROUGHPI_BUILD_TESTS=OFF.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ROUGHPI_AARCH64_TRIPLET aarch64-linux-gnu)

find_program(ROUGHPI_AARCH64_CXX NAMES ${ROUGHPI_AARCH64_TRIPLET}-g++ REQUIRED)
find_program(ROUGHPI_AARCH64_CC NAMES ${ROUGHPI_AARCH64_TRIPLET}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${ROUGHPI_AARCH64_CXX})
set(CMAKE_C_COMPILER ${ROUGHPI_AARCH64_CC})

# The sysroot of Debian's cross packages (libc, libstdc++ and the dynamic
# loader for aarch64); QEMU looks up the loader and the shared libraries of
# the programs it runs there as well.
set(ROUGHPI_AARCH64_SYSROOT /usr/${ROUGHPI_AARCH64_TRIPLET})
find_program(ROUGHPI_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
if(ROUGHPI_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ROUGHPI_QEMU_AARCH64} -L ${ROUGHPI_AARCH64_SYSROOT})
endif()

set(CMAKE_FIND_ROOT_PATH ${ROUGHPI_AARCH64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must not offer the host's x86-64 libraries either: only what is
# installed for aarch64 (Debian's multiarch directory, or the sysroot).
set(ENV{PKG_CONFIG_LIBDIR}
    "/usr/lib/${ROUGHPI_AARCH64_TRIPLET}/pkgconfig:${ROUGHPI_AARCH64_SYSROOT}/lib/pkgconfig:/usr/share/pkgconfig")
