// SPDX-License-Identifier: MIT
// The one table of the counting paths: for each path its name, the check of
// whether this processor can run it, and its kernels, the machine code of the
// inner loop. Everything that names or runs a path reads it here: the names
// of the enumeration, counting_path_available, the choice of the best path,
// and through counting_paths() the tests, roughpi-perf and whoever else
// lists the paths.
//
// Adding a path takes its kernel file (loop/quotient_counts_<name>.cpp, built
// for its instruction set), its enumerator in counting_path.hpp, its row
// here with its kernels' declarations, and its file in core/CMakeLists.txt.
#include "path_kernels.hpp"
#include "quotient_counts.hpp"
#include "refusal.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstddef>

namespace roughpi {

namespace detail {

#if defined(ROUGHPI_HAVE_X86_PATHS)
// The kernels of quotient_counts_avx2.cpp and quotient_counts_avx512.cpp.
std::int64_t sum_quotient_counts_avx2(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count);
wide_int sum_pair_node_avx2(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                            std::int64_t last);
std::int64_t sum_quotient_counts_avx512(std::int64_t n, std::int64_t u0, std::int32_t q0, std::int64_t count);
wide_int sum_pair_node_avx512(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                              std::int64_t last);
std::int64_t sum_quotient_counts_avx512_reciprocal(std::int64_t n, std::int64_t u0, std::int32_t q0,
                                                   std::int64_t count);
wide_int sum_pair_node_avx512_reciprocal(std::int64_t n, std::int64_t w, std::int64_t first, std::int32_t position,
                                         std::int64_t last);
#endif

namespace {

bool always() { return true; }

#if defined(ROUGHPI_HAVE_X86_PATHS)
bool has_avx2() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }
bool has_avx512()
{
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512dq");
}
#endif

struct path_row {
    path_kernels kernels;
    bool (*supported)();  // what the processor must report to run the path; null when this build lacks it
    // A variant of the row before it (the same instructions, other
    // arithmetic), which is taken as the best instead of that row only when
    // it times quicker on this processor.
    bool variant;
};

#if !defined(ROUGHPI_HAVE_X86_PATHS)
// A path of the enumeration that this build does not have.
constexpr path_row absent(counting_path path, const char* name)
{
    return {{path, name, 0, nullptr, nullptr}, nullptr, false};
}
#endif

// Every path of the enumeration, in its order: the best is the last that
// this processor supports, or the row before a variant that times slower.
constexpr path_row path_rows[] = {
    {{counting_path::portable, "portable", INT64_MAX, &sum_quotient_counts_portable, nullptr}, &always, false},
#if defined(ROUGHPI_HAVE_X86_PATHS)
    {{counting_path::avx2, "avx2", MAX_VECTOR_N, &sum_quotient_counts_avx2, &sum_pair_node_avx2}, &has_avx2, false},
    {{counting_path::avx512, "avx512", MAX_VECTOR_N, &sum_quotient_counts_avx512, &sum_pair_node_avx512},
     &has_avx512,
     false},
    {{counting_path::avx512_reciprocal, "avx512rcp", MAX_VECTOR_N, &sum_quotient_counts_avx512_reciprocal,
      &sum_pair_node_avx512_reciprocal},
     &has_avx512,
     true},
#else
    absent(counting_path::avx2, "avx2"),
    absent(counting_path::avx512, "avx512"),
    absent(counting_path::avx512_reciprocal, "avx512rcp"),
#endif
};
constexpr std::size_t path_count = std::size(path_rows);

constexpr std::array<counting_path, path_count> all_paths = [] {
    std::array<counting_path, path_count> paths{};
    for (std::size_t i = 0; i < path_count; ++i)
        paths[i] = path_rows[i].kernels.path;
    return paths;
}();

// Which rows this processor can run, and the best of them: worked out once,
// on first use.
struct path_table {
    bool available[path_count] = {};
    const path_kernels* best = &path_rows[0].kernels;
};

// The calibration of a variant against the row it varies: the quotient loop
// of a pair count at n = 10^14 over 2048 rough u from 17 (about two
// microseconds a run), each kernel timed five times in turn and taken at its
// quickest; some tens of microseconds once per process. Whichever wins, the
// counts are the same: every path returns exactly the same values.
constexpr std::int64_t CALIBRATION_N = 100'000'000'000'000;
constexpr std::int64_t CALIBRATION_COUNT = 2048;

double quickest_loop(const path_kernels& k, double so_far)
{
    const auto start = std::chrono::steady_clock::now();
    volatile std::int64_t sink = k.sum_quotient_counts(CALIBRATION_N, FIRST_ROUGH, 1, CALIBRATION_COUNT);
    (void)sink;
    return std::min(so_far, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

bool variant_is_quicker(const path_kernels& variant, const path_kernels& original)
{
    ensure_wheel_tables();
    double v = INFINITY, o = INFINITY;
    for (int i = 0; i < 5; ++i) {
        o = quickest_loop(original, o);
        v = quickest_loop(variant, v);
    }
    return v < o;
}

const path_table& table() noexcept
{
    static const path_table filled = [] {
        path_table t;
        for (std::size_t i = 0; i < path_count; ++i) {
            t.available[i] = path_rows[i].supported != nullptr && path_rows[i].supported();
            if (!t.available[i])
                continue;
            if (!path_rows[i].variant || t.best != &path_rows[i - 1].kernels ||
                variant_is_quicker(path_rows[i].kernels, *t.best))
                t.best = &path_rows[i].kernels;
        }
        return t;
    }();
    return filled;
}

// The row of a path, or path_count for a value outside the enumeration.
std::size_t row_of(counting_path path) noexcept
{
    for (std::size_t i = 0; i < path_count; ++i)
        if (path_rows[i].kernels.path == path)
            return i;
    return path_count;
}

}  // namespace

const path_kernels& kernels_of(counting_path path)
{
    const std::size_t row = row_of(path);
    if (row == path_count || !table().available[row])
        refuse("the counting path '%s' is not available on this processor or in this build", counting_path_name(path));
    return path_rows[row].kernels;
}

const path_kernels& best_kernels() noexcept { return *table().best; }

}  // namespace detail

std::span<const counting_path> counting_paths() noexcept { return detail::all_paths; }

const char* counting_path_name(counting_path path) noexcept
{
    const std::size_t row = detail::row_of(path);
    return row < detail::path_count ? detail::path_rows[row].kernels.name : "unknown";
}

bool counting_path_available(counting_path path) noexcept
{
    const std::size_t row = detail::row_of(path);
    return row < detail::path_count && detail::table().available[row];
}

counting_path best_counting_path() noexcept { return detail::best_kernels().path; }

}  // namespace roughpi
