#include "checkpoint.hpp"

#include "command_line.hpp"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#  include <sys/stat.h>
#  include <sys/types.h>
#else
#  include <fcntl.h>
#  include <sys/file.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace roughpi::cli {

namespace {

std::string system_error_text() { return std::strerror(errno); }

#if defined(_WIN32)
bool is_regular(int fd)
{
    struct _stat64 status;
    return ::_fstat64(fd, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG;
}
bool names_other_than_regular(const std::string& path)
{
    struct _stat64 status;
    return ::_stat64(path.c_str(), &status) == 0 && (status.st_mode & _S_IFMT) != _S_IFREG;
}
int open_file(const std::string& path) { return ::_open(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE); }
int close_file(int fd) { return ::_close(fd); }
long long read_some(int fd, char* buffer, std::size_t size) { return ::_read(fd, buffer, static_cast<unsigned>(size)); }
long long write_some(int fd, const char* data, std::size_t size) { return ::_write(fd, data, static_cast<unsigned>(size)); }
bool sync_file(int fd) { return ::_commit(fd) == 0; }
bool cut_file(int fd, std::size_t length)
{
    return ::_chsize_s(fd, static_cast<__int64>(length)) == 0 && ::_lseeki64(fd, 0, SEEK_END) >= 0;
}
#else
bool is_regular(int fd)
{
    struct stat status;
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}
bool names_other_than_regular(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}
// Without waiting: a FIFO would otherwise block the open until a writer
// comes. The file is checked to be a regular file before it is read.
int open_file(const std::string& path)
{
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
}
int close_file(int fd) { return ::close(fd); }
long long read_some(int fd, char* buffer, std::size_t size) { return ::read(fd, buffer, size); }
long long write_some(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }
bool sync_file(int fd) { return ::fsync(fd) == 0; }
bool cut_file(int fd, std::size_t length)
{
    return ::ftruncate(fd, static_cast<off_t>(length)) == 0 && ::lseek(fd, 0, SEEK_END) >= 0;
}
#endif

}  // namespace

checkpoint::checkpoint(const std::string& path, std::int64_t x, std::span<const prime_count_piece> pieces)
    : path_(path), name_("checkpoint '" + printable(path) + "'"), format_(x, pieces)
{
    // Asked first, for a clear message; asked again of what was opened, as the
    // path may have changed in between.
    const auto not_regular = [&] { return checkpoint_refused(name_ + " is not a regular file"); };
    if (names_other_than_regular(path))
        throw not_regular();
    fd_ = open_file(path);
    if (fd_ < 0)
        throw checkpoint_refused("cannot open " + name_ + ": " + system_error_text());
    try {
        if (!is_regular(fd_))
            throw not_regular();
#if !defined(_WIN32)
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        // A count that was just stopped may take a moment to let go of the
        // file (a job's processes end one after another): wait for it, a
        // little, before calling the file taken.
        for (int tries = 0; ::flock(fd_, LOCK_EX | LOCK_NB) != 0; ++tries) {
            if (errno != EWOULDBLOCK || tries == 60)
                throw checkpoint_refused(name_ + " is in use by another count");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
#endif
        // No more than a checkpoint of this count can hold, and a byte to tell.
        const std::size_t largest = format_.largest_text();
        std::string text;
        char buffer[1 << 16];
        for (;;) {
            const long long got = read_some(fd_, buffer, sizeof(buffer));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                throw checkpoint_refused("cannot read " + name_ + ": " + system_error_text());
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
        close_file(fd_);
        fd_ = -1;
        throw;
    }
}

checkpoint::~checkpoint()
{
    if (fd_ >= 0)
        close_file(fd_);
}

void checkpoint::truncate_to(std::size_t length)
{
    if (!cut_file(fd_, length))
        throw checkpoint_refused("cannot repair " + name_ + ": " + system_error_text());
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
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const long long written = write_some(fd_, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw std::runtime_error("cannot write to " + name_ + ": " + system_error_text());
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    unflushed_ = true;
}

void checkpoint::flush()
{
    if (!unflushed_)
        return;
    if (!sync_file(fd_))
        throw std::runtime_error("cannot write to " + name_ + ": " + system_error_text());
    unflushed_ = false;
}

}  // namespace roughpi::cli
