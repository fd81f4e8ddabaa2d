// SPDX-License-Identifier: MIT
// The pieces of a count: made from the split (work_split.hpp), checked when
// they come back, and counted.
#include "pieces_impl.hpp"
#include "assertion.hpp"

#include "factor_counts.hpp"
#include "process_key.hpp"
#include "refusal.hpp"
#include "roots.hpp"
#include "terms.hpp"
#include "wheel.hpp"

#include <roughpi/prime_count.hpp>

#include <cstring>

namespace roughpi {

namespace detail {

namespace {

// Every field of a piece but its check, its seal and the size of its split,
// as 64-bit words (the fingerprint covers these; the seal these and the rest).
constexpr std::size_t FIELD_WORDS = 11;

}  // namespace

std::uint64_t pieces_impl::check_of(const prime_count_piece& p)
{
    std::uint64_t cost_bits = 0;
    std::memcpy(&cost_bits, &p.cost_, sizeof(cost_bits));
    const auto pair = [](std::int32_t low, std::int32_t high) {
        return static_cast<std::uint32_t>(low) | std::uint64_t{static_cast<std::uint32_t>(high)} << 32;
    };
    const std::uint64_t fields[FIELD_WORDS] = {static_cast<std::uint64_t>(p.x_),
                                               static_cast<std::uint64_t>(p.n_),
                                               static_cast<std::uint64_t>(p.b_),
                                               static_cast<std::uint64_t>(p.w_),
                                               static_cast<std::uint64_t>(p.first_),
                                               static_cast<std::uint64_t>(p.last_),
                                               pair(p.r_, p.k_),
                                               pair(p.term_, p.sign_),
                                               pair(p.index_, p.split_),
                                               cost_bits,
                                               0x7069656365ull};  // "piece"
    // Each word stirred into the state by a multiply-xorshift round.
    std::uint64_t h = 0x726f756768706921ull;  // "roughpi!"
    for (const std::uint64_t f : fields) {
        h ^= f + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
        h *= 0xbf58476d1ce4e5b9ull;
        h ^= h >> 31;
    }
    return h;
}

std::uint64_t pieces_impl::seal_of(const prime_count_piece& p)
{
    // The check word stands for the fields it mixes only as long as nobody
    // can find two pieces with one check (anybody can): so the seal takes
    // every field itself.
    std::uint64_t cost_bits = 0;
    std::memcpy(&cost_bits, &p.cost_, sizeof(cost_bits));
    siphash h(process_key());
    for (const std::int64_t f : {p.x_, p.n_, p.b_, p.w_, p.first_, p.last_})
        h.add_word(static_cast<std::uint64_t>(f));
    for (const std::int32_t f : {p.r_, p.k_, p.term_, p.sign_, p.index_, p.split_, p.of_, p.reserved_})
        h.add_word(static_cast<std::uint64_t>(static_cast<std::uint32_t>(f)));
    h.add_word(cost_bits);
    h.add_word(p.check_);
    return h.finish();
}

prime_count_piece pieces_impl::make(std::int64_t x, split_kind kind, std::int32_t index, const split_piece& s)
{
    ROUGHPI_ASSERT(index >= 0 && index < MAX_PIECES, "a piece out of its split's bounds");
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
    p.index_ = index;
    p.split_ = static_cast<std::int32_t>(kind);
    p.cost_ = s.cost;
    p.check_ = check_of(p);
    return p;
}

prime_count_piece pieces_impl::empty_count(std::int64_t x, split_kind kind)
{
    prime_count_piece p;
    p.x_ = x;
    p.index_ = 0;
    p.split_ = static_cast<std::int32_t>(kind);
    p.cost_ = 1.0;
    p.check_ = check_of(p);
    return p;
}

void pieces_impl::seal(prime_count_piece& p, std::int32_t split_size)
{
    p.of_ = split_size;
    p.seal_ = seal_of(p);
}

void pieces_impl::check(const prime_count_piece& p)
{
    const bool place_ok = p.reserved_ == 0 && p.of_ >= 1 && p.of_ <= MAX_PIECES && p.index_ >= 0 && p.index_ < p.of_ &&
        (p.split_ == static_cast<std::int32_t>(split_kind::usual) ||
         p.split_ == static_cast<std::int32_t>(split_kind::other));
    const bool fields_ok = place_ok &&
        ((p.x_ < FIRST_ROUGH && p.k_ == 0 && p.of_ == 1) ||
         (p.x_ >= FIRST_ROUGH && p.k_ >= 1 && p.k_ < TERM_SUMS && p.term_ >= p.k_ && p.term_ < TERM_SUMS &&
          (p.sign_ == 1 || p.sign_ == -1) && p.b_ >= FIRST_ROUGH && p.n_ <= p.x_ && p.w_ >= 1 && p.r_ >= 1 &&
          power_at_most(p.b_, p.k_, p.n_) && p.first_ >= p.b_ && p.first_ <= p.last_));
    // The check word first, which is cheap, then the seal.
    if (!fields_ok || p.check_ != check_of(p) || p.seal_ != seal_of(p))
        refuse("this piece is not one of the pieces of a count made by this process (made by hand, changed, "
               "or from elsewhere)");
}

wide_int pieces_impl::value(const prime_count_piece& p, const path_kernels& kernels, stop_poll stop)
{
    stop.check();
    if (p.k_ == 0)
        return 0;
    ensure_wheel_tables();
    const wide_int v = count_node_range(walk_node{p.n_, p.b_, p.w_, p.r_, p.k_}, p.first_, p.last_, kernels, stop);
    return p.sign_ > 0 ? v : -v;
}

void pieces_impl::admit(const prime_count_piece& piece, const prime_count_sums& sums)
{
    check(piece);
    if (sums.pieces_ > 0 && (sums.x_ != piece.x_ || sums.split_ != piece.split_))
        refuse("a piece of the count of %lld (split %d) cannot be added to sums of the count of %lld (split %d)",
               static_cast<long long>(piece.x_), piece.split_, static_cast<long long>(sums.x_), sums.split_);
    if (held(sums, piece.index_))
        refuse("piece %d of the count of %lld is in these sums already", piece.index_,
               static_cast<long long>(piece.x_));
}

void pieces_impl::add(const prime_count_piece& piece, prime_count_sums& sums, const path_kernels& kernels,
                      stop_poll stop)
{
    admit(piece, sums);
    record(piece, sums, value(piece, kernels, stop));
}

void pieces_impl::add_counted(const prime_count_piece& piece, prime_count_sums& sums, wide_int count)
{
    admit(piece, sums);
    // A count made elsewhere (on another processor) passes the same bound as
    // sums that come from outside, twice the largest the piece can have.
    if (count < 0 || approximate(count) > 2.0L * largest_value(piece))
        fail_internally("piece %d of the count of %lld was counted as %.6Lg, which it cannot be (at most %.6Lg)",
                        piece.index_, static_cast<long long>(piece.x_), approximate(count), largest_value(piece));
    record(piece, sums, piece.sign_ < 0 ? -count : count);
}

piece_node pieces_impl::node(const prime_count_piece& piece)
{
    check(piece);
    return piece_node{piece.n_,     piece.b_,    piece.w_,    piece.r_,   piece.k_,
                      piece.first_, piece.last_, piece.term_, piece.sign_};
}

void pieces_impl::record(const prime_count_piece& piece, prime_count_sums& sums, wide_int v)
{
    set_term(sums, piece.term_, wrapping_sum(term(sums, piece.term_), v));
    sums.x_ = piece.x_;
    sums.split_ = piece.split_;
    ++sums.pieces_;
    sums.fingerprints_ += piece.check_;
    hold(sums, piece.index_);
}

pieces_impl::split_identity pieces_impl::identity_of_split(std::int64_t x, split_kind kind, stop_poll stop)
{
    split_identity id;
    if (x < FIRST_ROUGH) {
        id.pieces = 1;
        id.fingerprints = empty_count(x, kind).check_;
        return id;
    }
    ensure_wheel_tables();
    struct fingerprints final : split_sink {
        std::int64_t x;
        split_kind kind;
        split_identity& id;
        fingerprints(std::int64_t x_, split_kind kind_, split_identity& id_)
            : x(x_)
            , kind(kind_)
            , id(id_)
        {
        }
        void take(const split_piece& piece) override
        {
            id.fingerprints += make(x, kind, static_cast<std::int32_t>(id.pieces), piece).check_;
            ++id.pieces;
        }
    } sink{x, kind, id};
    split_count(x, kind, sink, stop);
    return id;
}

std::size_t pieces_impl::pieces_of(std::int64_t x, split_kind kind, std::span<prime_count_piece> out, stop_poll stop)
{
    if (x < FIRST_ROUGH) {
        if (!out.empty()) {
            out[0] = empty_count(x, kind);
            seal(out[0], 1);
        }
        return 1;
    }
    ensure_wheel_tables();
    struct into_span final : split_sink {
        std::int64_t x;
        split_kind kind;
        std::span<prime_count_piece> out;
        std::size_t next = 0;
        into_span(std::int64_t x_, split_kind kind_, std::span<prime_count_piece> out_)
            : x(x_)
            , kind(kind_)
            , out(out_)
        {
        }
        void take(const split_piece& piece) override
        {
            if (next < out.size())
                out[next] = pieces_impl::make(x, kind, static_cast<std::int32_t>(next), piece);
            ++next;
        }
    } sink{x, kind, out};
    const std::size_t total = split_count(x, kind, sink, stop);
    const std::size_t written = total < out.size() ? total : out.size();
    for (std::size_t i = 0; i < written; ++i)
        seal(out[i], static_cast<std::int32_t>(total));
    return total;
}

}  // namespace detail

std::size_t prime_count_pieces(std::int64_t x, std::span<prime_count_piece> out)
{
    return detail::pieces_impl::pieces_of(x, split_kind::usual, out, {});
}

std::size_t prime_count_pieces(std::int64_t x, std::span<prime_count_piece> out, const std::stop_token& stop)
{
    return detail::pieces_impl::pieces_of(x, split_kind::usual, out, detail::stop_poll(stop));
}

std::size_t prime_count_pieces(std::int64_t x, std::span<prime_count_piece> out, split_kind split,
                               const std::stop_token& stop)
{
    return detail::pieces_impl::pieces_of(x, split, out, detail::stop_poll(stop));
}

void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums)
{
    detail::pieces_impl::add(piece, sums, detail::best_kernels());
}

void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums, counting_path path)
{
    detail::pieces_impl::add(piece, sums, detail::kernels_of(path));
}

void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums, const std::stop_token& stop)
{
    detail::pieces_impl::add(piece, sums, detail::best_kernels(), detail::stop_poll(stop));
}

void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums, counting_path path,
                           const std::stop_token& stop)
{
    detail::pieces_impl::add(piece, sums, detail::kernels_of(path), detail::stop_poll(stop));
}

}  // namespace roughpi

void roughpi_internal_piece_node(const roughpi::prime_count_piece& piece, roughpi::detail::piece_node& node)
{
    node = roughpi::detail::pieces_impl::node(piece);
}

void roughpi_internal_add_counted_piece(const roughpi::prime_count_piece& piece, roughpi::prime_count_sums& sums,
                                        std::uint64_t low, std::int64_t high)
{
    roughpi::detail::pieces_impl::add_counted(piece, sums, roughpi::wide_from_words(low, high));
}
