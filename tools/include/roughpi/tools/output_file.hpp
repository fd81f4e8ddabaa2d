// SPDX-License-Identifier: MIT
// A file written whole or not at all: --output FILE, for jobs whose standard
// output goes through a launcher that would lose a failed write unseen.
//
// The text goes to a temporary file next to FILE, is made durable (fsync),
// and is then renamed over FILE, so that FILE holds either what it held
// before or every line of the run, never part of them.
#pragma once

#include <stdexcept>
#include <string>

namespace roughpi::tools {

// An --output file that cannot be used; nothing has been counted or written.
class output_refused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class output_file {
public:
    // Checks that FILE can be written: that it is not something other than
    // a regular file (a device, a directory), and that a file can be created
    // next to it. Throws output_refused when not.
    explicit output_file(std::string path);

    // Writes `text` as FILE, as above. Throws std::runtime_error, leaving
    // FILE as it was, when any step fails.
    void replace_with(const std::string& text) const;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string temporary_;  // FILE.<pid>.tmp, next to it
};

}  // namespace roughpi::tools
