// SPDX-License-Identifier: MIT
// MPI for the life of roughpi-mpi: MPI_Init_thread at the start and
// MPI_Finalize at the end (unless the job is aborted), the rank's place in
// the job, and how many threads a rank takes by default.
#pragma once

#include "outbox.hpp"

namespace roughpi::mpi {

class mpi_session {
public:
    // `program` names the program in the one message a failed start prints.
    mpi_session(int& argc, char**& argv, const char* program);
    mpi_session(const mpi_session&) = delete;
    mpi_session& operator=(const mpi_session&) = delete;
    ~mpi_session();

    int rank() const { return rank_; }
    int ranks() const { return ranks_; }
    // This rank's place among the ranks of its node, from 0.
    int node_rank() const { return node_rank_; }

    // The logical CPUs of the node over the ranks on it, at least 1, and no
    // more than the CPUs this rank may run on (usable_cpus): the launcher may
    // have bound it to fewer (Open MPI binds each rank to one core when a job
    // has at most two ranks, and to one socket beyond), and threads beyond
    // those would only take turns.
    int default_threads() const;

    // True when every rank was started with the same arguments as this one
    // (the same answer on every rank). Ranks that read different numbers
    // would wait for each other for ever, so this is settled first.
    bool same_arguments_on_every_rank(int argc, const char* const* argv) const;

    // Where this rank's messages wait to be sent; it outlives every count.
    outbox& out() { return out_; }

    // Ends every rank of the job with `status`.
    [[noreturn]] void abort(int status);

private:
    int rank_ = 0;
    int ranks_ = 1;
    int node_ranks_ = 1;
    int node_rank_ = 0;
    outbox out_;
};

}  // namespace roughpi::mpi
