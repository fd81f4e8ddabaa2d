// SPDX-License-Identifier: MIT
// Rank 0's side of a count shared out among the ranks (see rank_count.hpp).
#include "rank_count.hpp"

#include "piece_dispenser.hpp"
#include "piece_ledger.hpp"
#include "protocol.hpp"
#include "rank_pool.hpp"

#include <roughpi/error.hpp>
#include <roughpi/parallel.hpp>
#include <roughpi/tools/count_engine.hpp>
#include <roughpi/tools/resumed_count.hpp>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace roughpi::mpi {

namespace {

// How often rank 0 makes what it wrote to a checkpoint file durable (fsync).
constexpr std::chrono::milliseconds FLUSH_EVERY{100};

// Rank 0's side of the conversation: it serves the requests of the others.
class leader {
public:
    leader(std::int64_t x, const rank_setup& setup, outbox& out, std::span<const prime_count_piece> pieces,
           piece_ledger& ledger, piece_dispenser& dispenser)
        : x_(x)
        , setup_(setup)
        , out_(out)
        , pieces_(pieces)
        , ledger_(ledger)
        , dispenser_(dispenser)
        , holder_(pieces.size(), -1)
        , rank_done_(static_cast<std::size_t>(setup.ranks))
    {
    }

    int ranks_done() const { return ranks_done_; }

    // Serves the requests that have arrived.
    void serve()
    {
        for (;;) {
            int arrived = 0;
            MPI_Status status;
            check(MPI_Iprobe(MPI_ANY_SOURCE, REQUEST_TAG, setup_.comm, &arrived, &status), "MPI_Iprobe");
            if (!arrived)
                return;
            int count = 0;
            check(MPI_Get_count(&status, MPI_UINT64_T, &count), "MPI_Get_count");
            message received{};
            const int from = status.MPI_SOURCE;
            if (count != static_cast<int>(REQUEST_WORDS))
                throw std::runtime_error("rank " + std::to_string(from) + " sent a request of " +
                                         std::to_string(count) + " words instead of " + std::to_string(REQUEST_WORDS));
            check(MPI_Recv(received.data(), count, MPI_UINT64_T, from, REQUEST_TAG, setup_.comm, MPI_STATUS_IGNORE),
                  "MPI_Recv");
            handle(from, received);
        }
    }

private:
    void handle(int from, const message& received)
    {
        const std::string who = "rank " + std::to_string(from);
        if (from <= 0 || from >= setup_.ranks || rank_done_[static_cast<std::size_t>(from)])
            throw std::runtime_error(who + " sent a request after it was done");
        request r;
        try {
            r = decode_request(received);
        } catch (const input_error&) {
            throw std::runtime_error(who + " sent sums that no count gives");
        }
        if (r.x != x_)
            throw std::runtime_error(who + " is counting " + std::to_string(r.x) + " instead of " + std::to_string(x_));
        switch (r.kind) {
        case FINISHED:
            if (r.index >= pieces_.size() || holder_[r.index] != from)
                throw std::runtime_error(who + " sent the sums of piece " + std::to_string(r.index) +
                                         ", which it was not given");
            ledger_.record(r.index, r.sums);
            [[fallthrough]];
        case ASK: {
            message reply{};
            std::size_t index = 0;
            if (dispenser_.take(index)) {
                holder_[index] = from;
                reply[0] = index;
                reply[1] = pieces_[index].fingerprint();
            } else {
                reply[0] = NO_MORE;
            }
            out_.send(reply, REPLY_WORDS, from, REPLY_TAG, setup_.comm);
            break;
        }
        case DONE:
            rank_done_[static_cast<std::size_t>(from)] = true;
            ++ranks_done_;
            break;
        default:
            throw std::runtime_error(who + " sent a request of unknown kind " + std::to_string(r.kind));
        }
    }

    std::int64_t x_;
    const rank_setup& setup_;
    outbox& out_;
    std::span<const prime_count_piece> pieces_;
    piece_ledger& ledger_;
    piece_dispenser& dispenser_;
    std::vector<int> holder_;  // the rank each piece was sent to, -1 for none
    std::vector<bool> rank_done_;
    int ranks_done_ = 0;
};

void failure_point(const rank_setup& setup)
{
    if (setup.failure_point)
        setup.failure_point();
}

}  // namespace

std::int64_t lead_count(std::int64_t x, const rank_setup& setup, outbox& out,
                        const std::function<void(double)>& progress, tools::checkpoint* file)
{
    // Below PARALLEL_FROM a count takes milliseconds: rank 0 counts it alone,
    // on its own threads or device, and the other ranks do not take part.
    if (x < PARALLEL_FROM) {
        if (file != nullptr)
            return tools::count_the_rest(*file, setup.engine, progress);
        const std::int64_t pi = tools::count_pi(x, setup.engine, progress, {});
        failure_point(setup);
        return pi;
    }

    const std::vector<prime_count_piece> own_pieces =
        file == nullptr ? prime_count_piece_list(x) : std::vector<prime_count_piece>{};
    const std::span<const prime_count_piece> pieces = file == nullptr ? std::span(own_pieces) : file->pieces();
    piece_ledger ledger(pieces);
    // What the checkpoint file holds is done; what is done from now on goes
    // to the file, and to the disk at least every FLUSH_EVERY.
    auto last_flush = std::chrono::steady_clock::now();
    if (file != nullptr) {
        const std::vector<std::size_t> missing = file->missing();
        std::vector<std::size_t> held;
        for (std::size_t i = 0, m = 0; i < pieces.size(); ++i)
            if (m < missing.size() && missing[m] == i)
                ++m;
            else
                held.push_back(i);
        ledger.restore(held, file->sums());
        ledger.on_record = [file](std::size_t index, const prime_count_sums& piece_sums) {
            file->record(index, piece_sums);
        };
    }
    piece_dispenser dispenser(pieces, ledger);
    leader lead(x, setup, out, pieces, ledger, dispenser);

    const std::unique_ptr<detail::piece_pool> pool = make_rank_pool(
        setup, pieces, [&](std::size_t& index) { return dispenser.take(index); },
        [&](std::size_t& index) { return dispenser.take(index) ? detail::offer::piece : detail::offer::none; });
    bool workers_running = true;
    std::vector<detail::finished_piece> finished;
    try {
        while (workers_running || lead.ranks_done() < setup.ranks - 1) {
            std::this_thread::sleep_for(TICK);
            if (workers_running) {
                workers_running = pool->wait(std::chrono::milliseconds(0), finished);
                if (!workers_running)
                    pool->join();  // rethrows what a worker met
            }
            for (const detail::finished_piece& piece : finished)
                ledger.record(piece.index, piece.sums);
            if (!finished.empty())
                failure_point(setup);
            finished.clear();
            lead.serve();
            out.reap();
            if (progress)
                progress(ledger.share_done());
            if (file != nullptr && std::chrono::steady_clock::now() - last_flush >= FLUSH_EVERY) {
                file->flush();
                last_flush = std::chrono::steady_clock::now();
            }
        }
    } catch (...) {
        pool->stop();
        throw;
    }
    if (file != nullptr)
        file->flush();
    out.flush();
    failure_point(setup);
    const std::int64_t pi = ledger.pi();
    if (progress)
        progress(1.0);
    return pi;
}

}  // namespace roughpi::mpi
