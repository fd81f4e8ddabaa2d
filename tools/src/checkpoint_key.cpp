// SPDX-License-Identifier: MIT
// rand_s is declared only with this defined before the C library's headers.
#if defined(_WIN32) && !defined(_CRT_RAND_S)
#  define _CRT_RAND_S
#endif

#include <roughpi/tools/checkpoint_key.hpp>

#include <roughpi/tools/file_io.hpp>
#include <roughpi/tools/printable.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#  include <stdlib.h>
#elif defined(__linux__)
#  include <sys/random.h>
#endif

namespace roughpi::tools {

namespace {

constexpr std::size_t KEY_BYTES = 16;
constexpr std::size_t KEY_TEXT = 2 * KEY_BYTES + 1;  // the digits and the newline

std::string quoted_key(const std::string& path) { return "checkpoint key '" + printable(path) + "'"; }

// `size` bytes from the system's random source; false when it fails.
bool random_bytes(unsigned char* out, std::size_t size)
{
#if defined(_WIN32)
    for (std::size_t i = 0; i < size; i += sizeof(unsigned int)) {
        unsigned int value = 0;
        if (rand_s(&value) != 0)
            return false;
        std::memcpy(out + i, &value, std::min(sizeof(value), size - i));
    }
    return true;
#else
#  if defined(__linux__)
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::getrandom(out + got, size - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got == size)
        return true;
#  endif
    const int fd = file_io::open_to_read("/dev/urandom");
    if (fd < 0)
        return false;
    std::size_t have = 0;
    while (have < size) {
        const long long n = file_io::read_some(fd, reinterpret_cast<char*>(out) + have, size - have);
        if (n <= 0)
            break;
        have += static_cast<std::size_t>(n);
    }
    file_io::close(fd);
    return have == size;
#endif
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

#if !defined(_WIN32)
bool is_absolute(const std::string& path) { return path.starts_with('/'); }
#endif

}  // namespace

bool parse_checkpoint_key(std::string_view text, siphash_key& key)
{
    if (text.size() != KEY_TEXT || text.back() != '\n' || text.find_first_not_of("0123456789abcdef") != KEY_TEXT - 1)
        return false;
    std::uint64_t words[2] = {0, 0};
    for (std::size_t i = 0; i < KEY_BYTES; ++i) {
        const auto digit = [](char c) { return static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10); };
        const std::uint64_t byte = digit(text[2 * i]) << 4 | digit(text[2 * i + 1]);
        words[i / 8] |= byte << (8 * (i % 8));
    }
    key = {words[0], words[1]};
    return true;
}

std::string checkpoint_key_text(const siphash_key& key)
{
    std::string text;
    for (std::size_t i = 0; i < KEY_BYTES; ++i) {
        const unsigned byte = static_cast<unsigned>(((i < 8 ? key.k0 : key.k1) >> (8 * (i % 8))) & 0xff);
        text.push_back("0123456789abcdef"[byte >> 4]);
        text.push_back("0123456789abcdef"[byte & 15]);
    }
    return text + "\n";
}

siphash_key read_checkpoint_key(const std::string& path)
{
    const std::string name = quoted_key(path);
    if (file_io::names_other_than_regular(path))
        throw checkpoint_refused(name + " is not a regular file");
    const int fd = file_io::open_to_read(path);
    if (fd < 0)
        throw checkpoint_refused("cannot read " + name + ": " + file_io::error_text());
    // A byte more than a key file holds, to tell one that is longer.
    std::string text;
    char buffer[KEY_TEXT + 1];
    bool failed = !file_io::is_regular(fd);
    if (!failed)
        file_io::make_blocking(fd);
    while (!failed && text.size() <= KEY_TEXT) {
        const long long got = file_io::read_some(fd, buffer, sizeof(buffer) - text.size());
        if (got < 0)
            failed = true;
        if (got <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string why = failed ? file_io::error_text() : std::string();
    file_io::close(fd);
    if (failed)
        throw checkpoint_refused("cannot read " + name + (why.empty() ? std::string() : ": " + why));
    siphash_key key;
    if (!parse_checkpoint_key(text, key))
        throw checkpoint_refused(name +
                                 " is not a key file: it must hold 32 lowercase hex digits and a newline, "
                                 "nothing else");
    return key;
}

std::string user_checkpoint_key_path()
{
#if defined(_WIN32)
    const std::string app_data = environment("APPDATA");
    if (app_data.empty())
        throw checkpoint_refused("no folder for the checkpoint key: APPDATA is not set; give a key with "
                                 "--checkpoint-key");
    return app_data + "\\roughpi\\checkpoint.key";
#else
    const std::string config = environment("XDG_CONFIG_HOME");
    if (is_absolute(config))
        return config + "/roughpi/checkpoint.key";
    const std::string home = environment("HOME");
    if (!is_absolute(home))
        throw checkpoint_refused("no folder for the checkpoint key: neither XDG_CONFIG_HOME nor HOME is set; give a "
                                 "key with --checkpoint-key");
    return home + "/.config/roughpi/checkpoint.key";
#endif
}

siphash_key user_checkpoint_key()
{
    const std::string path = user_checkpoint_key_path();
    const std::string name = quoted_key(path);
    if (file_io::names_other_than_regular(path))
        return read_checkpoint_key(path);  // which says what it is instead
    if (const int fd = file_io::open_to_read(path); fd >= 0) {
        file_io::close(fd);
        return read_checkpoint_key(path);
    }
    if (errno != ENOENT)
        throw checkpoint_refused("cannot read " + name + ": " + file_io::error_text());
    // None yet: a new one, written whole under a name of its own, then given
    // the key's name unless another program did so first.
    const std::size_t slash = path.find_last_of("/\\");
    if (!file_io::make_private_folder(path.substr(0, slash)))
        throw checkpoint_refused("cannot create " + name + ": " + file_io::error_text());
    unsigned char bytes[KEY_BYTES];
    if (!random_bytes(bytes, sizeof(bytes)))
        throw checkpoint_refused("cannot create " + name + ": the system gave no random bytes");
    std::uint64_t words[2] = {0, 0};
    for (std::size_t i = 0; i < KEY_BYTES; ++i)
        words[i / 8] |= static_cast<std::uint64_t>(bytes[i]) << (8 * (i % 8));
    const siphash_key key{words[0], words[1]};
    const std::string text = checkpoint_key_text(key);
    const std::string temporary = path + "." + std::to_string(file_io::process_id()) + ".tmp";
    std::remove(temporary.c_str());
    const int fd = file_io::create_private(temporary);
    bool written = fd >= 0 && file_io::write_all(fd, text.data(), text.size()) && file_io::sync(fd);
    if (fd >= 0 && !file_io::close(fd))
        written = false;
    if (!written) {
        const std::string why = file_io::error_text();
        std::remove(temporary.c_str());
        throw checkpoint_refused("cannot create " + name + ": " + why);
    }
    const bool linked = file_io::link_new(temporary, path);
    const int link_error = errno;
    std::remove(temporary.c_str());
    if (linked)
        return key;
    if (link_error == EEXIST)
        return read_checkpoint_key(path);  // another program's, made in the meantime
    errno = link_error;
    throw checkpoint_refused("cannot create " + name + ": " + file_io::error_text());
}

siphash_key checkpoint_key_for(const std::string& path)
{
    return path.empty() ? user_checkpoint_key() : read_checkpoint_key(path);
}

}  // namespace roughpi::tools
