// Counting pi(x) with every rank of an MPI job.
//
// Every rank makes the same list of pieces of the count of x (the split
// depends on x alone) and counts pieces on worker threads of its own. Rank 0
// hands the pieces out, largest estimate first, from one queue that its own
// workers take from too; its main thread serves the other ranks meanwhile.
// Another rank's main thread asks rank 0 for pieces, a few ahead of its
// workers (more when pieces are short), and sends back each piece's sums as
// soon as the piece is done:
//
//   rank r -> 0   request: (ask | finished | done, x, piece index, sums of that piece as 67 words)
//   rank 0 -> r   reply:   (index of the next piece | no more, fingerprint of that piece)
//
// Each request but "done" asks for one more piece, and each such request gets
// one reply; once a rank has had all its replies and its workers have
// stopped, it sends "done". The fingerprint in a reply is checked against
// the rank's own list, so ranks of different builds stop the job instead of
// counting different pieces. Rank 0 adds the sums as they arrive (each
// 128-bit term travels exactly, as two 64-bit words), so it always knows which
// pieces are done, and finishes with prime_count_from_sums, which refuses
// sums that do not hold every piece exactly once.
//
// Only each rank's main thread calls MPI (MPI_THREAD_FUNNELED). It wakes
// once a millisecond to pass on finished pieces and look for messages, and
// sleeps in between, rather than spin in a blocking MPI call on a core its
// workers need.
#pragma once

#include <mpi.h>

#include <checkpoint.hpp>

#include <roughpi/pieces.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>

namespace roughpi::mpi {

// The words of a request: kind, x, piece index, then the piece's sums.
inline constexpr std::size_t REQUEST_WORDS = 3 + prime_count_sums::WORDS;
// The words of a reply: piece index, fingerprint.
inline constexpr std::size_t REPLY_WORDS = 2;

// Messages on their way: each is sent with MPI_Isend from a buffer that
// lives here until MPI is done with it. Long-lived (one per process), so
// that a count that ends in an exception never frees a buffer MPI may still
// read.
class outbox {
public:
    using message = std::array<std::uint64_t, REQUEST_WORDS>;

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

struct rank_setup {
    MPI_Comm comm = MPI_COMM_WORLD;
    int rank = 0;
    int ranks = 1;
    int threads = 1;  // worker threads of this rank
    // Test hook (ROUGHPI_MPI_TEST_FAIL_RANK, see main.cpp): the rank fails
    // after its first piece, or at the end of its first count if it had none.
    bool fail_for_test = false;
};

// Rank 0's part of the count of x: returns pi(x). progress, if set, gets the
// share of the work done now and then, and 1 at the end. With a checkpoint
// file (of the count of x), the pieces it holds are taken from it, and every
// piece finished goes to it.
std::int64_t lead_count(std::int64_t x, const rank_setup& setup, outbox& out,
                        const std::function<void(double)>& progress, cli::checkpoint* file = nullptr);

// The part of the count of x of any other rank.
void help_count(std::int64_t x, const rank_setup& setup, outbox& out);

// Waits for a nonblocking MPI operation without spinning on a core.
void wait_for(MPI_Request& request);

}  // namespace roughpi::mpi
