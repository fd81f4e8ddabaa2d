// SPDX-License-Identifier: MIT
#include <roughpi/tools/signals.hpp>

#include <roughpi/tools/progress_line.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>

namespace roughpi::tools {

namespace {

// The signal received, 0 before any: set by the handler, read by the watcher
// thread. A lock-free atomic may be used in a signal handler, and unlike a
// volatile sig_atomic_t it is also safe to read from another thread.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void end_on_signal(int signal_number)
{
    // Only async-signal-safe calls: write, and _Exit.
    erase_progress_line();
    std::_Exit(128 + signal_number);
}

extern "C" void stop_on_signal(int signal_number)
{
    if (received.exchange(signal_number) != 0)
        end_on_signal(signal_number);
    // Some systems reset the handler to the default as it is called.
    std::signal(signal_number, stop_on_signal);
}

}  // namespace

void end_on_interrupt()
{
    std::signal(SIGINT, end_on_signal);
    std::signal(SIGTERM, end_on_signal);
}

stop_on_interrupt::stop_on_interrupt()
{
    received.store(0);
    watcher_ = std::jthread([this](std::stop_token done) {
        while (!done.stop_requested()) {
            if (received.load() != 0) {
                source_.request_stop();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::signal(SIGINT, stop_on_signal);
    std::signal(SIGTERM, stop_on_signal);
}

stop_on_interrupt::~stop_on_interrupt()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

int stop_on_interrupt::signal() const { return received.load(); }

}  // namespace roughpi::tools
