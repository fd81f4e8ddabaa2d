// SPDX-License-Identifier: MIT
// The sums of pieces: added up, moved as words, checked when they come from
// outside, and finished into pi(x) only from the whole split.
#include "pieces_impl.hpp"

#include "refusal.hpp"
#include "roots.hpp"
#include "terms.hpp"
#include "wheel.hpp"

#include <bit>
#include <cmath>

namespace roughpi {

namespace detail {

long double pieces_impl::largest_value(const prime_count_piece& p)
{
    if (p.k_ == 0)
        return 0.0L;
    const auto n = static_cast<long double>(p.n_);
    return static_cast<long double>(p.w_) * n * std::pow(1.0L + std::log(n), static_cast<long double>(p.k_ - 1));
}

void pieces_impl::check_piece_sums(const prime_count_piece& piece, const prime_count_sums& sums)
{
    check(piece);
    bool only_this_piece = sums.pieces_ == 1;
    for (std::size_t i = 0; i < prime_count_sums::HELD_WORDS; ++i)
        only_this_piece &= sums.held_[i] ==
            (i == static_cast<std::size_t>(piece.index_ / 64) ? std::uint64_t{1} << (piece.index_ % 64) : 0);
    if (!only_this_piece || sums.x_ != piece.x_ || sums.split_ != piece.split_ || sums.fingerprints_ != piece.check_)
        refuse("these sums are not those of the one piece they are given for (piece %d of the count of %lld)",
               piece.index_, static_cast<long long>(piece.x_));
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

void pieces_impl::add(prime_count_sums& to, const prime_count_sums& from)
{
    if (from.pieces_ == 0)
        return;
    if (to.pieces_ > 0 && (to.x_ != from.x_ || to.split_ != from.split_))
        refuse("sums of the count of %lld (split %d) cannot be added to sums of the count of %lld (split %d)",
               static_cast<long long>(from.x_), from.split_, static_cast<long long>(to.x_), to.split_);
    for (std::size_t i = 0; i < prime_count_sums::HELD_WORDS; ++i)
        if (const std::uint64_t both = to.held_[i] & from.held_[i]; both != 0)
            refuse("piece %d of the count of %lld is in both sums: each piece goes into a count once",
                   static_cast<int>(64 * i) + std::countr_zero(both), static_cast<long long>(from.x_));
    for (int k = 0; k < prime_count_sums::TERMS; ++k)
        set_term(to, k, wrapping_sum(term(to, k), term(from, k)));
    for (std::size_t i = 0; i < prime_count_sums::HELD_WORDS; ++i)
        to.held_[i] |= from.held_[i];
    to.x_ = from.x_;
    to.split_ = from.split_;
    to.pieces_ += from.pieces_;
    to.fingerprints_ += from.fingerprints_;
}

std::int64_t pieces_impl::finish(const prime_count_sums& sums, const split_identity& whole)
{
    const std::int64_t x = sums.x_;
    // Every piece of the split, and none past it (from_words and add keep
    // the number of pieces that of the bits held).
    for (std::int32_t i = 0; i < MAX_PIECES; ++i)
        if (held(sums, i) != (static_cast<std::uint64_t>(i) < whole.pieces))
            refuse(held(sums, i) ? "the sums of the count of %lld hold a piece %d, which its split (of %llu "
                                   "pieces) does not have"
                                 : "the sums of the count of %lld lack piece %d (of %llu): a count is finished "
                                   "from the sums of every piece of it",
                   static_cast<long long>(x), i, static_cast<unsigned long long>(whole.pieces));
    if (sums.pieces_ != whole.pieces || sums.fingerprints_ != whole.fingerprints)
        refuse("the sums of the count of %lld hold pieces of another split (the fingerprints differ)",
               static_cast<long long>(x));
    wide_int terms[TERM_SUMS];
    for (int k = 0; k < TERM_SUMS; ++k)
        terms[k] = term(sums, k);
    return pi_from_term_sums(x, terms);
}

std::int64_t pieces_impl::finish(const prime_count_sums& sums, stop_poll stop)
{
    if (sums.pieces_ == 0)
        refuse("the sums hold no piece: a count is finished from the sums of every piece of it");
    return finish(sums, identity_of_split(sums.x_, static_cast<split_kind>(sums.split_), stop));
}

std::int64_t pieces_impl::finish(const prime_count_sums& sums, std::span<const prime_count_piece> split)
{
    if (sums.pieces_ == 0)
        refuse("the sums hold no piece: a count is finished from the sums of every piece of it");
    split_identity whole;
    for (const prime_count_piece& p : split) {
        check(p);
        if (p.x_ != sums.x_ || p.split_ != sums.split_ || p.index_ != static_cast<std::int32_t>(whole.pieces) ||
            static_cast<std::size_t>(p.of_) != split.size())
            refuse("this list is not the whole split of the count of %lld that the sums belong to",
                   static_cast<long long>(sums.x_));
        whole.fingerprints += p.check_;
        ++whole.pieces;
    }
    if (split.empty())
        refuse("this list is not the whole split of the count of %lld that the sums belong to",
               static_cast<long long>(sums.x_));
    return finish(sums, whole);
}

std::array<std::uint64_t, prime_count_sums::WORDS> pieces_impl::words(const prime_count_sums& s)
{
    std::array<std::uint64_t, prime_count_sums::WORDS> w{};
    w[0] = static_cast<std::uint64_t>(s.x_);
    w[1] = s.pieces_;
    w[2] = s.fingerprints_;
    for (int k = 0; k < prime_count_sums::TERMS; ++k) {
        w[3 + 2 * k] = s.low_[k];
        w[4 + 2 * k] = static_cast<std::uint64_t>(s.high_[k]);
    }
    w[prime_count_sums::SPLIT_WORD] = static_cast<std::uint64_t>(s.split_);
    for (std::size_t i = 0; i < prime_count_sums::HELD_WORDS; ++i)
        w[prime_count_sums::HELD_WORD + i] = s.held_[i];
    return w;
}

int pieces_impl::last_term(std::int64_t x)
{
    int k = 0;
    while (power_at_most(FIRST_ROUGH, k + 1, x))
        ++k;
    return k;
}

prime_count_sums pieces_impl::from_words(const std::array<std::uint64_t, prime_count_sums::WORDS>& w)
{
    prime_count_sums s;
    s.x_ = static_cast<std::int64_t>(w[0]);
    s.pieces_ = w[1];
    s.fingerprints_ = w[2];
    for (int k = 0; k < prime_count_sums::TERMS; ++k) {
        s.low_[k] = w[3 + 2 * k];
        s.high_[k] = static_cast<std::int64_t>(w[4 + 2 * k]);
    }
    std::uint64_t held_count = 0;
    for (std::size_t i = 0; i < prime_count_sums::HELD_WORDS; ++i) {
        s.held_[i] = w[prime_count_sums::HELD_WORD + i];
        held_count += static_cast<std::uint64_t>(std::popcount(s.held_[i]));
    }
    // Empty sums are the default ones; sums of pieces (of any x: every x
    // below 17 has its one piece) say which pieces they hold, and hold
    // nothing in S_0 or past the last term of x.
    const bool empty = s.pieces_ == 0;
    if (w[prime_count_sums::SPLIT_WORD] > static_cast<std::uint64_t>(split_kind::other) || held_count != s.pieces_ ||
        (empty && (s.x_ != -1 || s.fingerprints_ != 0 || w[prime_count_sums::SPLIT_WORD] != 0)))
        refuse("these words are not sums of pieces of a count");
    s.split_ = static_cast<std::int32_t>(w[prime_count_sums::SPLIT_WORD]);
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
    detail::pieces_impl::check_piece_sums(piece, piece_sums);
}

std::int64_t prime_count_from_sums(const prime_count_sums& sums)
{
    return detail::pieces_impl::finish(sums, detail::stop_poll{});
}

std::int64_t prime_count_from_sums(const prime_count_sums& sums, const std::stop_token& stop)
{
    return detail::pieces_impl::finish(sums, detail::stop_poll(stop));
}

std::int64_t prime_count_from_sums(const prime_count_sums& sums, std::span<const prime_count_piece> split)
{
    return detail::pieces_impl::finish(sums, split);
}

bool prime_count_sums::holds(std::int32_t index) const noexcept
{
    return index >= 0 && index < MAX_PIECES && detail::pieces_impl::held(*this, index);
}

prime_count_sums& prime_count_sums::operator+=(const prime_count_sums& other)
{
    detail::pieces_impl::add(*this, other);
    return *this;
}

std::array<std::uint64_t, prime_count_sums::WORDS> prime_count_sums::to_words() const noexcept
{
    return detail::pieces_impl::words(*this);
}

prime_count_sums prime_count_sums::from_words(const std::array<std::uint64_t, WORDS>& words)
{
    return detail::pieces_impl::from_words(words);
}

}  // namespace roughpi
