// SPDX-License-Identifier: MIT
// roughpi --gpu as a user runs it: through the host emulation of the device
// (--gpu=emulate) where there is none, a count timed, a checkpoint half
// filled by the CPU and finished on the device and the other way round, and
// Ctrl-C; and --gpu itself on a machine without a device, which must say
// what is missing and print no number.
#include "support/programs.hpp"
#include "support/temp_files.hpp"

#include <roughpi/gpu.hpp>
#include <roughpi/parallel.hpp>
#include <roughpi/tools/checkpoint.hpp>
#include <roughpi/tools/checkpoint_key.hpp>
#include <roughpi/tools/count_engine.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using roughpi::testing::outcome;
using roughpi::testing::run_command;
using roughpi::testing::temp_path;

std::string roughpi_program() { return roughpi::testing::program_command(ROUGHPI_CLI_PROGRAM); }

TEST(GpuProgramTest, AnEmulatedCountIsTimedAsAnyOther)
{
    const outcome r = run_command(roughpi_program() + " --gpu=emulate --time 1e11 100");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::size_t newline = r.out.find('\n');
    ASSERT_NE(newline, std::string::npos) << r.out;
    EXPECT_TRUE(roughpi::testing::is_timed_count(r.out.substr(0, newline), "4118054813")) << r.out;
    EXPECT_TRUE(roughpi::testing::is_timed_count(r.out.substr(newline + 1, r.out.size() - newline - 2), "25")) << r.out;
}

TEST(GpuProgramTest, WithoutADeviceItSaysWhatIsMissingAndPrintsNoNumber)
{
    if (roughpi::gpu_device_count() > 0)
        GTEST_SKIP() << "this machine has a CUDA device";
    const outcome r = run_command(roughpi_program() + " --gpu 1e12");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("roughpi: no CUDA device: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

// Half the pieces counted here, by one engine, into a checkpoint; the
// program finishes the count with the other.
TEST(GpuProgramTest, ACheckpointHalfFilledByOneIsFinishedByTheOther)
{
    const std::int64_t x = 100'000'000'000;
    const std::string key_path = temp_path("key");
    std::ofstream(key_path) << "00112233445566778899aabbccddeeff\n";
    const roughpi::tools::siphash_key key = roughpi::tools::read_checkpoint_key(key_path);
    const std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(x);
    for (const bool gpu_first : {false, true}) {
        SCOPED_TRACE(gpu_first ? "device, then CPU" : "CPU, then device");
        const std::string path = temp_path("half.txt");
        std::remove(path.c_str());
        {
            roughpi::tools::checkpoint file(path, x, pieces, key);
            std::vector<std::size_t> half;
            for (std::size_t i = 0; i < pieces.size(); i += 2)
                half.push_back(i);
            roughpi::tools::count_engine engine;
            engine.gpu = gpu_first;
            engine.gpu_emulate = true;
            roughpi::tools::count_pieces(
                engine, pieces, half,
                [&](std::size_t index, const roughpi::prime_count_sums& sums) { file.record(index, sums); }, {}, {});
            file.flush();
            ASSERT_EQ(file.missing().size(), pieces.size() / 2);
        }
        const outcome r = run_command(roughpi_program() + (gpu_first ? "" : " --gpu=emulate") + " --checkpoint '" +
                                      path + "' --checkpoint-key '" + key_path + "' 1e11");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "4118054813\n");
        std::remove(path.c_str());
    }
    std::remove(key_path.c_str());
}

// SIGINT ends an emulated count at once, with the status of a signal, no
// number, and the pieces finished so far in the checkpoint.
TEST(GpuProgramTest, CtrlCEndsTheCountAtOnce)
{
    const std::string path = temp_path("interrupted.txt");
    std::remove(path.c_str());
    const auto start = std::chrono::steady_clock::now();
    const outcome r = run_command("timeout --preserve-status -s INT 1 " + roughpi_program() +
                                  " --gpu=emulate --checkpoint '" + path + "' 1e15");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(roughpi::testing::read_file(path).rfind("roughpi-checkpoint ", 0), 0u);
    std::remove(path.c_str());
}

}  // namespace
