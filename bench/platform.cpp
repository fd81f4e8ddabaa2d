// SPDX-License-Identifier: MIT
#include "platform.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#  include <io.h>
#  include "windows_api.hpp"
#  include <psapi.h>
#elif defined(__APPLE__)
#  include <mach/mach.h>
#  include <unistd.h>
#else
#  include <fcntl.h>
#  include <unistd.h>
#endif

namespace roughpi::bench {

std::int64_t wall_clock_ms()
{
    using clock = std::chrono::steady_clock;
    static const clock::time_point start = clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - start).count();
}

#if defined(_WIN32)

void take_memory_snapshot(memory_snapshot& snapshot)
{
    PROCESS_MEMORY_COUNTERS counters{};
    snapshot.working_set_size = 0;
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        snapshot.working_set_size = counters.WorkingSetSize;
}

bool stdout_is_terminal() { return _isatty(_fileno(stdout)) != 0; }

void clear_console()
{
    std::fflush(stdout);
    [[maybe_unused]] const int status = std::system("cls");
}

#else

#  if defined(__APPLE__)

void take_memory_snapshot(memory_snapshot& snapshot)
{
    mach_task_basic_info_data_t info{};
    mach_msg_type_number_t count = MACH_TASK_BASIC_INFO_COUNT;
    snapshot.working_set_size = 0;
    if (task_info(mach_task_self(), MACH_TASK_BASIC_INFO, reinterpret_cast<task_info_t>(&info), &count) == KERN_SUCCESS)
        snapshot.working_set_size = info.resident_size;
}

#  else

// /proc/self/statm holds "size resident shared text lib data dt" in pages,
// where "shared" is the resident part that is backed by files: mapped code
// and libraries. The figure taken is resident - shared, the process's own
// memory (data, heap, stack). Code pages are left out on purpose: the first
// call into a function faults in its code together with its neighbours (the
// kernel maps file pages in 64 KB clusters), which would add 64 KB of
// executable text to whatever the call itself brought in.
//
// Read with plain system calls into a stack buffer: stdio would allocate a
// buffer on the heap and so disturb the figure being read.
void take_memory_snapshot(memory_snapshot& snapshot)
{
    snapshot.working_set_size = 0;
    const int fd = ::open("/proc/self/statm", O_RDONLY);
    if (fd < 0)
        return;
    char text[128];
    const ssize_t length = ::read(fd, text, sizeof(text) - 1);
    ::close(fd);
    if (length <= 0)
        return;
    text[length] = '\0';

    std::uint64_t fields[3] = {};  // size, resident, shared
    const char* c = text;
    for (std::uint64_t& field : fields) {
        while (*c == ' ')
            ++c;
        for (; *c >= '0' && *c <= '9'; ++c)
            field = field * 10 + static_cast<std::uint64_t>(*c - '0');
    }
    const std::uint64_t own_pages = fields[1] >= fields[2] ? fields[1] - fields[2] : 0;
    const long page_size = ::sysconf(_SC_PAGESIZE);
    snapshot.working_set_size = own_pages * static_cast<std::uint64_t>(page_size > 0 ? page_size : 4096);
}

#  endif

bool stdout_is_terminal() { return ::isatty(::fileno(stdout)) != 0; }

void clear_console()
{
    // What `clear` sends: erase the scroll-back, home the cursor, erase the screen.
    std::fputs("\033[3J\033[H\033[2J", stdout);
    std::fflush(stdout);
}

#endif

}  // namespace roughpi::bench
