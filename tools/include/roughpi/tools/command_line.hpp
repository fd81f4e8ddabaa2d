// SPDX-License-Identifier: MIT
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
    offset_li,          // --Li: Li(X) = li(X) - li(2)
    offset_li_inverse,  // --Li-inverse: the x with Li(x) = X
    riemann_r,          // --riemann-r: R(X)
    riemann_r_inverse,  // --riemann-r-inverse: the x with R(x) = X
    range,              // --range: the primes in [A, B], for the numbers taken in pairs A B
};

// The option that asks for a kind ("--nth"), or "" for pi: the one that
// messages name, whichever of its spellings was given (-n, --nth-prime, -R,
// --RiemannR, ...).
const char* kind_option(count_kind kind);

// Whether a count shows its progress on standard error: -s, --status and
// --no-status, the last of them given winning.
enum class status_choice {
    on_terminal,  // neither: a line drawn over itself when it is a terminal, nothing otherwise
    always,       // --status: also when it is not a terminal, as a line now and then
    never,        // --no-status: not even on a terminal
};

// The largest N of --gpu=N.
inline constexpr int MAX_GPU_DEVICE = 1023;

struct command_line {
    count_kind kind = count_kind::pi;
    bool help = false;            // -h, --help: print the help and exit
    bool version = false;         // -v, --version: print the version and exit
    bool self_test = false;       // --test, --test=SEED: check every counting path and exit
    std::uint64_t test_seed = 0;  // the SEED of --test=SEED (1 and up); 0: draw one
    bool time = false;            // --time: follow each count by its wall time
    bool double_check = false;    // --double-check: count twice, independently, and print only what both give
    int threads = 0;      // -t N, -tN, --threads N, --threads=N; 0 (the default) means every CPU the process may use
    bool gpu = false;     // --gpu, --gpu=N, --gpu=emulate: count pi(X) on a CUDA device
    int gpu_device = -1;  // the N of --gpu=N (0 to MAX_GPU_DEVICE); -1: not given
    bool gpu_emulate = false;                           // --gpu=emulate: through the host emulation of the device
    status_choice status = status_choice::on_terminal;  // -s, --status, --no-status
    std::string checkpoint;                             // --checkpoint FILE, --checkpoint=FILE; empty when not given
    std::string checkpoint_key;         // --checkpoint-key FILE: the checkpoint's key; empty: the user's
    std::string output;                 // --output FILE, --output=FILE: the counts go there, whole, at the end
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

// What --version prints for the program `name`: "<name> <version>\n" (a
// first line that scripts read), then the licence.
std::string version_text(std::string_view name);

// "Usage: <name> [options] X [X ...]\n" and the other forms.
std::string usage_line(std::string_view name, bool other_kinds = true);

}  // namespace roughpi::tools
