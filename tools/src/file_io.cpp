// SPDX-License-Identifier: MIT
#include <roughpi/tools/file_io.hpp>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#if defined(_WIN32)
#  include <direct.h>
#  include <fcntl.h>
#  include <io.h>
#  include <process.h>
#  include <sys/stat.h>
#  include <sys/types.h>
#  include "windows_api.hpp"
#else
#  include <fcntl.h>
#  include <sys/file.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace roughpi::tools::file_io {

std::string error_text() { return std::strerror(errno); }

#if defined(_WIN32)

bool names_other_than_regular(const std::string& path)
{
    struct _stat64 status;
    return ::_stat64(path.c_str(), &status) == 0 && (status.st_mode & _S_IFMT) != _S_IFREG;
}
bool is_regular(int fd)
{
    struct _stat64 status;
    return ::_fstat64(fd, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG;
}
int open_or_create(const std::string& path)
{
    return ::_open(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}
void make_blocking(int) { }
int create_new(const std::string& path)
{
    return ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int open_to_read(const std::string& path) { return ::_open(path.c_str(), _O_RDONLY | _O_BINARY); }
int create_private(const std::string& path) { return create_new(path); }
static bool make_folder(const std::string& path) { return ::_mkdir(path.c_str()) == 0; }
bool link_new(const std::string& from, const std::string& to)
{
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0)
        return true;
    const DWORD error = GetLastError();
    errno = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? EEXIST : EACCES;
    return false;
}
lock_result lock_for_this_process(int, std::stop_token stop)
{
    return stop.stop_requested() ? lock_result::stopped : lock_result::locked;
}
long long read_some(int fd, char* buffer, std::size_t size) { return ::_read(fd, buffer, static_cast<unsigned>(size)); }
static long long write_some(int fd, const char* data, std::size_t size)
{
    return ::_write(fd, data, static_cast<unsigned>(size));
}
bool sync(int fd) { return ::_commit(fd) == 0; }
bool truncate_to(int fd, std::size_t length)
{
    return ::_chsize_s(fd, static_cast<__int64>(length)) == 0 && ::_lseeki64(fd, 0, SEEK_END) >= 0;
}
bool close(int fd) { return ::_close(fd) == 0; }
bool rename_over(const std::string& from, const std::string& to)
{
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
        return true;
    errno = EACCES;
    return false;
}
int process_id() { return _getpid(); }

#else

bool names_other_than_regular(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}
bool is_regular(int fd)
{
    struct stat status;
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}
int open_or_create(const std::string& path)
{
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
}
void make_blocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK); }
int create_new(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644); }
int open_to_read(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); }
int create_private(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}
static bool make_folder(const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0; }
bool link_new(const std::string& from, const std::string& to) { return ::link(from.c_str(), to.c_str()) == 0; }
lock_result lock_for_this_process(int fd, std::stop_token stop)
{
    // A count that was just stopped may take a moment to let go of the file
    // (a job's processes end one after another): wait for it, a little, and
    // not past a signal to stop.
    constexpr auto step = std::chrono::milliseconds(10);
    for (int tries = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0; ++tries) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK || tries == 300)
            return lock_result::in_use;
        if (stop.stop_requested())
            return lock_result::stopped;
        std::this_thread::sleep_for(step);
    }
    return lock_result::locked;
}
long long read_some(int fd, char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}
static long long write_some(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }
bool sync(int fd) { return ::fsync(fd) == 0; }
bool truncate_to(int fd, std::size_t length)
{
    return ::ftruncate(fd, static_cast<off_t>(length)) == 0 && ::lseek(fd, 0, SEEK_END) >= 0;
}
bool close(int fd) { return ::close(fd) == 0; }
bool rename_over(const std::string& from, const std::string& to)
{
    if (std::rename(from.c_str(), to.c_str()) != 0)
        return false;
    // The rename itself reaches the disk with the folder that holds the file.
    const std::size_t slash = to.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}
int process_id() { return static_cast<int>(::getpid()); }

#endif

static bool is_folder(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool make_private_folder(const std::string& path)
{
    if (make_folder(path))
        return true;
    if (errno == EEXIST) {
        if (is_folder(path))
            return true;
        errno = ENOTDIR;
        return false;
    }
    if (errno != ENOENT)
        return false;
    // The folder above it first, then it.
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos || slash == 0 || !make_private_folder(path.substr(0, slash)))
        return false;
    return make_folder(path) || (errno == EEXIST && is_folder(path));
}

bool same_file(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error) && !error)
        return true;
    const auto plain = [](const std::string& path, std::error_code& e) {
        const std::filesystem::path absolute = std::filesystem::absolute(path, e);
        return e ? absolute : std::filesystem::weakly_canonical(absolute, e);
    };
    std::error_code error_a, error_b;
    const std::filesystem::path plain_a = plain(a, error_a);
    const std::filesystem::path plain_b = plain(b, error_b);
    return !error_a && !error_b && plain_a == plain_b;
}

bool write_all(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const long long written = write_some(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace roughpi::tools::file_io
