#include "work_split.hpp"

#include "integer_roots.hpp"
#include "quotient_counts.hpp"
#include "terms.hpp"
#include "wheel.hpp"

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>

// The estimates below must round the same everywhere: each operation in
// double precision, not in a wider format (as the x87 unit would), and
// without fused multiply-adds (see CMakeLists.txt).
static_assert(FLT_EVAL_METHOD == 0, "the split needs double arithmetic evaluated in double precision");
static_assert(std::numeric_limits<double>::is_iec559, "the split needs IEEE 754 double precision");

namespace roughpi::detail {

namespace {

// The estimates count quotients of the vector loop (about a third of a
// nanosecond each on a current x86-64 core); the other costs are in the same
// unit, as measured piece by piece with roughpi-scaling.
constexpr double ROUGH_DENSITY = static_cast<double>(WHEEL_RESIDUES) / WHEEL_MODULUS;
constexpr double LOOP_COST = 30.0;  // one pair loop in a node's stream: its set-up and its end
constexpr double CALL_COST = 60.0;  // a pair count called on its own
constexpr double STEP_COST = 40.0;  // one child of a node with three or more entries to choose

// The split aims at this many pieces, and no piece smaller than
// MIN_PIECE_COST (about a fifth of a millisecond), which would cost more
// to hand out than to count.
constexpr double TARGET_PIECES = 4096.0;
constexpr double MIN_PIECE_COST = 600'000.0;

// One quotient at dividend m: the vector paths take m <= 2^51; above that the
// quotients are taken one at a time, in double precision up to 2^53 and by
// 64-bit integer division beyond.
double quotient_cost(std::int64_t m)
{
    return m <= MAX_VECTOR_N ? 1.0 : m <= MAX_EXACT_DOUBLE_N ? 6.0 : 12.0;
}

// Real cube roots and natural logarithms for the closed forms below, from the
// basic operations alone, so that the split comes out the same on every
// machine (the library functions may differ in their last bits, and so tip a
// piece's boundary). A few digits are all the estimates need; these give
// about fifteen.
// 2^e, and the e with 2^e <= z < 2^(e+1), for normal doubles, read off the bits.
double power_of_two(int e) { return std::bit_cast<double>(static_cast<std::uint64_t>(e + 1023) << 52); }
int binary_exponent(double z) { return static_cast<int>((std::bit_cast<std::uint64_t>(z) >> 52) & 0x7ff) - 1023; }

double real_cbrt(double z)
{
    if (z < 1.0)
        return z <= 0.0 ? 0.0 : 1.0 / real_cbrt(1.0 / z);
    // From 2^floor(e/3), within a factor of two of the root, Newton's method:
    // the relative error goes 0.6, 0.15, 0.015, 2e-4, 4e-8.
    double r = power_of_two(binary_exponent(z) / 3);
    for (int i = 0; i < 5; ++i)
        r = (r + r + z / (r * r)) * (1.0 / 3.0);
    return r;
}

double real_log(double z)
{
    // z = f 2^e with 1/sqrt(2) <= f < sqrt(2); both exact.
    int e = binary_exponent(z);
    double f = z / power_of_two(e);
    if (f >= 1.4142135623730951) {
        f *= 0.5;
        ++e;
    }
    // log f = 2 atanh(t) = 2 (t + t^3/3 + t^5/5 + ...), t = (f - 1)/(f + 1), |t| < 0.172.
    const double t = (f - 1.0) / (f + 1.0);
    const double t2 = t * t;
    const double series =
        1.0 + t2 * (1.0 / 3 + t2 * (1.0 / 5 + t2 * (1.0 / 7 + t2 * (1.0 / 9 + t2 * (1.0 / 11 + t2 / 13)))));
    return e * 0.6931471805599453 + 2.0 * t * series;
}

// The rough numbers in [lo, hi] (lo >= 17), as a double.
double rough_in(std::int64_t lo, std::int64_t hi)
{
    return lo <= hi ? static_cast<double>(count_rough_in_range(lo, hi)) : 0.0;
}

// The pair count of (n, b) over first entries u in [first, last]: one loop of
// a quotient for each rough u in (b, sqrt(n)].
double pair_cost(std::int64_t n, std::int64_t b, std::int64_t first, std::int64_t last)
{
    const std::int64_t s = floor_sqrt(n);
    return CALL_COST + rough_in(first > b ? first : b + 1, last < s ? last : s) * quotient_cost(n);
}

// The pair loops of the first entries u in [lo, hi] of a node with three
// entries to choose, all with the same quotient cost: each first entry u
// gives a loop over the rough numbers in (u, sqrt(n/u)], about
// ROUGH_DENSITY (sqrt(n/u) - u) of them, and the mean of that over [lo, hi] is
// an integral in closed form.
double loops_cost(std::int64_t n, std::int64_t lo, std::int64_t hi, double per_quotient)
{
    const double loops = rough_in(lo, hi);
    if (loops == 0.0)
        return 0.0;
    const double a = static_cast<double>(lo);
    const double e = static_cast<double>(hi);
    const double root_n = std::sqrt(static_cast<double>(n));
    const double mean_root = hi > lo ? 2.0 * root_n * (std::sqrt(e) - std::sqrt(a)) / (e - a) : root_n / std::sqrt(a);
    const double mean_length = ROUGH_DENSITY * (mean_root - (a + e) / 2.0);
    return loops * (LOOP_COST + per_quotient * (mean_length > 0.0 ? mean_length : 0.0));
}

// The same over first entries u in [lo, hi] of any quotient cost: the range
// is cut where n/u crosses 2^53 and 2^51.
double first_entries_cost(std::int64_t n, std::int64_t lo, std::int64_t hi)
{
    double total = 0.0;
    while (lo <= hi) {
        // floor(n/u) > L exactly when u <= floor(n/(L+1)).
        const std::int64_t m = n / lo;
        std::int64_t end = hi;
        if (m > MAX_EXACT_DOUBLE_N)
            end = n / (MAX_EXACT_DOUBLE_N + 1);
        else if (m > MAX_VECTOR_N)
            end = n / (MAX_VECTOR_N + 1);
        if (end > hi)
            end = hi;
        total += loops_cost(n, lo, end, quotient_cost(m));
        lo = end + 1;
    }
    return total;
}

// A node with three entries to choose, over its children [first, last]: the
// pair count of n/b with b again, and a pair loop for each rough u in
// (b, cbrt(n)].
double triple_cost(const walk_node& node, std::int64_t first, std::int64_t last)
{
    const auto [n, b, w, r, k] = node;
    double total = 0.0;
    if (first <= b) {
        const std::int64_t m = n / b;
        total += pair_cost(m, b, b, m);
    }
    const std::int64_t top = floor_root(n, 3);
    return total + first_entries_cost(n, first > b ? first : b + 1, last < top ? last : top);
}

// Largest n of a node with four entries to choose whose pair loops all run
// in the vector loop: n / 17 <= 2^51.
constexpr std::int64_t MAX_CLOSED_FORM_N = MAX_VECTOR_N * FIRST_ROUGH;

// A node with four entries to choose and n <= MAX_CLOSED_FORM_N, in closed
// form: the child that goes on with b by triple_cost, and the rest as their
// number times the mean work under one of them. With the sums of triple_cost
// taken as integrals, the work under a child u (a node n/u, u with three
// entries to choose) is, with R = ROUGH_DENSITY,
//
//   g(u) = STEP + CALL + R (sqrt(n)/u - u)                 the pairs of n/u^2 with u
//        + LOOP R ((n/u)^(1/3) - u)                       the ends of its pair loops
//        + R^2 (1.5 n^(2/3) u^(-2/3) - 2 sqrt(n) + u^2/2)  the quotients of those loops
//
// a sum of powers of u whose mean over [a, e] is an integral in closed form.
double quad_cost(const walk_node& node)
{
    const auto [n, b, w, r, k] = node;
    const std::int64_t m = n / b;
    double total = STEP_COST + triple_cost(walk_node{m, b, w / r, r + 1, 3}, b, m);
    const double children = rough_in(b + 1, floor_sqrt(floor_sqrt(n)));  // floor(n^(1/4))
    if (children == 0.0)
        return total;

    constexpr double R = ROUGH_DENSITY;
    const double nd = static_cast<double>(n);
    const double root2 = std::sqrt(nd);
    const double root3 = real_cbrt(nd);
    const double c0 = STEP_COST + CALL_COST - 2.0 * R * R * root2;  // u^0
    const double c_inverse = R * root2;                            // u^-1
    const double c_linear = -R * (1.0 + LOOP_COST);                 // u^1
    const double c_third = R * LOOP_COST * root3;                  // u^(-1/3)
    const double c_two_thirds = 1.5 * R * R * root3 * root3;       // u^(-2/3)
    const double c_square = R * R / 2.0;                           // u^2

    const double a = static_cast<double>(next_rough(b + 1));
    const double e = std::sqrt(root2);
    double mean = 0.0;
    if (e > a) {
        const double a3 = real_cbrt(a);
        const double e3 = std::sqrt(std::sqrt(root3));  // n^(1/12)
        const double integral = c0 * (e - a) + c_inverse * real_log(e / a) + c_linear * (e * e - a * a) / 2.0 +
                                c_third * 1.5 * (e3 * e3 - a3 * a3) + c_two_thirds * 3.0 * (e3 - a3) +
                                c_square * (e * e * e - a * a * a) / 3.0;
        mean = integral / (e - a);
    } else {
        const double a3 = real_cbrt(a);
        mean = c0 + c_inverse / a + c_linear * a + c_third / a3 + c_two_thirds / (a3 * a3) + c_square * a * a;
    }
    return total + children * (mean > 0.0 ? mean : 0.0);
}

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
    using sink = void (*)(void* context, const split_piece& piece);

