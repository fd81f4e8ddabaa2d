// SPDX-License-Identifier: MIT
// The checkpoint file: read back after every kind of damage (refused, or
// repaired where a kill cut its last line) and of tampering, with the key or
// without it, and the same split on every machine.
#include <roughpi/tools/checkpoint.hpp>
#include <roughpi/tools/siphash.hpp>

#include "support/temp_files.hpp"

#include <roughpi/roughpi.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#  include <sys/stat.h>
#endif

namespace {

using roughpi::testing::read_file;
using roughpi::testing::temp_path;
using roughpi::tools::checkpoint;
using roughpi::tools::checkpoint_refused;
using roughpi::tools::siphash_key;

void write_file(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string hex16(std::uint64_t v)
{
    char text[17];
    std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(v));
    return text;
}

// The line of `content` with its MAC under `key`, as the holder of the key
// would write it: bound to the first line's MAC `header_mac`, or for the
// first line itself with none.
std::string with_mac(const siphash_key& key, const std::string& content, const std::string& header_mac = "")
{
    const std::string message = header_mac.empty() ? content : header_mac + "\n" + content;
    return content + " mac=" + hex16(roughpi::tools::siphash24(key, message)) + "\n";
}

// The MAC of the first line of `text`.
std::string header_mac_of(const std::string& text)
{
    const std::string first = text.substr(0, text.find('\n'));
    return first.substr(first.rfind(" mac=") + 5);
}

class CheckpointTest : public ::testing::Test {
protected:
    const std::int64_t x = 20'000'000'000;
    const std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(x);
    const std::string path = temp_path("checkpoint.txt");
    const siphash_key key{0x0706050403020100ull, 0x0f0e0d0c0b0a0908ull};

    void SetUp() override { std::remove(path.c_str()); }
    void TearDown() override { std::remove(path.c_str()); }

    // A file that holds the first `count` pieces, and its text.
    std::string file_with(std::size_t count)
    {
        std::remove(path.c_str());
        checkpoint file(path, x, pieces, key);
        for (std::size_t i = 0; i < count; ++i) {
            roughpi::prime_count_sums piece_sums;
            roughpi::prime_count_add_piece(pieces[i], piece_sums);
            file.record(i, piece_sums);
        }
        file.flush();
        return read_file(path);
    }

    // Why the file of `text` is refused ("not refused" when it is not).
    std::string refusal_of(const std::string& text, const siphash_key& with)
    {
        write_file(path, text);
        try {
            checkpoint file(path, x, pieces, with);
        } catch (const checkpoint_refused& refused) {
            return refused.what();
        }
        return "not refused";
    }
    std::string refusal_of(const std::string& text) { return refusal_of(text, key); }

    // pi(x) from what the file at `path` holds plus the pieces it lacks.
    std::int64_t finish_from_file()
    {
        checkpoint file(path, x, pieces, key);
        roughpi::prime_count_sums sums = file.sums();
        for (const std::size_t i : file.missing())
            roughpi::prime_count_add_piece(pieces[i], sums);
        return roughpi::prime_count_from_sums(sums);
    }
};

TEST_F(CheckpointTest, HoldsWhatWasRecordedAndResumesExactly)
{
    ASSERT_GT(pieces.size(), 6u);
    const std::string text = file_with(5);
    EXPECT_EQ(
        text.rfind("roughpi-checkpoint 3 roughpi=" + std::string(roughpi::version()) + " x=20000000000 pieces=", 0), 0u)
        << text;
    checkpoint file(path, x, pieces, key);
    for (std::size_t i = 0; i < pieces.size(); ++i)
        EXPECT_EQ(file.holds(i), i < 5) << "piece " << i;
    EXPECT_EQ(file.missing().size(), pieces.size() - 5);
    EXPECT_EQ(file.sums().pieces(), 5u);
    EXPECT_GT(file.share_held(), 0.0);
    EXPECT_LT(file.share_held(), 1.0);
}

TEST_F(CheckpointTest, ALastLineCutShortIsDroppedAndCountedAgain)
{
    const std::string whole = file_with(4);
    const std::size_t last_line = whole.rfind('\n', whole.size() - 2) + 1;
    const std::int64_t pi = roughpi::prime_count(x);
    // Cut anywhere in the last line, its newline included, then resume.
    for (std::size_t cut = last_line; cut < whole.size(); ++cut) {
        write_file(path, whole.substr(0, cut));
        {
            checkpoint file(path, x, pieces, key);
            EXPECT_EQ(file.sums().pieces(), 3u) << "cut at " << cut;
            EXPECT_FALSE(file.holds(3));
        }
        EXPECT_EQ(read_file(path), whole.substr(0, last_line)) << "the cut line is gone, cut at " << cut;
        EXPECT_EQ(finish_from_file(), pi) << "cut at " << cut;
    }
    // Cut inside the first line, before any piece: started afresh.
    for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{30}, whole.find('\n')}) {
        write_file(path, whole.substr(0, cut));
        checkpoint file(path, x, pieces, key);
        EXPECT_EQ(file.sums().pieces(), 0u) << "cut at " << cut;
        EXPECT_EQ(read_file(path), whole.substr(0, whole.find('\n') + 1)) << "cut at " << cut;
    }
}

