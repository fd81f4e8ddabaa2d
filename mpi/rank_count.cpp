#include "rank_count.hpp"

#include "piece_ledger.hpp"
#include "worker_pool.hpp"

#include <resumed_count.hpp>

#include <roughpi/parallel.hpp>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace roughpi::mpi {

namespace {

// Below this a count takes milliseconds: rank 0 counts it alone, on its own
// threads, and the other ranks do not take part.
constexpr std::int64_t SHARE_FROM = 10'000'000'000;  // 10^10

// Each rank's main thread wakes once a TICK to pass on its workers' finished
// pieces and to serve or read messages, however many workers it has and
// however short the pieces are: about 1 % of a core.
constexpr std::chrono::milliseconds TICK{1};

// How often rank 0 makes what it wrote to a checkpoint file durable (fsync).
constexpr std::chrono::milliseconds FLUSH_EVERY{100};

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

constexpr int REQUEST_TAG = 1;
constexpr int REPLY_TAG = 2;

enum request_kind : std::uint64_t {
    ASK = 1,       // asks for a piece; carries nothing
    FINISHED = 2,  // carries a finished piece and its sums, and asks for a piece
    DONE = 3,      // the rank is done with this count: no more requests
};

constexpr std::uint64_t NO_MORE = ~std::uint64_t{0};

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

void check(int mpi_result, const char* what)
{
    if (mpi_result != MPI_SUCCESS)
        throw std::runtime_error(std::string(what) + " failed");
}

bool counted_by_rank_0_alone(std::int64_t x) { return x < SHARE_FROM; }

// A rank never starts more workers than the count has pieces.
int workers_for(const rank_setup& setup, std::size_t pieces)
{
    return static_cast<int>(std::min(static_cast<std::size_t>(setup.threads), pieces));
}

std::string x_text(std::int64_t x) { return std::to_string(x); }

// Rank 0's queue of pieces, largest estimate first (ties in list order),
// taken from by its own workers and by its main thread for the other ranks.
class piece_dispenser {
public:
    // Hands out the pieces not done already in the ledger, largest first.
    piece_dispenser(std::span<const prime_count_piece> pieces, const piece_ledger& ledger)
    {
        for (std::size_t i = 0; i < pieces.size(); ++i)
            if (!ledger.is_done(i))
                order_.push_back(i);
        std::stable_sort(order_.begin(), order_.end(),
                         [&](std::size_t a, std::size_t b) { return pieces[a].cost() > pieces[b].cost(); });
    }

    bool take(std::size_t& index)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (next_ == order_.size())
            return false;
        index = order_[next_++];
        return true;
    }

private:
    std::vector<std::size_t> order_;
    std::mutex mutex_;
    std::size_t next_ = 0;
};

// Another rank's queue of the pieces rank 0 gave it, which its workers take
// from: take() waits for a piece, and is false once rank 0 has none left (or
// the count is abandoned) and the queue is empty. It also measures how long
// the workers take for a piece: the time from one take() to the next.
class piece_inbox {
public:
    void put(std::size_t index)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(index);
        changed_.notify_one();
    }

    void close()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

    bool closed()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return closed_;
    }

    std::size_t queued()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return queue_.size();
    }

    // The mean time a worker took for a piece, 0 before any was done.
    double seconds_per_piece()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return counted_ == 0 ? 0.0 : counting_.count() / static_cast<double>(counted_);
    }

    bool take(std::size_t& index)
    {
        // When this worker last left take(): a pool's workers are threads of
        // their own count, so this starts empty for each count.
        static thread_local std::optional<std::chrono::steady_clock::time_point> last_taken;
        std::unique_lock<std::mutex> lock(mutex_);
        if (last_taken) {
            counting_ += std::chrono::steady_clock::now() - *last_taken;
            ++counted_;
        }
        changed_.wait(lock, [this] { return !queue_.empty() || closed_; });
        if (queue_.empty())
            return false;
        index = queue_.front();
        queue_.pop_front();
        last_taken = std::chrono::steady_clock::now();
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::size_t> queue_;
    bool closed_ = false;
    std::chrono::duration<double> counting_{0.0};
    std::size_t counted_ = 0;
};

// Closes an inbox when it goes out of scope, so that a worker waiting in
// take() returns and the pool can join it, also when an exception leaves.
class inbox_closer {
public:
    explicit inbox_closer(piece_inbox& inbox) : inbox_(inbox) {}
    inbox_closer(const inbox_closer&) = delete;
    inbox_closer& operator=(const inbox_closer&) = delete;
    ~inbox_closer() { inbox_.close(); }

private:
    piece_inbox& inbox_;
};

[[noreturn]] void fail_for_test()
{
    throw std::runtime_error("failing as ROUGHPI_MPI_TEST_FAIL_RANK asks (a test of the job's abort)");
}

// Rank 0's side of the conversation.
class leader {
public:
    leader(std::int64_t x, const rank_setup& setup, outbox& out, std::span<const prime_count_piece> pieces,
           piece_ledger& ledger, piece_dispenser& dispenser)
        : x_(x), setup_(setup), out_(out), pieces_(pieces), ledger_(ledger), dispenser_(dispenser),
          holder_(pieces.size(), -1), rank_done_(static_cast<std::size_t>(setup.ranks))
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
            outbox::message request{};
            const int from = status.MPI_SOURCE;
            if (count != static_cast<int>(REQUEST_WORDS))
                throw std::runtime_error("rank " + std::to_string(from) + " sent a request of " +
                                         std::to_string(count) + " words instead of " +
                                         std::to_string(REQUEST_WORDS));
            check(MPI_Recv(request.data(), count, MPI_UINT64_T, from, REQUEST_TAG, setup_.comm, MPI_STATUS_IGNORE),
                  "MPI_Recv");
            handle(from, request);
        }
    }

