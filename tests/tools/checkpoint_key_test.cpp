// SPDX-License-Identifier: MIT
// The key of the checkpoints: the key file read strictly, and the user's key
// made once, for the user alone, where the environment says.
#include <roughpi/tools/checkpoint_key.hpp>

#include "support/temp_files.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#if !defined(_WIN32)
#  include <sys/stat.h>
#endif

namespace {

using roughpi::testing::read_file;
using roughpi::testing::temp_path;
using roughpi::tools::checkpoint_refused;
using roughpi::tools::siphash_key;

// The key 00 01 ... 0f.
constexpr siphash_key reference_key{0x0706050403020100ull, 0x0f0e0d0c0b0a0908ull};

TEST(CheckpointKeyTest, KeyFilesAreReadStrictly)
{
    const std::string text = "000102030405060708090a0b0c0d0e0f\n";
    siphash_key key;
    ASSERT_TRUE(roughpi::tools::parse_checkpoint_key(text, key));
    EXPECT_EQ(key.k0, reference_key.k0);
    EXPECT_EQ(key.k1, reference_key.k1);
    EXPECT_EQ(roughpi::tools::checkpoint_key_text(key), text);

    const std::string path = temp_path("key");
    const std::string bad_texts[] = {std::string(),
                                     text.substr(0, 32),
                                     text.substr(1),
                                     text + "\n",
                                     text + "0",
                                     "000102030405060708090A0B0C0D0E0F\n",
                                     "000102030405060708090a0b0c0d0e0f\r\n",
                                     " 00102030405060708090a0b0c0d0e0f\n",
                                     std::string(4096, '0')};
    for (const std::string& bad : bad_texts) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bad;
        try {
            roughpi::tools::read_checkpoint_key(path);
            ADD_FAILURE() << "taken: '" << bad << "'";
        } catch (const checkpoint_refused& refused) {
            EXPECT_EQ(std::string(refused.what()),
                      "checkpoint key '" + path +
                          "' is not a key file: it must hold 32 lowercase hex digits and a "
                          "newline, nothing else");
        }
    }
    std::remove(path.c_str());
    EXPECT_THROW(roughpi::tools::read_checkpoint_key(path), checkpoint_refused);  // none there
    EXPECT_THROW(roughpi::tools::read_checkpoint_key(::testing::TempDir()), checkpoint_refused);
}

#if !defined(_WIN32)
// Run with the environment given (unset where null), then as it was.
template <typename Body>
void with_environment(const char* config_home, const char* home, Body body)
{
    const auto saved = [](const char* name) {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    const std::optional<std::string> old_config = saved("XDG_CONFIG_HOME"), old_home = saved("HOME");
    const auto set = [](const char* name, const std::optional<std::string>& v) {
        if (v)
            ::setenv(name, v->c_str(), 1);
        else
            ::unsetenv(name);
    };
    set("XDG_CONFIG_HOME", config_home ? std::optional<std::string>(config_home) : std::nullopt);
    set("HOME", home ? std::optional<std::string>(home) : std::nullopt);
    body();
    set("XDG_CONFIG_HOME", old_config);
    set("HOME", old_home);
}

TEST(CheckpointKeyTest, TheUsersKeyIsWhereTheEnvironmentSays)
{
    with_environment("/config", "/home/u",
                     [] { EXPECT_EQ(roughpi::tools::user_checkpoint_key_path(), "/config/roughpi/checkpoint.key"); });
    // A relative XDG_CONFIG_HOME is not to be used.
    for (const char* config : {static_cast<const char*>(nullptr), "", "relative"})
        with_environment(config, "/home/u", [] {
            EXPECT_EQ(roughpi::tools::user_checkpoint_key_path(), "/home/u/.config/roughpi/checkpoint.key");
        });
    with_environment(nullptr, nullptr,
                     [] { EXPECT_THROW(roughpi::tools::user_checkpoint_key_path(), checkpoint_refused); });
}

TEST(CheckpointKeyTest, TheUsersKeyIsMadeOnceForTheUserAlone)
{
    const std::string config = temp_path("config");
    std::filesystem::remove_all(config);
    with_environment(config.c_str(), nullptr, [&] {
        const siphash_key first = roughpi::tools::user_checkpoint_key();
        const std::string path = config + "/roughpi/checkpoint.key";
        EXPECT_EQ(read_file(path), roughpi::tools::checkpoint_key_text(first));
        struct stat status;
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u);
        for (const std::string& folder : {config, config + "/roughpi"}) {
            ASSERT_EQ(::stat(folder.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 0777, 0700u) << folder;
        }
        const siphash_key again = roughpi::tools::user_checkpoint_key();
        EXPECT_EQ(again.k0, first.k0);
        EXPECT_EQ(again.k1, first.k1);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(config + "/roughpi"),
                                std::filesystem::directory_iterator()),
                  1);  // no temporary file left

        std::ofstream(path, std::ios::binary | std::ios::trunc) << "short\n";
        EXPECT_THROW(roughpi::tools::user_checkpoint_key(), checkpoint_refused);
        EXPECT_EQ(read_file(path), "short\n");  // a bad key is never replaced
    });
    std::filesystem::remove_all(config);
}
#endif

}  // namespace
