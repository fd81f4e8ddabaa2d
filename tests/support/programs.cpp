// SPDX-License-Identifier: MIT
#include "support/programs.hpp"

#include "support/temp_files.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#if !defined(_WIN32)
#  include <sys/wait.h>
#endif

#ifndef ROUGHPI_PROGRAM_EMULATOR
#  define ROUGHPI_PROGRAM_EMULATOR ""
#endif

namespace roughpi::testing {

namespace {

class own_config_folder : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::filesystem::remove_all(config_folder());
        std::filesystem::create_directories(config_folder());
#if defined(_WIN32)
        ::_putenv_s("APPDATA", config_folder().c_str());
        ::_putenv_s("XDG_CONFIG_HOME", config_folder().c_str());
#else
        ::setenv("XDG_CONFIG_HOME", config_folder().c_str(), 1);
#endif
    }
    void TearDown() override { std::filesystem::remove_all(config_folder()); }
};

[[maybe_unused]] ::testing::Environment* const own_config = ::testing::AddGlobalTestEnvironment(new own_config_folder);

}  // namespace

std::string config_folder()
{
    static const std::string folder = ::testing::TempDir() + "roughpi-" + std::to_string(ROUGHPI_GETPID()) + "-config";
    return folder;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::string program_command(const char* path) { return std::string(ROUGHPI_PROGRAM_EMULATOR) + quoted(path); }

outcome run_command(const std::string& command, const std::string& stdout_path)
{
    const std::string out_path = temp_path("out.txt");
    const std::string err_path = temp_path("err.txt");
    const std::string to = stdout_path.empty() ? out_path : stdout_path;
    const int raw = std::system((command + " > " + quoted(to) + " 2> " + quoted(err_path) + " < /dev/null").c_str());
    outcome result;
#if defined(_WIN32)
    result.status = raw;
#else
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    if (stdout_path.empty())
        result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

outcome run_program(const char* path, const std::vector<std::string>& args, const std::string& stdout_path)
{
    std::string command = program_command(path);
    for (const std::string& arg : args)
        command.append(" ").append(quoted(arg));
    return run_command(command, stdout_path);
}

bool have_script() { return std::system("script --version > /dev/null 2>&1") == 0; }

bool is_timed_count(const std::string& line, const std::string& count)
{
    const std::string head = count + "  (";
    const auto point = line.find('.');
    return line.rfind(head, 0) == 0 && point != std::string::npos && point > head.size() &&
        line.find_first_not_of("0123456789", head.size()) == point &&
        line.find_first_not_of("0123456789", point + 1) == point + 4 && line.substr(point + 4) == " s)";
}

}  // namespace roughpi::testing
