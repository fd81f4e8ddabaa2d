// SPDX-License-Identifier: MIT
// roughpi-bench: times pi(10^k) for k = 1 ... 14 and shows how little memory
// the counting takes.
//
// The order of the steps is part of the measurement: the first-use costs of
// the output path, the clock and the logarithm fall before the first memory
// snapshot; the table build is the only work between the first two snapshots;
// the timed loop (and its own output) the only work between the last two.

#include "console.hpp"
#include "platform.hpp"

#include <roughpi/prime_count.hpp>

#include <cinttypes>
#include <cmath>
#include <cstdint>

namespace {

// "%17I64d(10^%4.1f): ": a signed 64-bit input right-aligned in 17 columns,
// then its decimal exponent. Runtimes that lack the I64 length get the
// standard spelling, which prints the same text.
#if defined(_WIN32)
constexpr const char* INPUT_COLUMN_FORMAT = "%17I64d(10^%4.1f): ";
#else
constexpr const char* INPUT_COLUMN_FORMAT = "%17" PRId64 "(10^%4.1f): ";
#endif

constexpr const char* HEADER_FORMAT =
    "                                                                    %s";  // 68 spaces

}  // namespace

int main()
{
    using namespace roughpi::bench;

    // With no terminal there is no screen to clear: the warm-up output would be
    // left in the report, so it is formatted and dropped instead.
    const bool on_terminal = stdout_is_terminal();

    // Touch the clock, the output path and the logarithm before measuring anything.
    wall_clock_ms();
    wall_clock_ms();
    console_printf("%s", "");
    const double L10 = std::log(10.0);
    console_mute(!on_terminal);
    console_printf(INPUT_COLUMN_FORMAT, std::int64_t{0}, std::log(3.5) / L10);

    memory_snapshot before;
    memory_snapshot after;
    take_memory_snapshot(before);
    roughpi::build_wheel_tables();
    take_memory_snapshot(after);
    const std::uint64_t tables_before = before.working_set_size;
    const std::uint64_t tables_after = after.working_set_size;

    for (std::int64_t v = 10; v <= 1000; v *= 10)
        console_printf(" %20lld", static_cast<long long>(roughpi::prime_count(v)));

    console_mute(false);
    if (on_terminal)
        clear_console();

    console_printf(HEADER_FORMAT, "Time\n");
    console_printf(HEADER_FORMAT, "Increase\n");
    console_printf(HEADER_FORMAT, "");
    console_printf("for x%d\n", 10);
    console_printf("         __ Input Number __   __ Output Number __ _ MSec _ _ Sec _  Input\n\n");

    auto c = static_cast<std::int32_t>(wall_clock_ms());
    take_memory_snapshot(before);

    std::int32_t prev = 0;
    for (std::int64_t v = 10; v <= 100'000'000'000'000; v *= 10) {
        console_printf(INPUT_COLUMN_FORMAT, v, std::log(static_cast<double>(v)) / L10);
        const std::int64_t e = roughpi::prime_count(v);
        const auto t = static_cast<std::int32_t>(wall_clock_ms());
        const std::int32_t d = t - c;
        const double ratio = prev != 0 ? static_cast<double>(d) / prev : 0.0;
        console_printf(" %20lld %8d : %4d: x%f\n", static_cast<long long>(e), d, d / 1000, ratio);
        c = t;
        prev = d;
    }

    take_memory_snapshot(after);

    print_memory_growth(
        "\nMemory for fixed size, input independent precomputed prime factorization wheels: %zu bytes\n",
        "\nMemory for fixed size, input independent precomputed prime factorization wheels: %lld bytes\n",
        tables_before, tables_after);
    print_memory_growth("\nTotal memory footprint of algorithm during execution: %zu bytes\n",
                        "\nTotal memory footprint of algorithm during execution: %lld bytes\n", before.working_set_size,
                        after.working_set_size);
    console_printf("(Stack memory would be included in this number on 4k byte page boundaries, so 0 means 4k "
                   "bytes was never passed)\n");
    return 0;
}
