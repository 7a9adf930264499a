#include "TrackListEncoding.h"

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsSurrogate(std::uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}

std::u16string DecodeUtf16LittleEndian(const std::uint8_t* bytes, std::size_t size)
{
    std::u16string text;
    text.reserve(size / 2 + 1);
    std::size_t i = 0;
    for (; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0)
            return text;
        text.push_back(IsSurrogate(unit) ? kReplacement : unit);
    }
    if (i < size)
        text.push_back(kReplacement); // the odd last byte
    return text;
}

// Length of the sequence a UTF-8 lead byte announces; 1 for the bytes that
// stand alone (ASCII, stray continuation bytes, FE and FF).
std::size_t SequenceLength(std::uint8_t lead)
{
    if (lead < 0xC0 || lead >= 0xFE)
        return 1;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    if (lead < 0xF8)
        return 4;
    return lead < 0xFC ? 5 : 6;
}

bool IsContinuation(std::uint8_t byte)
{
    return (byte & 0xC0) == 0x80;
}

// The code unit of one complete multi-byte sequence (every byte after the
// lead is a continuation byte), or U+FFFD.
char16_t DecodeSequence(const std::uint8_t* sequence, std::size_t length)
{
    // Four-, five- and six-byte forms encode code points beyond U+FFFF (or
    // nothing valid at all); they are not kept.
    if (length > 3)
        return kReplacement;
    std::uint32_t code = sequence[0] & (length == 2 ? 0x1Fu : 0x0Fu);
    for (std::size_t k = 1; k < length; ++k)
        code = (code << 6) | (sequence[k] & 0x3Fu);
    const bool overlong = length == 2 ? code < 0x80 : code < 0x800;
    if (overlong || IsSurrogate(code))
        return kReplacement;
    return static_cast<char16_t>(code);
}

std::u16string DecodeUtf8(const std::uint8_t* bytes, std::size_t size)
{
    std::u16string text;
    text.reserve(size);
    std::size_t i = 0;
    while (i < size && bytes[i] != 0) {
        const std::uint8_t lead = bytes[i];
        const std::size_t length = SequenceLength(lead);
        if (length == 1) {
            text.push_back(lead < 0x80 ? static_cast<char16_t>(lead) : kReplacement);
            ++i;
            continue;
        }
        // The continuation bytes that follow, up to the announced length. A
        // byte that is not one (a tab, a line end, an ASCII letter, a zero)
        // is never part of the sequence: it ends the broken part, which
        // becomes one U+FFFD, and is read again on its own.
        std::size_t taken = 1;
        while (taken < length && i + taken < size && IsContinuation(bytes[i + taken]))
            ++taken;
        text.push_back(taken == length ? DecodeSequence(bytes + i, length) : kReplacement);
        i += taken;
    }
    return text;
}

} // namespace

std::u16string DecodeTrackListText(const std::uint8_t* bytes, std::size_t size)
{
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        return DecodeUtf16LittleEndian(bytes + 2, size - 2);
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return DecodeUtf8(bytes + 3, size - 3);
    return DecodeUtf8(bytes, size);
}
