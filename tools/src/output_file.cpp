// SPDX-License-Identifier: MIT
#include <roughpi/tools/output_file.hpp>

#include <roughpi/tools/file_io.hpp>
#include <roughpi/tools/printable.hpp>

#include <cerrno>
#include <cstdio>

namespace roughpi::tools {

output_file::output_file(std::string path)
    : path_(std::move(path))
    , temporary_(path_ + "." + std::to_string(file_io::process_id()) + ".tmp")
{
    std::string shown = "'";
    shown.append(printable(path_)).append("'");
    // Renaming over a device or a folder would replace it, or fail at the end.
    if (file_io::names_other_than_regular(path_))
        throw output_refused("--output " + shown + " is not a regular file");
    const int fd = file_io::create_new(temporary_);
    if (fd < 0)
        throw output_refused("cannot write --output " + shown + ": " + file_io::error_text());
    file_io::close(fd);
    std::remove(temporary_.c_str());
}

void output_file::replace_with(const std::string& text) const
{
    const int fd = file_io::create_new(temporary_);
    bool written = fd >= 0 && file_io::write_all(fd, text.data(), text.size()) && file_io::sync(fd);
    const int failure = errno;
    if (fd >= 0 && !file_io::close(fd) && written)
        written = false;
    else
        errno = failure;
    if (!written || !file_io::rename_over(temporary_, path_)) {
        const std::string why = file_io::error_text();
        std::remove(temporary_.c_str());
        throw std::runtime_error("cannot write --output '" + printable(path_) + "': " + why);
    }
}

}  // namespace roughpi::tools
