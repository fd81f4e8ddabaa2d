// SPDX-License-Identifier: MIT
// Sending and waiting without spinning: the messages a rank has on their way,
// and the waits for nonblocking MPI operations.
#pragma once

#include "protocol.hpp"

#include <mpi.h>

#include <chrono>
#include <cstddef>
#include <list>

namespace roughpi::mpi {

// Each rank's main thread wakes once a TICK to pass on its workers' finished
// pieces and to serve or read messages, however many workers it has and
// however short the pieces are: about 1 % of a core.
inline constexpr std::chrono::milliseconds TICK{1};

// Messages on their way: each is sent with MPI_Isend from a buffer that
// lives here until MPI is done with it. Long-lived (one per process), so
// that a count that ends in an exception never frees a buffer MPI may still
// read.
class outbox {
public:
    // Sends the first `words` words of `content` to rank `to`.
    void send(const message& content, std::size_t words, int to, int tag, MPI_Comm comm);
    // Forgets the messages that are sent. True when none is left.
    bool reap();
    // Waits until every message is sent.
    void flush();

private:
    struct pending {
        message content;
        MPI_Request request;
    };
    std::list<pending> pending_;
};

// Waits for a nonblocking MPI operation without spinning on a core.
void wait_for(MPI_Request& request);

// Throws std::runtime_error("<what> failed") unless mpi_result is MPI_SUCCESS.
void check(int mpi_result, const char* what);

}  // namespace roughpi::mpi
