// SPDX-License-Identifier: MIT
// How a piece that may be stopped learns that it is to stop. The count asks
// between stretches of work of a few milliseconds at most (a stretch of a
// quotient loop, of a pair stream, a child of the walk), and a stop request
// ends it there with cancelled: what it had counted is dropped, so the caller
// sees a whole piece or none.
#pragma once

#include <roughpi/error.hpp>

#include <stop_token>

namespace roughpi::detail {

class stop_poll {
public:
    // Never stops: a count that nobody can stop.
    constexpr stop_poll() noexcept = default;
    // Stops when `token` has a stop request. The token must outlive the poll.
    explicit stop_poll(const std::stop_token& token) noexcept
        : token_(token.stop_possible() ? &token : nullptr)
    {
    }

    // Throws cancelled when a stop has been requested.
    void check() const
    {
        if (token_ != nullptr && token_->stop_requested())
            throw cancelled();
    }

private:
    const std::stop_token* token_ = nullptr;
};

}  // namespace roughpi::detail
