#include "OpusTagGains.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

constexpr std::size_t kMagicSize = 8;

// Reads the 32-bit little-endian length at `pos` and steps past it; false
// when fewer than four bytes are left.
bool ReadLength(const unsigned char* data, std::size_t size, std::size_t& pos, std::size_t& length)
{
    if (size - pos < 4)
        return false;
    length = static_cast<std::size_t>(data[pos]) | (static_cast<std::size_t>(data[pos + 1]) << 8) |
             (static_cast<std::size_t>(data[pos + 2]) << 16) | (static_cast<std::size_t>(data[pos + 3]) << 24);
    pos += 4;
    return true;
}

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// When `comment` is "NAME=value" with `name` (upper case) matched without
// regard to case, stores the value and answers true.
bool ValueOfTag(std::string_view comment, std::string_view name, std::string_view& value)
{
    if (comment.size() <= name.size() || comment[name.size()] != '=')
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (AsciiUpper(comment[i]) != name[i])
            return false;
    value = comment.substr(name.size() + 1);
    return true;
}

// A signed 16-bit decimal integer: optional sign, then digits only.
std::optional<int> ParseGainQ8(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::int32_t limit = negative ? 32768 : 32767;
    std::int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit)
            return std::nullopt;
    }
    return negative ? -value : value;
}

void NoteComment(std::string_view comment, OpusTagGains& gains)
{
    std::string_view value;
    if (!gains.trackGainQ8 && ValueOfTag(comment, "R128_TRACK_GAIN", value))
        gains.trackGainQ8 = ParseGainQ8(value);
    else if (!gains.albumGainQ8 && ValueOfTag(comment, "R128_ALBUM_GAIN", value))
        gains.albumGainQ8 = ParseGainQ8(value);
}

} // namespace

bool ParseOpusTagGains(const unsigned char* data, std::size_t size, OpusTagGains& out)
{
    if (!data || size < kMagicSize || std::memcmp(data, "OpusTags", kMagicSize) != 0)
        return false;
    out = OpusTagGains{};
    std::size_t pos = kMagicSize;
    std::size_t vendorLength = 0;
    if (!ReadLength(data, size, pos, vendorLength) || vendorLength > size - pos)
        return false;
    pos += vendorLength;
    std::size_t count = 0;
    if (!ReadLength(data, size, pos, count))
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t length = 0;
        if (!ReadLength(data, size, pos, length) || length > size - pos)
            return false;
        NoteComment(std::string_view(reinterpret_cast<const char*>(data + pos), length), out);
        pos += length;
    }
    return true;
}
