#include "path_kernels.hpp"
#include "quotient_counts.hpp"
#include "refusal.hpp"

#include <cstddef>

namespace roughpi {

namespace detail {

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
    bool (*supported)();  // what the processor must report to run the path
};

// Every path this build has, in the order of the enumeration, fastest last.
constexpr path_row path_rows[] = {
    {{counting_path::portable, "portable", INT64_MAX, &sum_quotient_counts_portable, nullptr}, &always},
#if defined(ROUGHPI_HAVE_X86_PATHS)
    {{counting_path::avx2, "avx2", MAX_VECTOR_N, &sum_quotient_counts_avx2, &sum_pair_node_avx2}, &has_avx2},
    {{counting_path::avx512, "avx512", MAX_VECTOR_N, &sum_quotient_counts_avx512, &sum_pair_node_avx512},
     &has_avx512},
#endif
};
constexpr std::size_t path_count = sizeof(path_rows) / sizeof(path_rows[0]);

// Which rows this processor can run, and the best of them: worked out once,
// on first use.
struct path_table {
    bool available[path_count] = {};
    const path_kernels* best = &path_rows[0].kernels;
};

const path_table& table() noexcept
{
    static const path_table filled = [] {
        path_table t;
        for (std::size_t i = 0; i < path_count; ++i) {
            t.available[i] = path_rows[i].supported();
            if (t.available[i])
                t.best = &path_rows[i].kernels;
        }
        return t;
    }();
    return filled;
}

// The row of a path, or path_count when this build lacks it.
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
        refuse("the counting path '%s' is not available on this processor or in this build",
               counting_path_name(path));
    return path_rows[row].kernels;
}

const path_kernels& best_kernels() noexcept { return *table().best; }

const path_kernels& portable_kernels() noexcept { return path_rows[0].kernels; }

}  // namespace detail

const char* counting_path_name(counting_path path) noexcept
{
    switch (path) {
    case counting_path::portable:
        return "portable";
    case counting_path::avx2:
        return "avx2";
    case counting_path::avx512:
        return "avx512";
    }
    return "unknown";
}

bool counting_path_available(counting_path path) noexcept
{
    const std::size_t row = detail::row_of(path);
    return row < detail::path_count && detail::table().available[row];
}

counting_path best_counting_path() noexcept { return detail::best_kernels().path; }

}  // namespace roughpi
