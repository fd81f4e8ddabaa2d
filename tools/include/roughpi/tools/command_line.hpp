// The command line of `roughpi` (and of `roughpi-mpi`, which takes the same):
// what it asks for, or everything that is wrong with it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace roughpi::tools {

// What a program prints for each number on its command line.
enum class count_kind {
    pi,                 // pi(X), the default
    nth,                // --nth: p_N, the N-th prime
    li,                 // --li: li(X)
    li_inverse,         // --li-inverse: the x with li(x) = X
    riemann_r,          // --riemann-r: R(X)
    riemann_r_inverse,  // --riemann-r-inverse: the x with R(x) = X
    range,              // --range: the primes in [A, B], for the numbers taken in pairs A B
};

// The option that asks for a kind ("--nth"), or "" for pi.
const char* kind_option(count_kind kind);

struct command_line {
    count_kind kind = count_kind::pi;
    bool help = false;     // -h, --help: print the help and exit
    bool version = false;  // --version: print the version and exit
    bool self_test = false;  // --test, --test=SEED: check every counting path and exit
    std::uint64_t test_seed = 0;  // the SEED of --test=SEED (1 and up); 0: draw one
    bool time = false;     // --time: follow each count by its wall time
    bool double_check = false;  // --double-check: count twice, independently, and print only what both give
    int threads = 0;       // -t N, --threads N, --threads=N; 0 means every CPU the process may use
    std::string checkpoint;  // --checkpoint FILE, --checkpoint=FILE; empty when not given
    std::string checkpoint_key;  // --checkpoint-key FILE: the checkpoint's key; empty: the user's
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
// defaults to `threads_default` (the words after "default: "); with
// `other_kinds`, it tells of --nth and the estimates.
std::string help_text(std::string_view name, std::string_view threads_default = "one per CPU it may use",
                      bool other_kinds = true);

// "Usage: <name> [options] X [X ...]\n" and the other forms.
std::string usage_line(std::string_view name, bool other_kinds = true);

}  // namespace roughpi::tools
