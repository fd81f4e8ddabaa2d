// SPDX-License-Identifier: MIT
#include <roughpi/tools/checkpoint_format.hpp>

#include <roughpi/tools/printable.hpp>

#include <roughpi/error.hpp>
#include <roughpi/version.hpp>

#include <array>
#include <charconv>

namespace roughpi::tools {

namespace {

constexpr std::string_view MAGIC = "roughpi-checkpoint";
constexpr std::string_view MAC = " mac=";
constexpr std::size_t HEX = 16;  // digits of a 64-bit word
constexpr std::size_t KEY_ID_HEX = 8;

// FNV-1a, 64 bits, from `h` on: for the split's identity, which is no secret.
constexpr std::uint64_t FNV_OFFSET = 0xcbf29ce484222325ull;
std::uint64_t hash_text(std::string_view text, std::uint64_t h = FNV_OFFSET)
{
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

std::string hex16(std::uint64_t v)
{
    char text[HEX];
    for (int i = HEX - 1; i >= 0; --i, v >>= 4)
        text[i] = "0123456789abcdef"[v & 15];
    return std::string(text, HEX);
}

// Exactly as hex16 writes it: sixteen lowercase digits.
bool parse_hex16(std::string_view text, std::uint64_t& value)
{
    if (text.size() != HEX || text.find_first_not_of("0123456789abcdef") != std::string_view::npos)
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

// Exactly as std::to_string writes a number that is not negative: no sign,
// no leading zero.
template <typename Integer>
bool parse_decimal(std::string_view text, Integer& value)
{
    if (text.empty() || text.front() < '0' || text.front() > '9' || (text.front() == '0' && text.size() > 1))
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// The words of a line, split at single spaces.
std::vector<std::string_view> words_of(std::string_view line)
{
    std::vector<std::string_view> words;
    for (std::size_t start = 0; start <= line.size();) {
        const std::size_t space = line.find(' ', start);
        const std::size_t end = space == std::string_view::npos ? line.size() : space;
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// The MAC of a line's content: of the content alone for the first line
// (`bound_to` empty), else of the first line's MAC and the content.
std::uint64_t mac_of(const siphash_key& key, std::string_view bound_to, std::string_view content)
{
    if (bound_to.empty())
        return siphash24(key, content);
    std::string message(bound_to);
    message.append("\n").append(content);
    return siphash24(key, message);
}

// "<content> mac=<16 hex>" whose MAC is right: true, with the content, when
// it is so.
bool split_mac(std::string_view line, const siphash_key& key, std::string_view bound_to, std::string_view& content)
{
    const std::size_t at = line.rfind(MAC);
    std::uint64_t mac = 0;
    if (at == std::string_view::npos || !parse_hex16(line.substr(at + MAC.size()), mac))
        return false;
    content = line.substr(0, at);
    return mac_of(key, bound_to, content) == mac;
}

std::size_t decimal_digits(std::size_t n) { return std::to_string(n).size(); }

}  // namespace

std::uint64_t split_hash(std::span<const prime_count_piece> pieces)
{
    std::uint64_t h = hash_text(std::to_string(pieces.size()));
    for (const prime_count_piece& piece : pieces)
        h = hash_text(hex16(piece.fingerprint()), h);
    return h;
}

std::string checkpoint_key_id(const siphash_key& key)
{
    return hex16(siphash24(key, "roughpi checkpoint key id")).substr(0, KEY_ID_HEX);
}

checkpoint_format::checkpoint_format(std::int64_t x, std::span<const prime_count_piece> pieces, const siphash_key& key)
    : x_(x)
    , pieces_(pieces)
    , key_(key)
    , key_id_(checkpoint_key_id(key))
{
    const std::string content = std::string(MAGIC) + " " + std::to_string(VERSION) + " roughpi=" + roughpi::version() +
        " x=" + std::to_string(x) + " pieces=" + std::to_string(pieces.size()) + " split=" + hex16(split_hash(pieces)) +
        " key=" + key_id_;
    header_mac_ = hex16(mac_of(key_, "", content));
    header_ = content + std::string(MAC) + header_mac_ + "\n";
}

std::string checkpoint_format::record(std::size_t index, const prime_count_sums& piece_sums) const
{
    const prime_count_piece& piece = pieces_[index];
    std::string content = "piece " + std::to_string(index) + " " + hex16(piece.fingerprint());
    if (piece.term() > 0) {
        const auto words = piece_sums.to_words();
        const auto k = static_cast<std::size_t>(piece.term());
        content.append(" ").append(std::to_string(k)).append(":").append(hex16(words[3 + 2 * k]));
        content.append(":").append(hex16(words[4 + 2 * k]));
    }
    return content + std::string(MAC) + hex16(mac_of(key_, header_mac_, content)) + "\n";
}

std::size_t checkpoint_format::largest_text() const
{
    // "piece <index> <16 hex> <term>:<16 hex>:<16 hex> mac=<16 hex>\n", at its longest.
    const std::size_t record = 6 + decimal_digits(pieces_.size()) + 1 + HEX + 1 +
        decimal_digits(prime_count_sums::TERMS) + 1 + HEX + 1 + HEX + MAC.size() + HEX + 1;
    // Every piece once, and the cut start of one more line to spare.
    return header_.size() + (pieces_.size() + 1) * record;
}

void checkpoint_format::check_first_line(std::string_view text, std::string_view path) const
{
    const std::string shown_path = printable(path);
    const std::string name = "checkpoint '" + shown_path + "'";
    const auto damaged = [&] { return checkpoint_refused(name + " is damaged: its first line does not check"); };
    const std::size_t first_end = text.find('\n');
    const std::string_view first = text.substr(0, first_end);
    const std::vector<std::string_view> words = words_of(first);
    if (words[0] != MAGIC)
        throw checkpoint_refused("'" + shown_path + "' is not a roughpi checkpoint");
    int version = 0;
    if (words.size() < 2 || !parse_decimal(words[1], version))
        throw damaged();
    if (version == 1 || version == 2)
        throw checkpoint_refused(name + " is in format version " + std::to_string(version) +
                                 ", which this roughpi no longer takes up: " +
                                 (version == 1 ? "its lines are not bound to their count"
                                               : "its lines are checked by a hash that anyone can work out anew") +
                                 ". Remove it, and the count starts afresh");
    if (version != VERSION)
        throw checkpoint_refused(name + " is in format version " + std::to_string(version) +
                                 "; this roughpi reads version " + std::to_string(VERSION));
    // Written with this key? Its id is the last word before the MAC.
    if (first_end == std::string_view::npos || words.size() != 8)
        throw damaged();
    const std::string key_field = "key=" + key_id_;
    if (words[6].size() != key_field.size() || !words[6].starts_with("key=") ||
        words[6].substr(4).find_first_not_of("0123456789abcdef") != std::string_view::npos)
        throw damaged();
    if (words[6] != key_field)
        throw checkpoint_refused(name + " was written with another key: give it with --checkpoint-key");
    std::string_view content;
    if (!split_mac(first, key_, "", content))
        throw damaged();
    // Which count the file belongs to, field by field, for a message that says
    // what differs.
    const auto field = [&](std::size_t i, std::string_view key) {
        const std::string_view word = words[i];
        if (!word.starts_with(key) || word.size() <= key.size() || word[key.size()] != '=')
            throw damaged();
        return word.substr(key.size() + 1);
    };
    const std::string_view writer = field(2, "roughpi");
    std::int64_t file_x = 0;
    std::size_t file_pieces = 0;
    std::uint64_t file_split = 0;
    if (!parse_decimal(field(3, "x"), file_x) || !parse_decimal(field(4, "pieces"), file_pieces) ||
        !parse_hex16(field(5, "split"), file_split))
        throw damaged();
    if (file_x != x_)
        throw checkpoint_refused(name + " belongs to the count of " + std::to_string(file_x) + ", not of " +
                                 std::to_string(x_));
    if (writer != roughpi::version())
        throw checkpoint_refused(name + " was written by roughpi " + printable(writer) + "; this is roughpi " +
                                 roughpi::version() + ", which does not take it up");
    if (text.substr(0, first_end + 1) != header_)
        throw checkpoint_refused(name + " belongs to another split of the count (" + std::to_string(file_pieces) +
                                 " pieces, split " + hex16(file_split) + "), not this one (" +
                                 std::to_string(pieces_.size()) + " pieces, split " + hex16(split_hash(pieces_)) + ")");
}

checkpoint_contents checkpoint_format::read(std::string_view text, std::string_view path) const
{
    checkpoint_contents contents;
    contents.held.assign(pieces_.size(), false);
    const std::string name = "checkpoint '" + printable(path) + "'";
    const auto damaged = [&](const std::string& what) { return checkpoint_refused(name + " is damaged: " + what); };

    // A new file, or one whose first line was cut short before its end
    // (created, then killed as it wrote): to be started afresh.
    const std::size_t first_end = text.find('\n');
    if (first_end == std::string_view::npos && header_.starts_with(text)) {
        contents.fresh = true;
        return contents;
    }
    check_first_line(text, path);
    std::string_view content;

    // The pieces, one a line. A last line without its newline was cut short.
    std::vector<std::size_t> line_of(pieces_.size(), 0);
    std::size_t start = first_end + 1;
    std::size_t line_number = 1;
    for (std::size_t end; start < text.size() && (end = text.find('\n', start)) != std::string_view::npos;
         start = end + 1) {
        ++line_number;
        const std::string line_name = "line " + std::to_string(line_number);
        if (!split_mac(text.substr(start, end - start), key_, header_mac_, content))
            throw damaged(line_name + " does not check: it was changed, or it comes from another checkpoint");
        const std::vector<std::string_view> parts = words_of(content);
        std::size_t index = 0;
        std::uint64_t fingerprint = 0;
        if (parts.size() < 3 || parts[0] != "piece" || !parse_decimal(parts[1], index) || index >= pieces_.size() ||
            !parse_hex16(parts[2], fingerprint))
            throw damaged(line_name + " is not the record of a piece");
        const prime_count_piece& piece = pieces_[index];
        const std::string piece_name = line_name + ", piece " + std::to_string(index);
        if (fingerprint != piece.fingerprint())
            throw damaged(piece_name + ": the fingerprint is not that of this count's piece " + std::to_string(index));
        if (contents.held[index])
            throw damaged("piece " + std::to_string(index) + " is in it twice, on lines " +
                          std::to_string(line_of[index]) + " and " + std::to_string(line_number));

        // Exactly the one term the piece adds to: "<k>:<low>:<high>".
        std::array<std::uint64_t, prime_count_sums::WORDS> sum_words{};
        sum_words[0] = static_cast<std::uint64_t>(x_);
        sum_words[1] = 1;
        sum_words[2] = piece.fingerprint();
        sum_words[prime_count_sums::HELD_WORD + index / 64] = std::uint64_t{1} << (index % 64);
        const std::size_t terms = piece.term() > 0 ? 1 : 0;
        if (parts.size() != 3 + terms)
            throw damaged(piece_name + ": a record of this piece holds " + std::to_string(terms) + " term" +
                          (terms == 1 ? "" : "s") + ", this line " + std::to_string(parts.size() - 3));
        if (terms == 1) {
            const std::string_view term = parts[3];
            const std::size_t colon = term.find(':');
            std::size_t k = 0;
            std::uint64_t low = 0;
            std::uint64_t high = 0;
            if (colon == std::string_view::npos || term.size() != colon + 2 + 2 * HEX || term[colon + 1 + HEX] != ':' ||
                !parse_decimal(term.substr(0, colon), k) || !parse_hex16(term.substr(colon + 1, HEX), low) ||
                !parse_hex16(term.substr(colon + 2 + HEX), high))
                throw damaged(piece_name + ": the term is not written as <index>:<16 hex>:<16 hex>");
            if (k != static_cast<std::size_t>(piece.term()))
                throw damaged(piece_name + ": the piece adds to term " + std::to_string(piece.term()) +
                              ", not to term " + std::to_string(k));
            sum_words[3 + 2 * k] = low;
            sum_words[4 + 2 * k] = high;
        }
        try {
            const prime_count_sums piece_sums = prime_count_sums::from_words(sum_words);
            prime_count_check_piece_sums(piece, piece_sums);
            contents.sums += piece_sums;
        } catch (const input_error&) {
            throw damaged(piece_name + ": it holds a value that the piece cannot have");
        }
        contents.held[index] = true;
        line_of[index] = line_number;
    }
    contents.whole_length = start;
    return contents;
}

}  // namespace roughpi::tools
