// The sums of pieces: added up, moved as words, checked when they come from
// outside, and finished into pi(x) only from the whole split.
#include "piece_access.hpp"

#include "refusal.hpp"
#include "roots.hpp"
#include "terms.hpp"
#include "wheel.hpp"

#include <cmath>

namespace roughpi {

namespace detail {

long double piece_access::largest_value(const prime_count_piece& p)
{
    if (p.k_ == 0)
        return 0.0L;
    const auto n = static_cast<long double>(p.n_);
    return static_cast<long double>(p.w_) * n * std::pow(1.0L + std::log(n), static_cast<long double>(p.k_ - 1));
}

void piece_access::check_piece_sums(const prime_count_piece& piece, const prime_count_sums& sums)
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

void piece_access::add(prime_count_sums& to, const prime_count_sums& from)
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

std::int64_t piece_access::finish(const prime_count_sums& sums, stop_poll stop)
{
    if (sums.pieces_ == 0)
        refuse("the sums hold no piece: a count is finished from the sums of every piece of it");
    const std::int64_t x = sums.x_;
    const split_identity whole = identity_of_split(x, stop);
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

std::array<std::uint64_t, prime_count_sums::WORDS> piece_access::words(const prime_count_sums& s)
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

int piece_access::last_term(std::int64_t x)
{
    int k = 0;
    while (power_at_most(FIRST_ROUGH, k + 1, x))
        ++k;
    return k;
}

prime_count_sums piece_access::from_words(const std::array<std::uint64_t, prime_count_sums::WORDS>& w)
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

}  // namespace detail

void prime_count_check_piece_sums(const prime_count_piece& piece, const prime_count_sums& piece_sums)
{
    detail::piece_access::check_piece_sums(piece, piece_sums);
}

std::int64_t prime_count_from_sums(const prime_count_sums& sums)
{
    return detail::piece_access::finish(sums, {});
}

std::int64_t prime_count_from_sums(const prime_count_sums& sums, const std::stop_token& stop)
{
    return detail::piece_access::finish(sums, detail::stop_poll(stop));
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
