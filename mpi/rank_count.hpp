// SPDX-License-Identifier: MIT
// Counting pi(x) with every rank of an MPI job.
//
// Every rank makes the same list of pieces of the count of x (the split
// depends on x alone, and is the same on every machine) and counts pieces on
// worker threads of its own, or with --gpu on a CUDA device (rank_pool.hpp). Rank 0 hands the pieces out, largest
// estimate first, from one queue that its own workers take from too; its main thread serves the other ranks meanwhile
// (leader.cpp). Another rank's main thread asks rank 0 for pieces, a few ahead of its workers (more when pieces are
// short), and sends back each piece's sums as soon as the piece is done
// (helper.cpp); protocol.hpp has the messages.
//
// Each request but "done" asks for one more piece, and each such request gets
// one reply; once a rank has had all its replies and its workers have
// stopped, it sends "done". The fingerprint in a reply is checked against
// the rank's own list, so ranks of different builds stop the job instead of
// counting different pieces. Rank 0 checks each piece's sums as they arrive
// (piece_ledger.hpp), so it always knows which pieces are done, and finishes
// with prime_count_from_sums, which refuses sums that do not hold every piece
// exactly once.
//
// Only each rank's main thread calls MPI (MPI_THREAD_FUNNELED). It wakes
// once a millisecond to pass on finished pieces and look for messages, and
// sleeps in between, rather than spin in a blocking MPI call on a core its
// workers need.
#pragma once

#include "outbox.hpp"

#include <roughpi/tools/checkpoint.hpp>
#include <roughpi/tools/count_engine.hpp>

#include <mpi.h>

#include <cstdint>
#include <functional>

namespace roughpi::mpi {

struct rank_setup {
    MPI_Comm comm = MPI_COMM_WORLD;
    int rank = 0;
    int ranks = 1;
    tools::count_engine engine{1};  // this rank's worker threads, or its CUDA device
    // Called where a rank may be made to fail, to see that one failing rank
    // ends the whole job: after the pieces it finished in a tick, and at the
    // end of each count. The program leaves it empty; its tests set it.
    std::function<void()> failure_point;
};

// Rank 0's part of the count of x: returns pi(x). progress, if set, gets the
// share of the work done now and then, and 1 at the end. With a checkpoint
// file (of the count of x), the pieces it holds are taken from it, and every
// piece finished goes to it.
std::int64_t lead_count(std::int64_t x, const rank_setup& setup, outbox& out,
                        const std::function<void(double)>& progress, tools::checkpoint* file = nullptr);

// The part of the count of x of any other rank.
void help_count(std::int64_t x, const rank_setup& setup, outbox& out);

}  // namespace roughpi::mpi
