// SPDX-License-Identifier: MIT
// roughpi-gpu-bench: pi(X) on the CUDA device, and its wall time, for each X.
//
//   roughpi-gpu-bench [--device N] [--emulate] X [X ...]
//
// X is written as roughpi reads it (1e15, 2^63-1, ...). The first line names
// the device and the memory a count takes on it; then one line per X: X,
// pi(X) and the seconds the count took, the opening of the device included
// (it is opened for each count, as roughpi --gpu opens it). With --emulate
// the counts run through the host emulation of the device, on one core:
// slow, for checking the device's logic where there is no device. Exit
// status 1 when there is no device (with what is missing on standard
// error), 2 for bad arguments.
#include <roughpi/tools/parse_count.hpp>
#include <roughpi/tools/printable.hpp>

#include <roughpi/error.hpp>
#include <roughpi/gpu.hpp>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

int usage(const std::string& problem)
{
    std::fprintf(stderr, "roughpi-gpu-bench: %s\nUsage: roughpi-gpu-bench [--device N] [--emulate] X [X ...]\n",
                 problem.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    roughpi::gpu_options options;
    std::vector<std::int64_t> numbers;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--emulate") {
            options.emulate = true;
        } else if (arg == "--device" && i + 1 < argc) {
            const roughpi::tools::parsed_count device = roughpi::tools::parse_count(argv[++i]);
            if (device.status != roughpi::tools::parse_status::ok || device.value > 1024)
                return usage("--device '" + roughpi::tools::printable(argv[i]) + "': a device number, from 0");
            options.device = static_cast<int>(device.value);
        } else {
            const roughpi::tools::parsed_count x = roughpi::tools::parse_count(arg);
            if (x.status != roughpi::tools::parse_status::ok)
                return usage(roughpi::tools::parse_error_message(roughpi::tools::printable(arg), x.status));
            numbers.push_back(x.value);
        }
    }
    if (numbers.empty())
        return usage("no number given");
    try {
        const roughpi::gpu_device device = roughpi::count_gpu_device(options);
        const double mebibytes = static_cast<double>(device.memory_used) / (1 << 20);
        if (options.emulate)
            std::printf("# the host emulation of the device, on one core; a count takes %.1f MiB\n", mebibytes);
        else
            std::printf("# device %d: %s (compute capability %d.%d, %d multiprocessors); a count takes %.1f MiB\n",
                        device.number, device.name.c_str(), device.major, device.minor, device.multiprocessors,
                        mebibytes);
        std::printf("%-22s %-22s %s\n", "# x", "pi(x)", "seconds");
        for (const std::int64_t x : numbers) {
            const auto start = std::chrono::steady_clock::now();
            const std::int64_t pi = roughpi::prime_count_gpu(x, options);
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            std::printf("%-22lld %-22lld %.3f\n", static_cast<long long>(x), static_cast<long long>(pi),
                        elapsed.count());
            std::fflush(stdout);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
