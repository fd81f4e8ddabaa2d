// SPDX-License-Identifier: MIT
#include "mpi_session.hpp"

#include <roughpi/parallel.hpp>
#include <roughpi/tools/exit_status.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace roughpi::mpi {

mpi_session::mpi_session(int& argc, char**& argv, const char* program)
{
    int provided = MPI_THREAD_SINGLE;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &ranks_);
    if (provided < MPI_THREAD_FUNNELED) {
        if (rank_ == 0)
            std::fprintf(stderr, "%s: the MPI library does not support threads (MPI_THREAD_FUNNELED)\n", program);
        abort(tools::EXIT_FAILED);
    }
    // The ranks that share this rank's node, and so its logical CPUs.
    MPI_Comm node;
    MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, rank_, MPI_INFO_NULL, &node);
    MPI_Comm_size(node, &node_ranks_);
    MPI_Comm_rank(node, &node_rank_);
    MPI_Comm_free(&node);
}

mpi_session::~mpi_session() { MPI_Finalize(); }

int mpi_session::default_threads() const
{
    const int node_cpus = static_cast<int>(std::min(std::thread::hardware_concurrency(), 1u << 30));
    const int threads = std::min(node_cpus / std::max(node_ranks_, 1), usable_cpus());
    return std::clamp(threads, 1, MAX_THREADS);
}

bool mpi_session::same_arguments_on_every_rank(int argc, const char* const* argv) const
{
    std::uint64_t hash = 0xcbf29ce484222325;  // FNV-1a over each argument and its length
    const auto mix = [&](unsigned char byte) { hash = (hash ^ byte) * 0x100000001b3; };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        for (const char c : arg)
            mix(static_cast<unsigned char>(c));
        for (std::size_t length = arg.size(), k = 0; k < 8; ++k, length >>= 8)
            mix(static_cast<unsigned char>(length & 0xff));
    }
    // The least hash and the least complement (the greatest hash) are equal
    // only when all the hashes are.
    const std::uint64_t mine[2] = {hash, ~hash};
    std::uint64_t least[2] = {0, 0};
    MPI_Allreduce(mine, least, 2, MPI_UINT64_T, MPI_MIN, MPI_COMM_WORLD);
    return least[0] == ~least[1];
}

void mpi_session::abort(int status)
{
    std::fflush(stdout);
    std::fflush(stderr);
    MPI_Abort(MPI_COMM_WORLD, status);
    std::_Exit(status);  // MPI_Abort does not return; this is in case it does
}

}  // namespace roughpi::mpi