    splitter(double limit, sink take, void* context) : limit_(limit), take_(take), context_(context) {}

    void set_term(std::int32_t term, std::int32_t sign)
    {
        term_ = term;
        sign_ = sign;
    }

    std::size_t pieces() const { return pieces_; }

    void emit(const walk_node& node, std::int64_t first, std::int64_t last, double cost)
    {
        if (take_ != nullptr)
            take_(context_, split_piece{term_, sign_, node, first, last, cost});
        ++pieces_;
    }

    struct outcome {
        bool emitted;  // the node went out in pieces of its own,
        double cost;   // or else it is whole, with this estimated work
    };

    outcome split(const walk_node& node)
    {
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
        ranges(splitter& s, const walk_node& node) : s_(s), node_(node) {}

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
    sink take_;
    void* context_;
    std::size_t pieces_ = 0;
    std::int32_t term_ = 0;
    std::int32_t sign_ = 0;
};

// The node of the term D_j(y): j-tuples from 17 up, weighted by j!.
walk_node term_node(const term& t) { return walk_node{t.y, FIRST_ROUGH, factorial(t.j), 1, t.j}; }

}  // namespace

double node_cost(const walk_node& node)
{
    splitter whole(std::numeric_limits<double>::infinity(), nullptr, nullptr);
    return whole.split(node).cost;
}

std::size_t split_count(std::int64_t x, void (*take)(void* context, const split_piece& piece), void* context)
{
    double total = 0.0;
    for_each_term(x, [&](const term& t) { total += node_cost(term_node(t)); });
    const double limit = total / TARGET_PIECES > MIN_PIECE_COST ? total / TARGET_PIECES : MIN_PIECE_COST;

    splitter pieces(limit, take, context);
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
