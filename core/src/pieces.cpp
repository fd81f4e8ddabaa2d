#include "factor_counts.hpp"
#include "integer_roots.hpp"
#include "path_kernels.hpp"
#include "refusal.hpp"
#include "terms.hpp"
#include "wheel.hpp"
#include "work_split.hpp"

#include <roughpi/pieces.hpp>
#include <roughpi/prime_count.hpp>

#include <cmath>
#include <cstring>

namespace roughpi {

namespace detail {

// The library's own view of the public piece and sums.
struct piece_access {
    // A 64-bit mix of every field of a piece but the check itself.
    static std::uint64_t check_of(const prime_count_piece& p)
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

    static prime_count_piece make(std::int64_t x, const split_piece& s)
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

    // The one piece of an x below 17, whose count has no terms.
    static prime_count_piece empty_count(std::int64_t x)
    {
        prime_count_piece p;
        p.x_ = x;
        p.cost_ = 1.0;
        p.check_ = check_of(p);
        return p;
    }

    // Refuses a piece that prime_count_pieces did not make, or that was
    // changed since. The fields are checked as well as the check word, so
    // that no piece reaches the counting outside its preconditions.
    static void check(const prime_count_piece& p)
    {
        const bool fields_ok =
            ((p.x_ < FIRST_ROUGH && p.k_ == 0) ||
             (p.x_ >= FIRST_ROUGH && p.k_ >= 1 && p.k_ < TERM_SUMS && p.term_ >= p.k_ && p.term_ < TERM_SUMS &&
              (p.sign_ == 1 || p.sign_ == -1) && p.b_ >= FIRST_ROUGH && p.n_ <= p.x_ && p.w_ >= 1 && p.r_ >= 1 &&
              power_at_most(p.b_, p.k_, p.n_) && p.first_ >= p.b_ && p.first_ <= p.last_));
        if (!fields_ok || p.check_ != check_of(p))
            refuse("this piece does not belong to any count (made by hand, or damaged)");
    }

    static wide_int value(const prime_count_piece& p, const path_kernels& kernels)
    {
        if (p.k_ == 0)
            return 0;
        ensure_wheel_tables();
        const wide_int v = count_node_range(walk_node{p.n_, p.b_, p.w_, p.r_, p.k_}, p.first_, p.last_, kernels);
        return p.sign_ > 0 ? v : -v;
    }

    static wide_int term(const prime_count_sums& s, int k) { return wide_from_words(s.low_[k], s.high_[k]); }
    static void set_term(prime_count_sums& s, int k, wide_int v)
    {
        s.low_[k] = low_word(v);
        s.high_[k] = high_word(v);
    }

    static void add(const prime_count_piece& piece, prime_count_sums& sums, const path_kernels& kernels)
    {
        check(piece);
        if (sums.pieces_ > 0 && sums.x_ != piece.x_)
            refuse("a piece of the count of %lld cannot be added to sums of the count of %lld",
                   static_cast<long long>(piece.x_), static_cast<long long>(sums.x_));
        const wide_int v = value(piece, kernels);
        set_term(sums, piece.term_, wrapping_sum(term(sums, piece.term_), v));
        sums.x_ = piece.x_;
        ++sums.pieces_;
        sums.fingerprints_ += piece.check_;
    }

    // The most a piece's count can be: each non-decreasing k-tuple it counts
    // (product at most n) weighs at most w, and there are fewer of them than
    // ordered k-tuples of positive integers with product at most n, at most
    // n (1 + ln n)^(k-1) (by induction on k, from sum_{a <= n} n/a <= n (1 + ln n)).
    static long double largest_value(const prime_count_piece& p)
    {
        if (p.k_ == 0)
            return 0.0L;
        const auto n = static_cast<long double>(p.n_);
        return static_cast<long double>(p.w_) * n * std::pow(1.0L + std::log(n), static_cast<long double>(p.k_ - 1));
    }

    static void check_piece_sums(const prime_count_piece& piece, const prime_count_sums& sums)
    {
        check(piece);
        if (sums.pieces_ != 1 || sums.x_ != piece.x_ || sums.fingerprints_ != piece.check_)
            refuse("these sums are not those of the one piece they are given for (a piece of the count of %lld)",
                   static_cast<long long>(piece.x_));
        for (int k = 0; k < prime_count_sums::TERMS; ++k)
            if (k != piece.term_ && term(sums, k) != 0)
                refuse("the sums of a piece of the count of %lld hold term %d, which the piece does not add to",
                       static_cast<long long>(piece.x_), k);
        const wide_int v = term(sums, piece.term_);
        const bool sign_ok = piece.sign_ > 0 ? !(v < 0) : !(0 < v);
        // Twice the bound, as a margin for its rounding.
        if (!sign_ok || std::fabs(approximate(v)) > 2.0L * largest_value(piece))
            refuse("the sums of a piece of the count of %lld hold a value that the piece cannot have",
                   static_cast<long long>(piece.x_));
    }

    static void add(prime_count_sums& to, const prime_count_sums& from)
    {
        if (from.pieces_ == 0)
            return;
        if (to.pieces_ > 0 && to.x_ != from.x_)
            refuse("sums of the count of %lld cannot be added to sums of the count of %lld",
                   static_cast<long long>(from.x_), static_cast<long long>(to.x_));
        for (int k = 0; k < prime_count_sums::TERMS; ++k)
            set_term(to, k, wrapping_sum(term(to, k), term(from, k)));
        to.x_ = from.x_;
        to.pieces_ += from.pieces_;
        to.fingerprints_ += from.fingerprints_;
    }

