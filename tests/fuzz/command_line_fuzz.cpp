// SPDX-License-Identifier: MIT
// libFuzzer target: the command line of roughpi and roughpi-mpi. The input
// is the arguments, separated by NUL bytes.
//
// Whatever the arguments, the parse ends in a command line that is either
// refused with reasons or one the programs can carry out as it stands: some
// numbers, a thread count in range, files that are not options.
#include <roughpi/tools/command_line.hpp>

#include <roughpi/parallel.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace roughpi::tools;
    std::vector<std::string> args = {"roughpi"};
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    args.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());

    const command_line line = parse_command_line(static_cast<int>(argv.size()), argv.data());
    if (line.help || line.version || !line.errors.empty()) {
        for (const std::string& error : line.errors)
            for (const char c : error)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                    std::abort();  // messages never carry control characters
        return 0;
    }
    if (line.threads < 0 || line.threads > roughpi::MAX_THREADS)
        std::abort();
    if (line.self_test) {
        // --test[=SEED] takes no numbers, counts nothing and writes no file.
        if (!line.numbers.empty() || line.kind != count_kind::pi || !line.checkpoint.empty() || !line.output.empty() ||
            line.double_check)
            std::abort();
        return 0;
    }
    if (line.numbers.empty())
        std::abort();
    if (line.kind == count_kind::range) {
        // --range takes its numbers in pairs A B with A <= B.
        if (line.numbers.size() % 2 != 0)
            std::abort();
        for (std::size_t i = 0; i < line.numbers.size(); i += 2)
            if (line.numbers[i] > line.numbers[i + 1])
                std::abort();
    }
    if (line.checkpoint.starts_with('-') || line.output.starts_with('-'))
        std::abort();
    if (!line.checkpoint.empty() && line.numbers.size() != 1)
        std::abort();
    for (const std::int64_t x : line.numbers)
        if (x < 0)
            std::abort();
    return 0;
}
