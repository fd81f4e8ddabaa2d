// SPDX-License-Identifier: MIT
// The key that a checkpoint's lines are authenticated with (see
// checkpoint_format.hpp): the user's own, so that whoever can write a
// checkpoint file but cannot read the key cannot make a line that checks.
//
// A key file holds 16 random bytes as 32 lowercase hex digits and a newline,
// nothing else. The user's key is
//
//   $XDG_CONFIG_HOME/roughpi/checkpoint.key   (when XDG_CONFIG_HOME is an absolute path)
//   $HOME/.config/roughpi/checkpoint.key      (otherwise)
//   %APPDATA%\roughpi\checkpoint.key          (Windows)
//
// created on first use from the system's random source: the folder for the
// user alone (0700), the file readable by the user alone (0600), written
// whole to a temporary file and then linked into place, so that of two
// programs starting at once both end up with the same key.
#pragma once

#include <roughpi/tools/checkpoint_format.hpp>
#include <roughpi/tools/siphash.hpp>

#include <string>
#include <string_view>

namespace roughpi::tools {

// The key in `text`, the content of a key file; false when it is not
// exactly 32 lowercase hex digits and a newline.
bool parse_checkpoint_key(std::string_view text, siphash_key& key);
// The content of a key file for `key`.
std::string checkpoint_key_text(const siphash_key& key);

// The key in the file at `path`. Throws checkpoint_refused when it cannot
// be read or is not a key file.
siphash_key read_checkpoint_key(const std::string& path);

// Where the user's key is, as above. Throws checkpoint_refused when the
// environment names no folder for it.
std::string user_checkpoint_key_path();
// The user's key, created as above when there is none yet. Throws
// checkpoint_refused when it cannot be created or read.
siphash_key user_checkpoint_key();

// The key of --checkpoint-key FILE, or the user's when `path` is empty.
siphash_key checkpoint_key_for(const std::string& path);

}  // namespace roughpi::tools
