#include <roughpi/counting_path.hpp>

namespace roughpi {

const char* counting_path_name(counting_path path)
{
    switch (path) {
    case counting_path::avx2:
        return "avx2";
    case counting_path::avx512:
        return "avx512";
    case counting_path::portable:
        break;
    }
    return "portable";
}

bool counting_path_available(counting_path path)
{
    switch (path) {
    case counting_path::portable:
        return true;
#if defined(ROUGHPI_HAVE_X86_PATHS)
    case counting_path::avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case counting_path::avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
               __builtin_cpu_supports("avx512dq");
#else
    case counting_path::avx2:
    case counting_path::avx512:
        return false;
#endif
    }
    return false;
}

counting_path best_counting_path()
{
    if (counting_path_available(counting_path::avx512))
        return counting_path::avx512;
    if (counting_path_available(counting_path::avx2))
        return counting_path::avx2;
    return counting_path::portable;
}

}  // namespace roughpi