TEST_F(CheckpointTest, EveryDamagedByteIsRefusedAndNothingIsTaken)
{
    const std::string whole = file_with(3);
    for (std::size_t at = 0; at < whole.size(); ++at) {
        std::string damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ (at % 2 ? 0x01 : 0x20));
        write_file(path, damaged);
        if (at == whole.size() - 1) {
            // The last newline gone: the line looks cut short, and is dropped.
            checkpoint file(path, x, pieces, key);
            EXPECT_EQ(file.sums().pieces(), 2u);
            continue;
        }
        EXPECT_THROW(checkpoint(path, x, pieces, key), checkpoint_refused) << "byte " << at << " of " << whole.size();
        EXPECT_EQ(read_file(path), damaged) << "a refused file is left as it was, byte " << at;
    }
}

TEST_F(CheckpointTest, FilesOfOtherCountsVersionsAndSplitsAreRefused)
{
    const std::string whole = file_with(2);
    const auto refusal = [&](const std::string& text, std::int64_t for_x) -> std::string {
        write_file(path, text);
        try {
            const std::vector<roughpi::prime_count_piece> other = roughpi::prime_count_piece_list(for_x);
            checkpoint file(path, for_x, other, key);
        } catch (const checkpoint_refused& refused) {
            EXPECT_EQ(read_file(path), text);
            return refused.what();
        }
        return "not refused";
    };
    EXPECT_NE(refusal(whole, x + 1).find("belongs to the count of 20000000000, not of 20000000001"), std::string::npos);
    EXPECT_NE(refusal("roughpi-checkpoint 4 whatever comes in version 4\n", x)
                  .find("is in format version 4; this "
                        "roughpi reads version 3"),
              std::string::npos);
    // Version 1, whose lines are bound to nothing, and version 2, whose
    // checks anyone can work out, are not taken up.
    EXPECT_NE(refusal("roughpi-checkpoint 1 roughpi=0.2.0 x=20000000000 pieces=27 split=7f3c check=0\n", x)
                  .find("is in format version 1, which this roughpi no longer takes up: its lines are not bound to "
                        "their count. Remove it, and the count starts afresh"),
              std::string::npos);
    EXPECT_NE(refusal("roughpi-checkpoint 2 roughpi=0.3.0 x=20000000000 pieces=27 split=7f3c check=0\n", x)
                  .find("is in format version 2, which this roughpi no longer takes up: its lines are checked by a "
                        "hash that anyone can work out anew. Remove it, and the count starts afresh"),
              std::string::npos);
    EXPECT_NE(refusal("#!/bin/sh\necho precious\n", x).find("is not a roughpi checkpoint"), std::string::npos);
    EXPECT_NE(refusal(std::string("\x7f"
                                  "ELF\x02\x01",
                                  6),
                      x)
                  .find("is not a roughpi checkpoint"),
              std::string::npos);

    // Another split, and another writer, each with a first line that checks.
    const auto header_with = [&](const std::string& from, const std::string& to) {
        std::string line = whole.substr(0, whole.find(" mac="));
        line.replace(line.find(from), from.size(), to);
        return with_mac(key, line);
    };
    const std::string pieces_field = "pieces=" + std::to_string(pieces.size());
    EXPECT_NE(refusal(header_with(pieces_field, "pieces=7"), x).find("belongs to another split of the count (7 pieces"),
              std::string::npos);
    EXPECT_NE(refusal(header_with("roughpi=" + std::string(roughpi::version()), "roughpi=0.1.9"), x)
                  .find("was written by roughpi 0.1.9; this is roughpi"),
              std::string::npos);
}

