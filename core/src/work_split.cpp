// SPDX-License-Identifier: MIT
#include "work_split.hpp"

#include "refusal.hpp"
#include "roots.hpp"
#include "split_cost.hpp"
#include "terms.hpp"
#include "wheel.hpp"

#include <limits>

namespace roughpi::detail {

namespace {

// The split aims at this many pieces, and no piece smaller than
// MIN_PIECE_COST (about a fifth of a millisecond), which would cost more
// to hand out than to count.
constexpr double TARGET_PIECES = 4096.0;
constexpr double MIN_PIECE_COST = 600'000.0;

// Calls visit(v, child) for each child of a node with k >= 3 entries to
// choose, in order: v = b, whose run goes on, then each rough v > b with
// v^k <= n, which opens a new run.
template <typename Visit>
void for_each_child(const walk_node& node, Visit&& visit)
{
    const auto [n, b, w, r, k] = node;
    visit(b, walk_node{n / b, b, w / r, r + 1, k - 1});
    std::int32_t q = wheel_prefix_count[b % WHEEL_MODULUS];
    std::int64_t u = b + wheel_gaps[q];
    q = next_wheel_position(q);
    for (;;) {
        const std::int64_t m = n / u;
        if (!power_at_most(u, k - 1, m))
            break;
        visit(u, walk_node{m, u, w, 2, k - 1});
        u += wheel_gaps[q];
        q = next_wheel_position(q);
    }
}

// The split itself. Nodes whose estimated work is above the limit are cut
// into ranges of children, each at most the limit where a single child
// allows; the rest stay whole, as part of a range of their parent.
class splitter {
public:
    splitter(double limit, split_sink* sink, stop_poll stop)
        : limit_(limit)
        , sink_(sink)
        , stop_(stop)
    {
    }

    void set_term(std::int32_t term, std::int32_t sign)
    {
        term_ = term;
        sign_ = sign;
    }

    std::size_t pieces() const { return pieces_; }

    void emit(const walk_node& node, std::int64_t first, std::int64_t last, double cost)
    {
        if (pieces_ == static_cast<std::size_t>(MAX_PIECES))
            fail_internally("the split of a count made more than %d pieces", MAX_PIECES);
        if (sink_ != nullptr)
            sink_->take(split_piece{term_, sign_, node, first, last, cost});
        ++pieces_;
    }

    struct outcome {
        bool emitted;  // the node went out in pieces of its own,
        double cost;   // or else it is whole, with this estimated work
    };

    outcome split(const walk_node& node)
    {
        stop_.check();
        if (node.k == 1)
            return {false, 1.0};
        if (node.k == 2) {
            const double cost = pair_cost(node.n, node.b, node.b, node.n);
            if (cost <= limit_)
                return {false, cost};
            split_pairs(node);
            return {true, 0.0};
        }
        if (node.k == 3) {
            const double cost = triple_cost(node, node.b, node.n);
            if (cost <= limit_)
                return {false, cost};
            split_triples(node);
            return {true, 0.0};
        }
        if (node.k == 4 && node.n <= MAX_CLOSED_FORM_N) {
            const double cost = quad_cost(node);
            if (cost <= limit_)
                return {false, cost};
        }
        ranges children(*this, node);
        double total = 0.0;
        bool emitted = false;
        for_each_child(node, [&](std::int64_t v, const walk_node& child) {
            const outcome o = split(child);
            if (o.emitted) {
                children.close();
                emitted = true;
                return;
            }
            total += o.cost + STEP_COST;
            emitted |= children.add(v, o.cost + STEP_COST);
        });
        if (!emitted)
            return {false, total};
        children.finish();
        return {true, 0.0};
    }

private:
    // Consecutive children of one node gathered into pieces of at most the
    // limit.
    class ranges {
    public:
        ranges(splitter& s, const walk_node& node)
            : s_(s)
            , node_(node)
        {
        }

        // Adds child v of estimated work c; true when that closed a piece.
        bool add(std::int64_t v, double c)
        {
            bool closed = false;
            if (open_ && cost_ + c > s_.limit_) {
                close();
                closed = true;
            }
            if (!open_) {
                open_ = true;
                first_ = v;
                cost_ = 0.0;
            }
            cost_ += c;
            last_ = v;
            return closed;
        }
        // Ends the open piece at the last child added.
        void close()
        {
            if (open_)
                s_.emit(node_, first_, last_, cost_);
            open_ = false;
        }
        // Ends the open piece at the node's last child.
        void finish()
        {
            if (open_)
                s_.emit(node_, first_, node_.n, cost_);
            open_ = false;
        }

