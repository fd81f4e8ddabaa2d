// SPDX-License-Identifier: MIT
// The side of a count shared out among the ranks of every rank but 0 (see
// rank_count.hpp): it asks rank 0 for pieces, counts them on its workers and
// sends their sums back.
#include "rank_count.hpp"

#include "piece_inbox.hpp"
#include "protocol.hpp"
#include "rank_pool.hpp"

#include <roughpi/parallel.hpp>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace roughpi::mpi {

namespace {

// A rank other than 0 keeps pieces in hand beyond the one each worker is
// counting, so that a worker that finishes a piece finds the next one waiting
// while the main thread trades the finished piece for a new one with rank 0,
// which takes up to three ticks. It keeps enough spare pieces per worker to
// cover SPARE_COVER of counting, going by the time its pieces have taken so
// far; at least one (before it knows), at most MAX_SPARE. A piece takes about
// 0.2 ms at 10^14, 0.7 ms at 10^15, 3 ms at 10^16 and 0.2 s at 10^18, so short
// pieces get many spares and long ones one, which keeps the ranks in step at
// the end of a count.
constexpr double SPARE_COVER = 0.008;  // seconds
constexpr int MAX_SPARE = 32;

}  // namespace

void help_count(std::int64_t x, const rank_setup& setup, outbox& out)
{
    if (x < PARALLEL_FROM)
        return;  // rank 0 counts it alone

    const std::vector<prime_count_piece> pieces = prime_count_piece_list(x);
    const auto workers = static_cast<int>(counted_at_once(setup, pieces.size()));
    piece_inbox inbox;
    const std::unique_ptr<detail::piece_pool> pool = make_rank_pool(
        setup, pieces, [&](std::size_t& index) { return inbox.take(index); },
        [&](std::size_t& index) { return inbox.poll(index); });
    const inbox_closer closer(inbox);  // destroyed first: lets the pool's workers go

    int awaited = 0;  // replies still to come
    const auto ask = [&](request_kind kind, std::size_t index, const prime_count_sums& sums) {
        out.send(encode(request{kind, x, index, sums}), REQUEST_WORDS, 0, REQUEST_TAG, setup.comm);
        if (kind != DONE)
            ++awaited;
    };

    // The pieces in hand, whether asked for, queued or being counted. Each
    // finished piece asks for the next, so this stays put until rank 0 has no
    // more, but for the spare pieces asked for as they get shorter.
    int in_hand = 0;
    const auto ask_for_spares = [&] {
        // A device takes its next pieces all at once, between rounds: one
        // spare each.
        const double seconds = setup.engine.gpu ? 0.0 : inbox.seconds_per_piece();
        const double spare = seconds > 0.0 ? std::clamp(SPARE_COVER / seconds, 1.0, double(MAX_SPARE)) : 1.0;
        for (; in_hand < workers * (1 + static_cast<int>(spare)) && !inbox.closed(); ++in_hand)
            ask(ASK, 0, {});
    };
    ask_for_spares();

    bool workers_running = true;
    bool counted_any = false;
    std::vector<detail::finished_piece> finished;
    while (workers_running || awaited > 0) {
        std::this_thread::sleep_for(TICK);
        if (workers_running) {
            workers_running = pool->wait(std::chrono::milliseconds(0), finished);
            if (!workers_running)
                pool->join();  // rethrows what a worker met
        }
        // Each finished piece goes back, and asks for the next.
        for (const detail::finished_piece& piece : finished)
            ask(FINISHED, piece.index, piece.sums);
        counted_any = counted_any || !finished.empty();
        finished.clear();
        if (counted_any && setup.failure_point)
            setup.failure_point();

        for (;;) {
            int arrived = 0;
            check(MPI_Iprobe(0, REPLY_TAG, setup.comm, &arrived, MPI_STATUS_IGNORE), "MPI_Iprobe");
            if (!arrived)
                break;
            std::array<std::uint64_t, REPLY_WORDS> reply{};
            check(MPI_Recv(reply.data(), static_cast<int>(REPLY_WORDS), MPI_UINT64_T, 0, REPLY_TAG, setup.comm,
                           MPI_STATUS_IGNORE),
                  "MPI_Recv");
            if (awaited == 0)
                throw std::runtime_error("a reply from rank 0 came unasked");
            --awaited;
            const std::uint64_t index = reply[0];
            if (index == NO_MORE) {
                inbox.close();
                continue;
            }
            if (inbox.closed())
                throw std::runtime_error("rank 0 sent piece " + std::to_string(index) + " after it had no more");
            if (index >= pieces.size() || pieces[index].fingerprint() != reply[1])
                throw std::runtime_error("piece " + std::to_string(index) + " of the count of " + std::to_string(x) +
                                         " is not the same on rank 0 and on this rank: the ranks run different"
                                         " builds of roughpi-mpi");
            inbox.put(index);
        }
        ask_for_spares();
        out.reap();
    }
    if (setup.failure_point)
        setup.failure_point();
    ask(DONE, 0, {});
    out.flush();
}

}  // namespace roughpi::mpi