// A line is bound to its file's first line, names its piece by index and
// fingerprint, and holds exactly the one term of that piece, once. Lines
// that fail any of that refuse the file, with the line named, even when
// their MAC was made with the key.
TEST_F(CheckpointTest, LinesFromOtherCountsAndForgedLinesAreRefused)
{
    const std::string whole = file_with(3);
    const std::string header = whole.substr(0, whole.find('\n') + 1);
    const std::string first_record = whole.substr(header.size(), whole.find('\n', header.size()) + 1 - header.size());
    const auto forged = [&](const std::string& content) { return with_mac(key, content, header_mac_of(header)); };

    // A record of the same piece index from the checkpoint of another x.
    const std::int64_t other_x = 2 * x;
    const std::vector<roughpi::prime_count_piece> other_pieces = roughpi::prime_count_piece_list(other_x);
    const std::string other_path = temp_path("other.txt");
    std::remove(other_path.c_str());
    {
        checkpoint other(other_path, other_x, other_pieces, key);
        roughpi::prime_count_sums piece_sums;
        roughpi::prime_count_add_piece(other_pieces[0], piece_sums);
        other.record(0, piece_sums);
    }
    const std::string other_text = read_file(other_path);
    std::remove(other_path.c_str());
    const std::string foreign_line = other_text.substr(other_text.find('\n') + 1);
    EXPECT_EQ(refusal_of(header + foreign_line + whole.substr(header.size() + first_record.size())),
              "checkpoint '" + path +
                  "' is damaged: line 2 does not check: it was changed, or it comes from another "
                  "checkpoint");

    // Forged lines whose check is right.
    const std::string content = first_record.substr(0, first_record.find(" mac="));
    const std::vector<std::string> words = [&] {
        std::vector<std::string> w;
        std::istringstream in(content);
        for (std::string word; in >> word;)
            w.push_back(word);
        return w;
    }();
    ASSERT_EQ(words.size(), 4u) << content;  // piece <index> <fingerprint> <k>:<low>:<high>
    const std::string k = words[3].substr(0, words[3].find(':'));
    const std::string other_k = k == "1" ? "2" : "1";
    const std::string missing_index = std::to_string(pieces.size() - 1);
    const struct {
        std::string line;
        std::string message;
    } cases[] = {
        {forged("piece " + missing_index), "line 2 is not the record of a piece"},
        {forged("piece " + missing_index + " " + words[2]),
         "line 2, piece " + missing_index + ": the fingerprint is not that of this count's piece"},
        {forged(words[0] + " " + words[1] + " " + words[2]),
         "line 2, piece " + words[1] +
             ": a record of this piece "
             "holds 1 term, this line 0"},
        {forged(content + " " + words[3]), "holds 1 term, this line 2"},
        {forged(words[0] + " " + words[1] + " " + words[2] + " " + other_k + words[3].substr(k.size())),
         ": the piece adds to term " + k + ", not to term " + other_k},
        {forged(words[0] + " " + words[1] + " " + words[2] + " " + k + ":0000000000000000:0000000000000001"),
         ": it holds a value that the piece cannot have"},
        {forged("piece 1 " + words[2] + " " + words[3]), "line 2, piece 1: the fingerprint is not"},
    };
    for (const auto& c : cases) {
        const std::string message = refusal_of(header + c.line + whole.substr(header.size() + first_record.size()));
        EXPECT_NE(message.find(c.message), std::string::npos) << c.line << message;
        EXPECT_EQ(message.rfind("checkpoint '" + path + "' is damaged: line 2", 0), 0u) << message;
    }
    // The same piece twice.
    EXPECT_NE(refusal_of(whole + first_record).find("piece " + words[1] + " is in it twice, on lines 2 and 5"),
              std::string::npos);
}

