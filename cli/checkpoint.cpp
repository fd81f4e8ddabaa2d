#include "checkpoint.hpp"

#include "command_line.hpp"

#include <roughpi/parallel.hpp>
#include <roughpi/version.hpp>

#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#  include <sys/stat.h>
#else
#  include <fcntl.h>
#  include <sys/file.h>
#  include <unistd.h>
#endif

namespace roughpi::cli {

namespace {

constexpr std::string_view MAGIC = "roughpi-checkpoint";

// FNV-1a, 64 bits.
std::uint64_t hash_text(std::string_view text, std::uint64_t h = 0xcbf29ce484222325ull)
{
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

std::string hex16(std::uint64_t v)
{
    char text[17];
    for (int i = 15; i >= 0; --i, v >>= 4)
        text[i] = "0123456789abcdef"[v & 15];
    return std::string(text, 16);
}

// Exactly as hex16 writes it: sixteen lowercase digits.
bool parse_hex16(std::string_view text, std::uint64_t& value)
{
    if (text.size() != 16 || text.find_first_not_of("0123456789abcdef") != std::string_view::npos)
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

template <typename Integer>
bool parse_decimal(std::string_view text, Integer& value)
{
    if (text.empty() || text.front() == '+' || text.front() == '-')
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// The words of a line, split at single spaces.
std::vector<std::string_view> words_of(std::string_view line)
{
    std::vector<std::string_view> words;
    for (std::size_t start = 0; start <= line.size();) {
        const std::size_t space = line.find(' ', start);
        const std::size_t end = space == std::string_view::npos ? line.size() : space;
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// A line's content and its check: "<content> check=<16 hex>".
bool split_check(std::string_view line, std::string_view& content)
{
    const std::size_t at = line.rfind(" check=");
    std::uint64_t check = 0;
    if (at == std::string_view::npos || !parse_hex16(line.substr(at + 7), check))
        return false;
    content = line.substr(0, at);
    return hash_text(content) == check;
}

std::string with_check(const std::string& content) { return content + " check=" + hex16(hash_text(content)) + "\n"; }

std::string system_error_text() { return std::strerror(errno); }

}  // namespace

std::uint64_t split_hash(std::span<const prime_count_piece> pieces)
{
    std::uint64_t h = hash_text(std::to_string(pieces.size()));
    for (const prime_count_piece& piece : pieces)
        h = hash_text(hex16(piece.fingerprint()), h);
    return h;
}

checkpoint::checkpoint(const std::string& path, std::int64_t x, std::span<const prime_count_piece> pieces)
    : path_(path), x_(x), pieces_(pieces), held_(pieces.size())
{
    const std::string shown = "checkpoint '" + printable(path) + "'";
#if defined(_WIN32)
    fd_ = ::_open(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
#endif
    if (fd_ < 0)
        throw checkpoint_refused("cannot open " + shown + ": " + system_error_text());
    try {
#if !defined(_WIN32)
        // A count that was just stopped may take a moment to let go of the
        // file (a job's processes end one after another): wait for it, a
        // little, before calling the file taken.
        for (int tries = 0; ::flock(fd_, LOCK_EX | LOCK_NB) != 0; ++tries) {
            if (errno != EWOULDBLOCK || tries == 60)
                throw checkpoint_refused(shown + " is in use by another count");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
#endif
        std::string text;
        char buffer[1 << 16];
        for (;;) {
#if defined(_WIN32)
            const int got = ::_read(fd_, buffer, sizeof(buffer));
#else
            const ssize_t got = ::read(fd_, buffer, sizeof(buffer));
#endif
            if (got < 0)
                throw checkpoint_refused("cannot read " + shown + ": " + system_error_text());
            if (got == 0)
                break;
            text.append(buffer, static_cast<std::size_t>(got));
        }
        read_existing(text);
    } catch (...) {
#if defined(_WIN32)
        ::_close(fd_);
#else
        ::close(fd_);
#endif
        fd_ = -1;
        throw;
    }
}

checkpoint::~checkpoint()
{
    if (fd_ < 0)
        return;
#if defined(_WIN32)
    ::_close(fd_);
#else
    ::close(fd_);
#endif
}

void checkpoint::read_existing(const std::string& text)
{
    const std::string shown = "checkpoint '" + printable(path_) + "'";
    const std::string header =
        with_check(std::string(MAGIC) + " " + std::to_string(FORMAT_VERSION) + " roughpi=" + roughpi::version() +
                   " x=" + std::to_string(x_) + " pieces=" + std::to_string(pieces_.size()) +
                   " split=" + hex16(split_hash(pieces_)));

    // A new file, or one whose first line was cut short before its end
    // (created, then killed as it wrote): start it afresh.
    const std::size_t first_end = text.find('\n');
    if (first_end == std::string::npos && header.starts_with(text)) {
        if (!text.empty())
            truncate_to(0);
        write_all(header);
        flush();
        return;
    }
    const std::string_view first(text.data(), first_end == std::string::npos ? text.size() : first_end);
    const std::vector<std::string_view> words = words_of(first);
    if (words[0] != MAGIC)
        throw checkpoint_refused("'" + printable(path_) + "' is not a roughpi checkpoint");
    int version = 0;
    if (words.size() < 2 || !parse_decimal(words[1], version))
        throw checkpoint_refused(shown + " is damaged: its first line does not check");
    if (version != FORMAT_VERSION)
        throw checkpoint_refused(shown + " is in format version " + std::to_string(version) + "; this roughpi reads version " +
                                 std::to_string(FORMAT_VERSION));
    std::string_view content;
    if (first_end == std::string::npos || !split_check(first, content) || words.size() != 7)
        throw checkpoint_refused(shown + " is damaged: its first line does not check");
    // Which count the file belongs to, field by field, for a message that says
    // what differs.
    const auto field = [&](int i, std::string_view name) {
        const std::string_view word = words[static_cast<std::size_t>(i)];
        if (!word.starts_with(name) || word.size() <= name.size() || word[name.size()] != '=')
            throw checkpoint_refused(shown + " is damaged: its first line does not check");
        return word.substr(name.size() + 1);
    };
    const std::string_view writer = field(2, "roughpi");
    std::int64_t file_x = 0;
    std::size_t file_pieces = 0;
    std::uint64_t file_split = 0;
    if (!parse_decimal(field(3, "x"), file_x) || !parse_decimal(field(4, "pieces"), file_pieces) ||
        !parse_hex16(field(5, "split"), file_split))
        throw checkpoint_refused(shown + " is damaged: its first line does not check");
    if (file_x != x_)
        throw checkpoint_refused(shown + " belongs to the count of " + std::to_string(file_x) + ", not of " +
                                 std::to_string(x_));
    if (writer != roughpi::version())
        throw checkpoint_refused(shown + " was written by roughpi " + printable(writer) + "; this is roughpi " +
                                 roughpi::version() + ", which does not take it up");
    if (file_pieces != pieces_.size() || file_split != split_hash(pieces_))
        throw checkpoint_refused(shown + " belongs to another split of the count (" + std::to_string(file_pieces) +
                                 " pieces, split " + hex16(file_split) + "), not this one (" +
                                 std::to_string(pieces_.size()) + " pieces, split " + hex16(split_hash(pieces_)) + ")");

    // The pieces, one a line. A last line without its newline was cut short.
    std::size_t start = first_end + 1;
    std::size_t line_number = 1;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            break;
        ++line_number;
        const std::string_view line(text.data() + start, end - start);
        const std::string damaged = shown + " is damaged: line " + std::to_string(line_number) + " does not check";
        if (!split_check(line, content))
            throw checkpoint_refused(damaged);
        const std::vector<std::string_view> parts = words_of(content);
        std::size_t index = 0;
        if (parts.size() < 2 || parts[0] != "piece" || !parse_decimal(parts[1], index) || index >= pieces_.size())
            throw checkpoint_refused(damaged);
        if (held_[index])
            throw checkpoint_refused(shown + " is damaged: piece " + std::to_string(index) + " is in it twice");
        std::array<std::uint64_t, prime_count_sums::WORDS> sum_words{};
        sum_words[0] = static_cast<std::uint64_t>(x_);
        sum_words[1] = 1;
        sum_words[2] = pieces_[index].fingerprint();
        for (std::size_t i = 2; i < parts.size(); ++i) {
            const std::string_view term = parts[i];
            const std::size_t colon = term.find(':');
            int k = 0;
            std::uint64_t low = 0, high = 0;
            if (colon == std::string_view::npos || term.size() != colon + 34 || term[colon + 17] != ':' ||
                !parse_decimal(term.substr(0, colon), k) || k >= prime_count_sums::TERMS ||
                !parse_hex16(term.substr(colon + 1, 16), low) || !parse_hex16(term.substr(colon + 18, 16), high))
                throw checkpoint_refused(damaged);
            sum_words[3 + 2 * static_cast<std::size_t>(k)] = low;
            sum_words[4 + 2 * static_cast<std::size_t>(k)] = high;
        }
        sums_ += prime_count_sums::from_words(sum_words);
        held_[index] = true;
        start = end + 1;
    }
    if (start < text.size()) {
        // Drop the cut line, so that what is appended starts a line of its own.
        truncate_to(start);
        flush();
    }
}

void checkpoint::truncate_to(std::size_t length)
{
#if defined(_WIN32)
    const bool cut = ::_chsize_s(fd_, static_cast<__int64>(length)) == 0 && ::_lseeki64(fd_, 0, SEEK_END) >= 0;
#else
    const bool cut = ::ftruncate(fd_, static_cast<off_t>(length)) == 0 && ::lseek(fd_, 0, SEEK_END) >= 0;
#endif
    if (!cut)
        throw checkpoint_refused("cannot repair checkpoint '" + printable(path_) + "': " + system_error_text());
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
    double total = 0.0, held = 0.0;
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
        total += pieces_[i].cost();
        held += held_[i] ? pieces_[i].cost() : 0.0;
    }
    return total > 0.0 ? held / total : 0.0;
}

void checkpoint::record(std::size_t index, const prime_count_sums& piece_sums)
{
    const auto words = piece_sums.to_words();
    std::string content = "piece " + std::to_string(index);
    for (int k = 0; k < prime_count_sums::TERMS; ++k) {
        const std::uint64_t low = words[3 + 2 * static_cast<std::size_t>(k)];
        const std::uint64_t high = words[4 + 2 * static_cast<std::size_t>(k)];
        if (low != 0 || high != 0) {
            content += ' ';
            content += std::to_string(k);
            content += ':';
            content += hex16(low);
            content += ':';
            content += hex16(high);
        }
    }
    write_all(with_check(content));
    held_[index] = true;
    unflushed_ = true;
}

void checkpoint::write_all(const std::string& text)
{
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
#if defined(_WIN32)
        const int written = ::_write(fd_, data, static_cast<unsigned>(left));
#else
        const ssize_t written = ::write(fd_, data, left);
#endif
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw std::runtime_error("cannot write to checkpoint '" + printable(path_) + "': " + system_error_text());
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    unflushed_ = true;
}

void checkpoint::flush()
{
    if (!unflushed_)
        return;
#if defined(_WIN32)
    const bool synced = ::_commit(fd_) == 0;
#else
    const bool synced = ::fsync(fd_) == 0;
#endif
    if (!synced)
        throw std::runtime_error("cannot write to checkpoint '" + printable(path_) + "': " + system_error_text());
    unflushed_ = false;
}

std::int64_t count_the_rest(checkpoint& file, int threads, const std::function<void(double)>& progress)
{
    const double held = file.share_held();
    if (progress)
        progress(held);
    parallel_options options;
    options.threads = threads;
    options.piece_done = [&](std::size_t index, const prime_count_sums& piece_sums) { file.record(index, piece_sums); };
    // Called about ten times a second, and at the end.
    options.progress = [&](double done) {
        file.flush();
        if (progress)
            progress(held + (1.0 - held) * done);
    };
    prime_count_sums sums = file.sums();
    sums += count_pieces_parallel(file.pieces(), file.missing(), options);
    file.flush();
    return prime_count_from_sums(sums);
}

}  // namespace roughpi::cli
