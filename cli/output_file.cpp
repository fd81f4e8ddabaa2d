#include "output_file.hpp"

#include "command_line.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <fcntl.h>
#  include <io.h>
#  include <process.h>
#  include <sys/stat.h>
#  include <windows.h>
#else
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace roughpi::cli {

namespace {

std::string system_error_text() { return std::strerror(errno); }

#if defined(_WIN32)
int process_id() { return _getpid(); }
bool names_other_than_regular(const std::string& path)
{
    struct _stat64 status;
    return ::_stat64(path.c_str(), &status) == 0 && (status.st_mode & _S_IFMT) != _S_IFREG;
}
int create_new(const std::string& path)
{
    return ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long long write_some(int fd, const char* data, std::size_t size) { return ::_write(fd, data, static_cast<unsigned>(size)); }
bool sync_file(int fd) { return ::_commit(fd) == 0; }
int close_file(int fd) { return ::_close(fd); }
bool rename_over(const std::string& from, const std::string& to)
{
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
        return true;
    errno = EACCES;
    return false;
}
void sync_folder_of(const std::string&) {}
#else
int process_id() { return static_cast<int>(::getpid()); }
bool names_other_than_regular(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}
int create_new(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644); }
long long write_some(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }
bool sync_file(int fd) { return ::fsync(fd) == 0; }
int close_file(int fd) { return ::close(fd); }
bool rename_over(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
// The rename itself reaches the disk with the folder that holds the file.
void sync_folder_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
#endif

}  // namespace

output_file::output_file(std::string path)
    : path_(std::move(path)), temporary_(path_ + "." + std::to_string(process_id()) + ".tmp")
{
    std::string shown = "'";
    shown.append(printable(path_)).append("'");
    // Renaming over a device or a folder would replace it, or fail at the end.
    if (names_other_than_regular(path_))
        throw output_refused("--output " + shown + " is not a regular file");
    const int fd = create_new(temporary_);
    if (fd < 0)
        throw output_refused("cannot write --output " + shown + ": " + system_error_text());
    close_file(fd);
    std::remove(temporary_.c_str());
}

void output_file::replace_with(const std::string& text) const
{
    const auto failed = [&] {
        return std::runtime_error("cannot write --output '" + printable(path_) + "': " + system_error_text());
    };
    const int fd = create_new(temporary_);
    if (fd < 0)
        throw failed();
    const char* data = text.data();
    std::size_t left = text.size();
    bool written = true;
    while (written && left > 0) {
        const long long n = write_some(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        if (written) {
            data += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    written = written && sync_file(fd);
    const int saved = errno;
    if (close_file(fd) != 0 && written)
        written = false;
    else
        errno = saved;
    if (!written || !rename_over(temporary_, path_)) {
        const std::runtime_error error = failed();
        std::remove(temporary_.c_str());
        throw error;
    }
    sync_folder_of(path_);
}

}  // namespace roughpi::cli
