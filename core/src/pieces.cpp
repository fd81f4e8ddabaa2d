// The pieces of a count: made from the split (work_split.hpp), checked when
// they come back, and counted.
#include "piece_access.hpp"

#include "factor_counts.hpp"
#include "refusal.hpp"
#include "roots.hpp"
#include "terms.hpp"
#include "wheel.hpp"

#include <roughpi/prime_count.hpp>

#include <cstring>

namespace roughpi {

namespace detail {

std::uint64_t piece_access::check_of(const prime_count_piece& p)
{
    std::uint64_t cost_bits = 0;
    std::memcpy(&cost_bits, &p.cost_, sizeof(cost_bits));
    const std::uint64_t fields[] = {static_cast<std::uint64_t>(p.x_),
                                    static_cast<std::uint64_t>(p.n_),
                                    static_cast<std::uint64_t>(p.b_),
                                    static_cast<std::uint64_t>(p.w_),
                                    static_cast<std::uint64_t>(p.first_),
                                    static_cast<std::uint64_t>(p.last_),
                                    static_cast<std::uint32_t>(p.r_) | std::uint64_t{static_cast<std::uint32_t>(p.k_)} << 32,
                                    static_cast<std::uint32_t>(p.term_) |
                                        std::uint64_t{static_cast<std::uint32_t>(p.sign_)} << 32,
                                    cost_bits};
    // Each word stirred into the state by a multiply-xorshift round.
    std::uint64_t h = 0x726f756768706921ull;  // "roughpi!"
    for (const std::uint64_t f : fields) {
        h ^= f + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
        h *= 0xbf58476d1ce4e5b9ull;
        h ^= h >> 31;
    }
    return h;
}

prime_count_piece piece_access::make(std::int64_t x, const split_piece& s)
{
    prime_count_piece p;
    p.x_ = x;
    p.n_ = s.node.n;
    p.b_ = s.node.b;
    p.w_ = s.node.w;
    p.r_ = s.node.r;
    p.k_ = s.node.k;
    p.first_ = s.first;
    p.last_ = s.last;
    p.term_ = s.term;
    p.sign_ = s.sign;
    p.cost_ = s.cost;
    p.check_ = check_of(p);
    return p;
}

prime_count_piece piece_access::empty_count(std::int64_t x)
{
    prime_count_piece p;
    p.x_ = x;
    p.cost_ = 1.0;
    p.check_ = check_of(p);
    return p;
}

void piece_access::check(const prime_count_piece& p)
{
    const bool fields_ok =
        ((p.x_ < FIRST_ROUGH && p.k_ == 0) ||
         (p.x_ >= FIRST_ROUGH && p.k_ >= 1 && p.k_ < TERM_SUMS && p.term_ >= p.k_ && p.term_ < TERM_SUMS &&
          (p.sign_ == 1 || p.sign_ == -1) && p.b_ >= FIRST_ROUGH && p.n_ <= p.x_ && p.w_ >= 1 && p.r_ >= 1 &&
          power_at_most(p.b_, p.k_, p.n_) && p.first_ >= p.b_ && p.first_ <= p.last_));
    if (!fields_ok || p.check_ != check_of(p))
        refuse("this piece does not belong to any count (made by hand, or damaged)");
}

wide_int piece_access::value(const prime_count_piece& p, const path_kernels& kernels, stop_poll stop)
{
    stop.check();
    if (p.k_ == 0)
        return 0;
    ensure_wheel_tables();
    const wide_int v = count_node_range(walk_node{p.n_, p.b_, p.w_, p.r_, p.k_}, p.first_, p.last_, kernels, stop);
    return p.sign_ > 0 ? v : -v;
}

void piece_access::add(const prime_count_piece& piece, prime_count_sums& sums, const path_kernels& kernels,
                       stop_poll stop)
{
    check(piece);
    if (sums.pieces_ > 0 && sums.x_ != piece.x_)
        refuse("a piece of the count of %lld cannot be added to sums of the count of %lld",
               static_cast<long long>(piece.x_), static_cast<long long>(sums.x_));
    const wide_int v = value(piece, kernels, stop);
    set_term(sums, piece.term_, wrapping_sum(term(sums, piece.term_), v));
    sums.x_ = piece.x_;
    ++sums.pieces_;
    sums.fingerprints_ += piece.check_;
}

piece_access::split_identity piece_access::identity_of_split(std::int64_t x, stop_poll stop)
{
    split_identity id;
    if (x < FIRST_ROUGH) {
        id.pieces = 1;
        id.fingerprints = empty_count(x).check_;
        return id;
    }
    ensure_wheel_tables();
    struct context {
        std::int64_t x;
        split_identity& id;
    } c{x, id};
    split_count(
        x,
        [](void* p, const split_piece& piece) {
            auto& c = *static_cast<context*>(p);
            ++c.id.pieces;
            c.id.fingerprints += make(c.x, piece).check_;
        },
        &c, stop);
    return id;
}

namespace {

std::size_t pieces_of(std::int64_t x, std::span<prime_count_piece> out, stop_poll stop)
{
    if (x < FIRST_ROUGH) {
        if (!out.empty())
            out[0] = piece_access::empty_count(x);
        return 1;
    }
    ensure_wheel_tables();
    struct context {
        std::int64_t x;
        std::span<prime_count_piece> out;
        std::size_t next;
    } c{x, out, 0};
    return split_count(
        x,
        [](void* p, const split_piece& piece) {
            auto& c = *static_cast<context*>(p);
            if (c.next < c.out.size())
                c.out[c.next] = piece_access::make(c.x, piece);
            ++c.next;
        },
        &c, stop);
}

}  // namespace

}  // namespace detail

std::size_t prime_count_pieces(std::int64_t x, std::span<prime_count_piece> out)
{
    return detail::pieces_of(x, out, {});
}

std::size_t prime_count_pieces(std::int64_t x, std::span<prime_count_piece> out, const std::stop_token& stop)
{
    return detail::pieces_of(x, out, detail::stop_poll(stop));
}

void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums)
{
    detail::piece_access::add(piece, sums, detail::best_kernels());
}

void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums, counting_path path)
{
    detail::piece_access::add(piece, sums, detail::kernels_of(path));
}

void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums, const std::stop_token& stop)
{
    detail::piece_access::add(piece, sums, detail::best_kernels(), detail::stop_poll(stop));
}

}  // namespace roughpi
