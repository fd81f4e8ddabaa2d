// SPDX-License-Identifier: MIT
#include "outbox.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>

namespace roughpi::mpi {

namespace {

// Waiting for something that is about to happen (a message to go out, the
// others to reach a collective call): first 50 microseconds, then twice as
// long each time, up to a tick.
class backoff {
public:
    void sleep()
    {
        std::this_thread::sleep_for(now_);
        now_ = std::min(now_ * 2, std::chrono::microseconds(TICK));
    }

private:
    std::chrono::microseconds now_{50};
};

}  // namespace

void check(int mpi_result, const char* what)
{
    if (mpi_result != MPI_SUCCESS)
        throw std::runtime_error(std::string(what) + " failed");
}

void outbox::send(const message& content, std::size_t words, int to, int tag, MPI_Comm comm)
{
    pending& p = pending_.emplace_back();
    p.content = content;
    check(MPI_Isend(p.content.data(), static_cast<int>(words), MPI_UINT64_T, to, tag, comm, &p.request), "MPI_Isend");
}

bool outbox::reap()
{
    for (auto it = pending_.begin(); it != pending_.end();) {
        int sent = 0;
        check(MPI_Test(&it->request, &sent, MPI_STATUS_IGNORE), "MPI_Test");
        it = sent ? pending_.erase(it) : std::next(it);
    }
    return pending_.empty();
}

void outbox::flush()
{
    backoff wait;
    while (!reap())
        wait.sleep();
}

void wait_for(MPI_Request& request)
{
    backoff wait;
    for (;;) {
        int complete = 0;
        check(MPI_Test(&request, &complete, MPI_STATUS_IGNORE), "MPI_Test");
        if (complete)
            return;
        wait.sleep();
    }
}

}  // namespace roughpi::mpi
