// SPDX-License-Identifier: MIT
#include <roughpi/tools/signals.hpp>

#include <roughpi/tools/progress_line.hpp>

#include <roughpi/error.hpp>

#include "windows_api.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <string>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <unistd.h>
#endif

namespace roughpi::tools {

// How the handler wakes the watcher thread, which sleeps until it is woken
// rather than looking for a signal now and then: a program that has done
// its counts ends at once. On POSIX systems a pipe, whose write is one of
// the few calls a signal handler may make; on Windows an event (the console
// runs the handler on a thread of its own, where any call may be made).
#if defined(_WIN32)
class wake_up {
public:
    wake_up()
        : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    {
    }
    wake_up(const wake_up&) = delete;
    wake_up& operator=(const wake_up&) = delete;
    ~wake_up()
    {
        if (event_ != nullptr)
            CloseHandle(event_);
    }
    bool ready() const { return event_ != nullptr; }
    void signal() const { SetEvent(event_); }
    void wait() const { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};
#else
class wake_up {
public:
    wake_up()
    {
        if (pipe(fds_) != 0) {
            fds_[0] = fds_[1] = -1;
            return;
        }
        for (const int fd : fds_)
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        // The handler must never block, even on a pipe that is full.
        fcntl(fds_[1], F_SETFL, fcntl(fds_[1], F_GETFL) | O_NONBLOCK);
    }
    wake_up(const wake_up&) = delete;
    wake_up& operator=(const wake_up&) = delete;
    ~wake_up()
    {
        for (const int fd : fds_)
            if (fd >= 0)
                close(fd);
    }
    bool ready() const { return fds_[0] >= 0; }
    // Async-signal-safe: write, and errno kept as the interrupted code had it.
    void signal() const
    {
        const int saved = errno;
        const char byte = 1;
        [[maybe_unused]] const auto written = write(fds_[1], &byte, 1);
        errno = saved;
    }
    // Until a byte comes (a signal interrupting the read is no reason to
    // return: its handler writes one).
    void wait() const
    {
        char byte = 0;
        while (read(fds_[0], &byte, 1) < 0 && errno == EINTR) { }
    }

private:
    int fds_[2] = {-1, -1};
};
#endif

namespace {

// The signal received, 0 before any: set by the handler, read by the watcher
// thread. A lock-free atomic may be used in a signal handler, and unlike a
// volatile sig_atomic_t it is also safe to read from another thread.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The wake-up of the stop_on_interrupt in force, for the handler; null
// when there is none.
std::atomic<const wake_up*> current_wake_up{nullptr};
static_assert(std::atomic<const wake_up*>::is_always_lock_free);

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
    if (const wake_up* wake = current_wake_up.load())
        wake->signal();
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
    : wake_(std::make_unique<wake_up>())
{
    received.store(0);
    if (!wake_->ready())
        throw std::runtime_error(std::string(MESSAGE_PREFIX) +
                                 "cannot watch for signals: " + "no pipe or event to wake the watcher with");
    watcher_ = std::jthread([this](std::stop_token done) {
        // Woken by a signal's handler, or by the destructor once the
        // program is done.
        while (!done.stop_requested()) {
            wake_->wait();
            if (received.load() != 0) {
                source_.request_stop();
                return;
            }
        }
    });
    current_wake_up.store(wake_.get());
    std::signal(SIGINT, stop_on_signal);
    std::signal(SIGTERM, stop_on_signal);
}

stop_on_interrupt::~stop_on_interrupt()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    current_wake_up.store(nullptr);
    watcher_.request_stop();
    wake_->signal();
    watcher_.join();
}

int stop_on_interrupt::signal() const { return received.load(); }

}  // namespace roughpi::tools