private:
    void handle(int from, const outbox::message& request)
    {
        const std::string who = "rank " + std::to_string(from);
        if (from <= 0 || from >= setup_.ranks || rank_done_[static_cast<std::size_t>(from)])
            throw std::runtime_error(who + " sent a request after it was done");
        if (static_cast<std::int64_t>(request[1]) != x_)
            throw std::runtime_error(who + " is counting " + x_text(static_cast<std::int64_t>(request[1])) +
                                     " instead of " + x_text(x_));
        switch (request[0]) {
        case FINISHED: {
            const std::uint64_t index = request[2];
            if (index >= pieces_.size() || holder_[index] != from)
                throw std::runtime_error(who + " sent the sums of piece " + std::to_string(index) +
                                         ", which it was not given");
            std::array<std::uint64_t, prime_count_sums::WORDS> words;
            std::copy(request.begin() + 3, request.end(), words.begin());
            ledger_.record(index, prime_count_sums::from_words(words));
            [[fallthrough]];
        }
        case ASK: {
            outbox::message reply{};
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
            throw std::runtime_error(who + " sent a request of unknown kind " + std::to_string(request[0]));
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

}  // namespace

void outbox::send(const message& content, std::size_t words, int to, int tag, MPI_Comm comm)
{
    pending& p = pending_.emplace_back();
    p.content = content;
    check(MPI_Isend(p.content.data(), static_cast<int>(words), MPI_UINT64_T, to, tag, comm, &p.request),
          "MPI_Isend");
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

std::int64_t lead_count(std::int64_t x, const rank_setup& setup, outbox& out,
                        const std::function<void(double)>& progress, cli::checkpoint* file)
{
    if (file != nullptr && counted_by_rank_0_alone(x))
        return cli::count_the_rest(*file, setup.threads, progress);  // rank 0 alone, into the file
    if (counted_by_rank_0_alone(x)) {
        parallel_options options;
        options.threads = setup.threads;
        options.progress = progress;
        const std::int64_t pi = prime_count_parallel(x, options);
        if (setup.fail_for_test)
            fail_for_test();
        return pi;
    }

    const std::vector<prime_count_piece> own_pieces = file == nullptr ? prime_count_piece_list(x)
                                                                      : std::vector<prime_count_piece>{};
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

    detail::worker_pool pool(pieces, workers_for(setup, pieces.size()),
                             [&](std::size_t& index) { return dispenser.take(index); });
    bool workers_running = true;
    std::vector<detail::finished_piece> finished;
    try {
        while (workers_running || lead.ranks_done() < setup.ranks - 1) {
            std::this_thread::sleep_for(TICK);
            if (workers_running) {
                workers_running = pool.wait(std::chrono::milliseconds(0), finished);
                if (!workers_running)
                    pool.join();  // rethrows what a worker met
            }
            for (const detail::finished_piece& piece : finished)
                ledger.record(piece.index, piece.sums);
            if (setup.fail_for_test && !finished.empty())
                fail_for_test();
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
        pool.stop();
        throw;
    }
    if (file != nullptr)
        file->flush();
    out.flush();
    if (setup.fail_for_test)
        fail_for_test();
    const std::int64_t pi = ledger.pi();
    if (progress)
        progress(1.0);
    return pi;
}

void help_count(std::int64_t x, const rank_setup& setup, outbox& out)
{
    if (counted_by_rank_0_alone(x))
        return;

    const std::vector<prime_count_piece> pieces = prime_count_piece_list(x);
    const int workers = workers_for(setup, pieces.size());
    piece_inbox inbox;
    detail::worker_pool pool(pieces, workers, [&](std::size_t& index) { return inbox.take(index); });
    const inbox_closer closer(inbox);  // destroyed first: lets the pool's workers go

    int awaited = 0;  // replies still to come
    const auto ask = [&](request_kind kind, std::size_t index, const prime_count_sums& sums) {
        outbox::message request{};
        request[0] = kind;
        request[1] = static_cast<std::uint64_t>(x);
        request[2] = index;
        const auto words = sums.to_words();
        std::copy(words.begin(), words.end(), request.begin() + 3);
        out.send(request, REQUEST_WORDS, 0, REQUEST_TAG, setup.comm);
        if (kind != DONE)
            ++awaited;
    };

    // The pieces in hand, whether asked for, queued or being counted. Each
    // finished piece asks for the next, so this stays put until rank 0 has no
    // more, but for the spare pieces asked for as they get shorter.
    int in_hand = 0;
    const auto ask_for_spares = [&] {
        const double seconds = inbox.seconds_per_piece();
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
            workers_running = pool.wait(std::chrono::milliseconds(0), finished);
            if (!workers_running)
                pool.join();  // rethrows what a worker met
        }
        // Each finished piece goes back, and asks for the next.
        for (const detail::finished_piece& piece : finished)
            ask(FINISHED, piece.index, piece.sums);
        counted_any = counted_any || !finished.empty();
        finished.clear();
        if (setup.fail_for_test && counted_any)
            fail_for_test();

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
                throw std::runtime_error("piece " + std::to_string(index) + " of the count of " + x_text(x) +
                                         " is not the same on rank 0 and on this rank: the ranks run different"
                                         " builds of roughpi-mpi");
            inbox.put(index);
        }
        ask_for_spares();
        out.reap();
    }
    if (setup.fail_for_test)
        fail_for_test();
    ask(DONE, 0, {});
    out.flush();
}

}  // namespace roughpi::mpi
