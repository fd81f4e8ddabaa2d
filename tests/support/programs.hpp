// The shell command that starts a built program, for tests that run roughpi
// and roughpi-bench through std::system.
//
// In a cross build the programs are for another machine, and the tests run
// them the way ctest runs the tests themselves: through the build's emulator
// (CMAKE_CROSSCOMPILING_EMULATOR, e.g. qemu-aarch64 -L <sysroot>), which the
// build passes in as ROUGHPI_PROGRAM_EMULATOR, each word quoted for the shell.
// Nothing is assumed about binfmt handlers that might start them directly.
#pragma once

#include <string>

#ifndef ROUGHPI_PROGRAM_EMULATOR
#  define ROUGHPI_PROGRAM_EMULATOR ""
#endif

namespace roughpi::testing {

// The program's path quoted for the shell, after the emulator if there is one.
inline std::string program_command(const char* path)
{
    return std::string(ROUGHPI_PROGRAM_EMULATOR) + "'" + path + "'";
}

}  // namespace roughpi::testing
