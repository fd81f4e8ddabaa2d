// SPDX-License-Identifier: MIT
#include <roughpi/tools/checkpoint.hpp>

#include <roughpi/tools/file_io.hpp>
#include <roughpi/tools/printable.hpp>

#include <roughpi/error.hpp>

#include <stdexcept>

namespace roughpi::tools {

checkpoint::checkpoint(const std::string& path, std::int64_t x, std::span<const prime_count_piece> pieces,
                       const siphash_key& key, std::stop_token stop)
    : path_(path)
    , name_("checkpoint '" + printable(path) + "'")
    , format_(x, pieces, key)
{
    // Asked first, for a clear message; asked again of what was opened, as the
    // path may have changed in between.
    const auto not_regular = [&] { return checkpoint_refused(name_ + " is not a regular file"); };
    if (file_io::names_other_than_regular(path))
        throw not_regular();
    fd_ = file_io::open_or_create(path);
    if (fd_ < 0)
        throw checkpoint_refused("cannot open " + name_ + ": " + file_io::error_text());
    try {
        if (!file_io::is_regular(fd_))
            throw not_regular();
        file_io::make_blocking(fd_);
        switch (file_io::lock_for_this_process(fd_, stop)) {
        case file_io::lock_result::locked:
            break;
        case file_io::lock_result::in_use:
            throw checkpoint_refused(name_ + " is in use by another count");
        case file_io::lock_result::stopped:
            throw cancelled();
        }
        // No more than a checkpoint of this count can hold, and a byte to tell.
        const std::size_t largest = format_.largest_text();
        std::string text;
        char buffer[1 << 16];
        for (;;) {
            const long long got = file_io::read_some(fd_, buffer, sizeof(buffer));
            if (got < 0)
                throw checkpoint_refused("cannot read " + name_ + ": " + file_io::error_text());
            if (got == 0)
                break;
            text.append(buffer, static_cast<std::size_t>(got));
            if (text.size() > largest) {
                format_.check_first_line(text, path);  // a file of another count says so
                throw checkpoint_refused(name_ + " is longer than any checkpoint of this count (" +
                                         std::to_string(largest) + " bytes at most)");
            }
        }
        checkpoint_contents contents = format_.read(text, path);
        held_ = std::move(contents.held);
        sums_ = contents.sums;
        if (contents.fresh) {
            if (!text.empty())
                truncate_to(0);
            write_all(format_.header());
            flush();
        } else if (contents.whole_length < text.size()) {
            // Drop the cut line, so that what is appended starts a line of its own.
            truncate_to(contents.whole_length);
            flush();
        }
    } catch (...) {
        file_io::close(fd_);
        fd_ = -1;
        throw;
    }
}

checkpoint::~checkpoint()
{
    if (fd_ >= 0)
        file_io::close(fd_);
}

void checkpoint::truncate_to(std::size_t length)
{
    if (!file_io::truncate_to(fd_, length))
        throw checkpoint_refused("cannot repair " + name_ + ": " + file_io::error_text());
    unflushed_ = true;
}

std::vector<std::size_t> checkpoint::missing() const
{
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < held_.size(); ++i)
        if (!held_[i])
            indices.push_back(i);
    return indices;
}

double checkpoint::share_held() const
{
    double total = 0.0;
    double held = 0.0;
    for (std::size_t i = 0; i < held_.size(); ++i) {
        total += pieces()[i].cost();
        held += held_[i] ? pieces()[i].cost() : 0.0;
    }
    return total > 0.0 ? held / total : 0.0;
}

void checkpoint::record(std::size_t index, const prime_count_sums& piece_sums)
{
    write_all(format_.record(index, piece_sums));
    held_[index] = true;
}

void checkpoint::write_all(const std::string& text)
{
    if (!file_io::write_all(fd_, text.data(), text.size()))
        throw std::runtime_error("cannot write to " + name_ + ": " + file_io::error_text());
    unflushed_ = true;
}

void checkpoint::flush()
{
    if (!unflushed_)
        return;
    if (!file_io::sync(fd_))
        throw std::runtime_error("cannot write to " + name_ + ": " + file_io::error_text());
    unflushed_ = false;
}

}  // namespace roughpi::tools
