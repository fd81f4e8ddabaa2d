// SPDX-License-Identifier: MIT
// Running the built programs as a user runs them, through the shell: the one
// runner of every test that starts roughpi, roughpi-mpi or roughpi-bench.
//
// In a cross build the programs are for another machine, and the tests run
// them the way ctest runs the tests themselves: through the build's emulator
// (CMAKE_CROSSCOMPILING_EMULATOR, e.g. qemu-aarch64 -L <sysroot>), which the
// build passes in as ROUGHPI_PROGRAM_EMULATOR, each word quoted for the shell.
// Nothing is assumed about binfmt handlers that might start them directly.
//
// The programs see a configuration folder of the test program's own
// (XDG_CONFIG_HOME, and APPDATA on Windows), made empty for it and removed
// after it: the checkpoint key they make on first use goes there, never into
// the user's own folder.
#pragma once

#include <string>
#include <vector>

namespace roughpi::testing {

// What a run left: its exit status (-1 when it did not exit), standard output
// and standard error.
struct outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// The configuration folder the programs see.
std::string config_folder();

// The text in single quotes for the shell (which must hold none itself).
std::string quoted(const std::string& text);

// The program's path quoted for the shell, after the emulator if there is one.
std::string program_command(const char* path);

// Runs a shell command with standard input from /dev/null, and reads back its
// standard error and its standard output, or sends that to `stdout_path`
// when one is given (out then stays empty).
outcome run_command(const std::string& command, const std::string& stdout_path = "");

// The program at `path` with the arguments, each quoted, as run_command runs it.
outcome run_program(const char* path, const std::vector<std::string>& args, const std::string& stdout_path = "");

// True when `script` (util-linux) can run a program under a pseudo-terminal.
bool have_script();

// True when line is "<count>  (<seconds, three decimals> s)", as --time writes it.
bool is_timed_count(const std::string& line, const std::string& count);

}  // namespace roughpi::testing
