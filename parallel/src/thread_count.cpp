// SPDX-License-Identifier: MIT
// How many worker threads a count takes: as asked, or by default the logical
// CPUs this process may run on.
//
// std::thread::hardware_concurrency() counts the CPUs of the machine, but a
// process may be confined to fewer of them (taskset, a batch system's
// cpuset, a container's CPU set, an MPI launcher's binding), and threads
// beyond those would only take turns.
#include "refusals.hpp"
#include "thread_count.hpp"

#include <roughpi/error.hpp>
#include <roughpi/parallel.hpp>

#include <algorithm>
#include <string>
#include <thread>

#if defined(_WIN32)
#  include "windows_api.hpp"
#elif defined(__linux__)
#  include <sched.h>
#endif

namespace roughpi {

namespace {

// The CPUs in the process's (on Linux, the calling thread's, which new
// threads inherit) affinity mask, or 0 when the system does not say.
int allowed_cpus() noexcept
{
#if defined(_WIN32)
    DWORD_PTR process_mask = 0;
    DWORD_PTR system_mask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) == 0)
        return 0;
    int count = 0;
    for (; process_mask != 0; process_mask &= process_mask - 1)
        ++count;
    return count;
#elif defined(__linux__)
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0)
        return 0;  // more than CPU_SETSIZE CPUs: no mask of this size holds them
    return CPU_COUNT(&allowed);
#else
    return 0;
#endif
}

}  // namespace

int usable_cpus() noexcept
{
    const int machine = static_cast<int>(std::min(std::thread::hardware_concurrency(), 1u << 20));
    const int allowed = allowed_cpus();
    if (allowed > 0 && (machine == 0 || allowed < machine))
        return allowed;
    return machine > 0 ? machine : 1;
}

namespace detail {

int resolve_threads(int requested)
{
    if (requested < 0 || requested > MAX_THREADS)
        detail::refuse(std::to_string(requested) + " threads: the count must be from 1 to " +
                       std::to_string(MAX_THREADS) + ", or 0 for one per logical CPU");
    if (requested > 0)
        return requested;
    const int cpus = usable_cpus();
    return cpus > MAX_THREADS ? MAX_THREADS : cpus;
}

}  // namespace detail

}  // namespace roughpi