    private:
        splitter& s_;
        const walk_node& node_;
        bool open_ = false;
        std::int64_t first_ = 0;
        std::int64_t last_ = 0;
        double cost_ = 0.0;
    };

    // A pair count too big for one piece: ranges of first entries of equal
    // width, the first of them with the pairs (b, v) too.
    void split_pairs(const walk_node& node)
    {
        const std::int64_t s = floor_sqrt(node.n);
        const double per_piece = (limit_ - CALL_COST) / quotient_cost(node.n);
        const double width = per_piece > ROUGH_DENSITY ? per_piece / ROUGH_DENSITY : 1.0;
        const auto step = static_cast<std::int64_t>(width);
        for (std::int64_t lo = node.b;;) {
            const std::int64_t hi = lo + step - 1;
            if (hi >= s) {
                emit(node, lo, node.n, pair_cost(node.n, node.b, lo, node.n));
                return;
            }
            emit(node, lo, hi, pair_cost(node.n, node.b, lo, hi));
            lo = hi + 1;
        }
    }

    // A node with three entries to choose that is too big for one piece. The
    // child that goes on with b is a piece or a split of its own; the first
    // entries u after b come in ranges, each as long as the closed form of
    // their work allows, found by bisection; a single first entry whose pair
    // loop alone is too big is split as a pair count of its own.
    void split_triples(const walk_node& node)
    {
        const auto [n, b, w, r, k] = node;
        const std::int64_t m = n / b;
        const walk_node again{m, b, w / r, r + 1, 2};
        const double again_cost = pair_cost(m, b, b, m);
        if (again_cost > limit_)
            split_pairs(again);
        else
            emit(node, b, b, again_cost);

        const std::int64_t top = floor_root(n, 3);
        for (std::int64_t u = next_rough(b + 1); u <= top;) {
            stop_.check();
            const std::int64_t mu = n / u;
            const double alone = LOOP_COST + quotient_cost(mu) * rough_in(u + 1, floor_sqrt(mu));
            if (alone > limit_) {
                split_pairs(walk_node{mu, u, w, 2, 2});
                u = next_rough(u + 1);
                continue;
            }
            // The work of [u, hi] grows with hi: the largest hi within the limit.
            std::int64_t hi = top;
            double cost = first_entries_cost(n, u, hi);
            if (cost > limit_) {
                std::int64_t fits = u;  // first_entries_cost(n, u, fits) <= limit
                std::int64_t over = top;
                while (over - fits > 1) {
                    const std::int64_t mid = fits + (over - fits) / 2;
                    if (first_entries_cost(n, u, mid) <= limit_)
                        fits = mid;
                    else
                        over = mid;
                }
                hi = fits;
                cost = first_entries_cost(n, u, hi);
            }
            if (hi >= top) {
                emit(node, u, n, cost);
                return;
            }
            emit(node, u, hi, cost);
            u = next_rough(hi + 1);
        }
    }

    double limit_;
    split_sink* sink_;  // null: the costs alone
    stop_poll stop_;
    std::size_t pieces_ = 0;
    std::int32_t term_ = 0;
    std::int32_t sign_ = 0;
};

// The node of the term D_j(y): j-tuples from 17 up, weighted by j!.
walk_node term_node(const term& t) { return walk_node{t.y, FIRST_ROUGH, factorial(t.j), 1, t.j}; }

}  // namespace

double node_cost(const walk_node& node, stop_poll stop)
{
    splitter whole(std::numeric_limits<double>::infinity(), nullptr, stop);
    return whole.split(node).cost;
}

std::size_t split_count(std::int64_t x, split_kind kind, split_sink& sink, stop_poll stop)
{
    double total = 0.0;
    for_each_term(x, [&](const term& t) { total += node_cost(term_node(t), stop); });
    const double usual = total / TARGET_PIECES > MIN_PIECE_COST ? total / TARGET_PIECES : MIN_PIECE_COST;
    const double limit = kind == split_kind::usual ? usual : usual * OTHER_SPLIT_SCALE;

    splitter pieces(limit, &sink, stop);
    for_each_term(x, [&](const term& t) {
        pieces.set_term(t.i * t.j, t.sign);
        const walk_node node = term_node(t);
        const splitter::outcome o = pieces.split(node);
        if (!o.emitted)
            pieces.emit(node, node.b, node.n, o.cost);
    });
    return pieces.pieces();
}

}  // namespace roughpi::detail