// Whoever can write the file but not read the key: a term changed, with the
// line's check worked out anew as the FNV-1a hash of version 2 was, or with
// a MAC under a key of the forger's own, does not check; nor does a first
// line that claims this key's id; and a whole file written with another key
// is told as such.
TEST_F(CheckpointTest, WithoutTheKeyNoLineCanBeMadeThatChecks)
{
    const std::string whole = file_with(2);
    const std::string header = whole.substr(0, whole.find('\n') + 1);
    const std::size_t record_end = whole.find('\n', header.size()) + 1;
    const std::string content = whole.substr(header.size(), whole.find(" mac=", header.size()) - header.size());
    const std::string rest = whole.substr(record_end);
    // The term's low word raised by 1: "piece <i> <fingerprint> <k>:<low>:<high>".
    std::string raised = content;
    const std::size_t low = raised.find(':') + 1;
    raised.replace(low, 16, hex16(std::stoull(raised.substr(low, 16), nullptr, 16) + 1));
    ASSERT_NE(raised, content);

    const auto fnv = [](const std::string& text, std::uint64_t h) {
        for (const char c : text)
            h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
        return h;
    };
    const std::uint64_t seed = fnv(header.substr(0, header.find(" mac=")), 0xcbf29ce484222325ull);
    const siphash_key forger{0x1111111111111111ull, 0x2222222222222222ull};
    const std::string does_not_check = "checkpoint '" + path +
        "' is damaged: line 2 does not check: it was changed, "
        "or it comes from another checkpoint";
    for (const std::string& line : {raised + " mac=" + hex16(fnv(raised, seed)) + "\n",
                                    with_mac(forger, raised, header_mac_of(header)), with_mac(forger, raised)})
        EXPECT_EQ(refusal_of(header + line + rest), does_not_check) << line;

    const std::string header_content = header.substr(0, header.find(" mac="));
    EXPECT_EQ(refusal_of(with_mac(forger, header_content) + rest),
              "checkpoint '" + path + "' is damaged: its first line does not check");
    EXPECT_EQ(refusal_of(whole, forger),
              "checkpoint '" + path + "' was written with another key: give it with --checkpoint-key");
    EXPECT_EQ(read_file(path), whole);
}

// The split, and so a checkpoint, is the same on every machine and build
// (compiler, flags, fused multiply-adds, operating system, architecture):
// the file of one can be taken up by any other.
TEST(CheckpointSplitTest, TheSplitHashIsTheSameEverywhere)
{
    const struct {
        std::int64_t x;
        std::size_t pieces;
        std::uint64_t split;
    } golden[] = {
        {10'000'000'000, 17, 0x7c1c40cef0b89848ull},
        {1'000'000'000'000, 88, 0x835ffb551301eca1ull},
        {10'000'000'000'000'000, 5382, 0x818866a5f0daf49cull},
        {1'000'000'000'000'000'000, 5048, 0xac7845bfcdd90710ull},
        {9'223'372'036'854'775'807, 4949, 0xd98a6a28de7fa7ceull},
    };
    for (const auto& g : golden) {
        const std::vector<roughpi::prime_count_piece> pieces = roughpi::prime_count_piece_list(g.x);
        EXPECT_EQ(pieces.size(), g.pieces) << "x = " << g.x;
        EXPECT_EQ(roughpi::tools::split_hash(pieces), g.split) << "x = " << g.x;
    }
}

#if !defined(_WIN32)
// Devices, pipes and folders are no checkpoints, nor is a file longer than
// any checkpoint of the count: refused at once, nothing read without end.
TEST_F(CheckpointTest, OnlyRegularFilesOfAFittingLengthAreTaken)
{
    for (const char* device : {"/dev/null", "/dev/zero", "/dev/full"})
        EXPECT_THROW(checkpoint(device, x, pieces, key), checkpoint_refused) << device;
    const std::string fifo = temp_path("fifo");
    std::remove(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(checkpoint(fifo, x, pieces, key), checkpoint_refused);
    std::remove(fifo.c_str());
    EXPECT_THROW(checkpoint(::testing::TempDir(), x, pieces, key), checkpoint_refused);

    const std::string whole = file_with(1);
    write_file(path, whole + std::string(pieces.size() * 100, '#'));
    try {
        checkpoint file(path, x, pieces, key);
        ADD_FAILURE() << "an overlong file was taken";
    } catch (const checkpoint_refused& refused) {
        EXPECT_NE(std::string(refused.what()).find("is longer than any checkpoint of this count"), std::string::npos)
            << refused.what();
    }
}

TEST_F(CheckpointTest, OneCountAtATime)
{
    checkpoint first(path, x, pieces, key);
    EXPECT_THROW(checkpoint(path, x, pieces, key), checkpoint_refused);
}
#endif

}  // namespace
