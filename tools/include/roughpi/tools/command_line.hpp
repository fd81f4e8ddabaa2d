// The command line of `roughpi` (and of `roughpi-mpi`, which takes the same):
// what it asks for, or everything that is wrong with it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace roughpi::tools {

struct command_line {
    bool help = false;     // -h, --help: print the help and exit
    bool version = false;  // --version: print the version and exit
    bool time = false;     // --time: follow each count by its wall time
    int threads = 0;       // -t N, --threads N, --threads=N; 0 means every CPU the process may use
    std::string checkpoint;  // --checkpoint FILE, --checkpoint=FILE; empty when not given
    std::string output;      // --output FILE, --output=FILE: the counts go there, whole, at the end
    std::vector<std::int64_t> numbers;  // the x to count, in order
    // One message per bad argument, without the program's name, e.g.
    // "'abc' is not a number"; empty when the command line is good.
    std::vector<std::string> errors;
};

// Reads the arguments (argv[1] ... argv[argc-1]). Options may come anywhere
// among the numbers, and "--" ends them. --help and --version win over
// everything else: with either, no error is reported.
command_line parse_command_line(int argc, const char* const* argv);

// The help that --help prints, for the program `name`, whose thread count
// defaults to `threads_default` (the words after "default: ").
std::string help_text(std::string_view name, std::string_view threads_default = "one per CPU it may use");

// "Usage: <name> [options] X [X ...]\n".
std::string usage_line(std::string_view name);

}  // namespace roughpi::tools
