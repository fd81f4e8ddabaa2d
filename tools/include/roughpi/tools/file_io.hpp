// SPDX-License-Identifier: MIT
// The few file operations the checkpoint and the output file need, on POSIX
// and on Windows: plain file descriptors, every failure reported (errno set),
// nothing buffered.
#pragma once

#include <cstddef>
#include <stop_token>
#include <string>

namespace roughpi::tools::file_io {

// The text of errno.
std::string error_text();

// True when `path` names something that exists and is not a regular file (a
// device, a pipe, a folder, a socket).
bool names_other_than_regular(const std::string& path);
// True when `fd` is open on a regular file.
bool is_regular(int fd);

// Opens `path` for reading and writing, creating it (mode 0644) when it does
// not exist. A FIFO does not block the open: check is_regular() before
// reading, then make_blocking(). -1 on failure.
int open_or_create(const std::string& path);
void make_blocking(int fd);
// Creates `path`, which must not exist, for writing. -1 on failure.
int create_new(const std::string& path);

// Opens `path` for reading only. -1 on failure.
int open_to_read(const std::string& path);
// Creates `path`, which must not exist, for writing, readable and writable
// by its owner alone (0600). -1 on failure.
int create_private(const std::string& path);
// Creates the folder `path` for its owner alone (0700), and the folders
// above it that are missing (the same way); true when it exists already.
bool make_private_folder(const std::string& path);
// Gives the file `from` the name `to` as well, unless `to` exists (EEXIST):
// atomically, so that of two processes doing so at once one wins and the
// other sees the winner's file whole. (Windows: renames `from` to `to`.)
bool link_new(const std::string& from, const std::string& to);

// True when `a` and `b` name the same file: the same file when both exist,
// else the same path once made absolute and plain.
bool same_file(const std::string& a, const std::string& b);

enum class lock_result { locked, in_use, stopped };
// Locks `fd` for this process alone, waiting up to three seconds for another
// to let go of it, and looking at `stop` every 10 ms. (Windows: no lock.)
lock_result lock_for_this_process(int fd, std::stop_token stop = {});

// The bytes read (0 at the end, -1 on failure); EINTR is retried.
long long read_some(int fd, char* buffer, std::size_t size);
// Writes all of it; false on failure.
bool write_all(int fd, const char* data, std::size_t size);
// Waits until what was written is on the disk (fsync); false on failure.
bool sync(int fd);
// Cuts the file to `length` bytes and goes to its end; false on failure.
bool truncate_to(int fd, std::size_t length);
bool close(int fd);

// Renames `from` over `to` (replacing it), then makes the rename durable
// where the system allows (fsync of the folder). False on failure.
bool rename_over(const std::string& from, const std::string& to);

// This process's id, for names of temporary files.
int process_id();

}  // namespace roughpi::tools::file_io