    // What identifies the split of x: its number of pieces and the total of
    // their fingerprints, from the split itself.
    struct split_identity {
        std::uint64_t pieces = 0;
        std::uint64_t fingerprints = 0;
    };

    static split_identity identity_of_split(std::int64_t x)
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
            &c);
        return id;
    }

    static std::int64_t finish(const prime_count_sums& sums)
    {
        if (sums.pieces_ == 0)
            refuse("the sums hold no piece: a count is finished from the sums of every piece of it");
        const std::int64_t x = sums.x_;
        const split_identity whole = identity_of_split(x);
        if (sums.pieces_ != whole.pieces || sums.fingerprints_ != whole.fingerprints)
            refuse("the sums do not hold every piece of the count of %lld exactly once (they hold %llu pieces, "
                   "the count has %llu)",
                   static_cast<long long>(x), static_cast<unsigned long long>(sums.pieces_),
                   static_cast<unsigned long long>(whole.pieces));
        wide_int terms[TERM_SUMS];
        for (int k = 0; k < TERM_SUMS; ++k)
            terms[k] = term(sums, k);
        return pi_from_term_sums(x, terms);
    }

    static std::array<std::uint64_t, prime_count_sums::WORDS> words(const prime_count_sums& s)
    {
        std::array<std::uint64_t, prime_count_sums::WORDS> w{};
        w[0] = static_cast<std::uint64_t>(s.x_);
        w[1] = s.pieces_;
        w[2] = s.fingerprints_;
        for (int k = 0; k < prime_count_sums::TERMS; ++k) {
            w[3 + 2 * k] = s.low_[k];
            w[4 + 2 * k] = static_cast<std::uint64_t>(s.high_[k]);
        }
        return w;
    }

    // The largest k of a term S_k of x: the terms are D_j(x^(1/i)) with
    // 17^(i j) <= x, k = i j.
    static int last_term(std::int64_t x)
    {
        int k = 0;
        while (power_at_most(FIRST_ROUGH, k + 1, x))
            ++k;
        return k;
    }

    static prime_count_sums from_words(const std::array<std::uint64_t, prime_count_sums::WORDS>& w)
    {
        prime_count_sums s;
        s.x_ = static_cast<std::int64_t>(w[0]);
        s.pieces_ = w[1];
        s.fingerprints_ = w[2];
        for (int k = 0; k < prime_count_sums::TERMS; ++k) {
            s.low_[k] = w[3 + 2 * k];
            s.high_[k] = static_cast<std::int64_t>(w[4 + 2 * k]);
        }
        // Empty sums are the default ones; sums of pieces (of any x: every x
        // below 17 has its one piece) hold nothing in S_0 or past the last
        // term of x.
        const bool empty = s.pieces_ == 0;
        if (empty && (s.x_ != -1 || s.fingerprints_ != 0))
            refuse("these words are not sums of pieces of a count");
        const int last = empty ? 0 : last_term(s.x_);
        for (int k = 0; k < prime_count_sums::TERMS; ++k)
            if ((k == 0 || k > last) && term(s, k) != 0)
                refuse("these words are not sums of pieces of the count of %lld: they hold term %d",
                       static_cast<long long>(s.x_), k);
        return s;
    }
};

}  // namespace detail

std::size_t prime_count_pieces(std::int64_t x, std::span<prime_count_piece> out)
{
    if (x < FIRST_ROUGH) {
        if (!out.empty())
            out[0] = detail::piece_access::empty_count(x);
        return 1;
    }
    ensure_wheel_tables();
    struct context {
        std::int64_t x;
        std::span<prime_count_piece> out;
        std::size_t next;
    } c{x, out, 0};
    return detail::split_count(
        x,
        [](void* p, const detail::split_piece& piece) {
            auto& c = *static_cast<context*>(p);
            if (c.next < c.out.size())
                c.out[c.next] = detail::piece_access::make(c.x, piece);
            ++c.next;
        },
        &c);
}

void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums)
{
    detail::piece_access::add(piece, sums, detail::best_kernels());
}

void prime_count_add_piece(const prime_count_piece& piece, prime_count_sums& sums, counting_path path)
{
    detail::piece_access::add(piece, sums, detail::kernels_of(path));
}

void prime_count_check_piece_sums(const prime_count_piece& piece, const prime_count_sums& piece_sums)
{
    detail::piece_access::check_piece_sums(piece, piece_sums);
}

std::int64_t prime_count_from_sums(const prime_count_sums& sums)
{
    return detail::piece_access::finish(sums);
}

prime_count_sums& prime_count_sums::operator+=(const prime_count_sums& other)
{
    detail::piece_access::add(*this, other);
    return *this;
}

std::array<std::uint64_t, prime_count_sums::WORDS> prime_count_sums::to_words() const noexcept
{
    return detail::piece_access::words(*this);
}

prime_count_sums prime_count_sums::from_words(const std::array<std::uint64_t, WORDS>& words)
{
    return detail::piece_access::from_words(words);
}

}  // namespace roughpi
