// SPDX-License-Identifier: MIT
// What SIGINT (Ctrl-C) and SIGTERM do to a program that counts.
#pragma once

#include <memory>
#include <stop_token>
#include <thread>

namespace roughpi::tools {

class wake_up;

// Ends the program on SIGINT and SIGTERM (from now on) at once, with the
// status 128 + the signal's number, after erasing the progress line if one
// is shown. (roughpi-mpi: its launcher passes the signal to every rank.)
void end_on_interrupt();

// Stops the counts on SIGINT and SIGTERM (from its construction on): the
// first such signal requests a stop of token(), so that the count in hand
// drops the pieces it is counting, keeps those it finished (a checkpoint
// file is synced) and throws
// roughpi::cancelled; the program then ends with signal() + 128. A second
// signal ends the program at once, as end_on_interrupt does. A signal
// handler may not request the stop itself: it wakes a thread of this
// object's, which does. The thread sleeps until then, or until the object
// is destroyed, which wakes it too: nothing is polled, and a program that is
// done ends at once. Throws std::runtime_error when the system gives no
// pipe (or event) to wake the thread with.
class stop_on_interrupt {
public:
    stop_on_interrupt();
    stop_on_interrupt(const stop_on_interrupt&) = delete;
    stop_on_interrupt& operator=(const stop_on_interrupt&) = delete;
    ~stop_on_interrupt();

    std::stop_token token() const { return source_.get_token(); }
    // The signal that stopped the counts, 0 while none has.
    int signal() const;

private:
    std::stop_source source_;
    std::unique_ptr<wake_up> wake_;
    std::jthread watcher_;
};

}  // namespace roughpi::tools
