// Turning the bytes of a track-list file into UTF-16 text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Decodes `size` bytes at `bytes` (may be null when `size` is 0). The text
// ends at the first zero (byte in UTF-8, code unit in UTF-16), so the result
// never holds U+0000.
//
// - Bytes starting FF FE: UTF-16 little-endian after those two. Every code
//   unit D800..DFFF becomes U+FFFD (a character beyond the Basic
//   Multilingual Plane becomes two), and an odd last byte becomes U+FFFD.
// - Anything else: UTF-8, with a leading EF BB BF dropped. A lead byte
//   announces its sequence's length (C0..DF 2, E0..EF 3, F0..F7 4, F8..FB 5,
//   FC..FD 6). A complete sequence gives one U+FFFD when a 2- or 3-byte form
//   is overlong, when a 3-byte form encodes a surrogate, and always for 4-,
//   5- and 6-byte forms. A sequence broken by a byte that is not a
//   continuation byte (10xxxxxx), by a zero or by the end of the data gives
//   one U+FFFD for its lead and the continuation bytes before the break; the
//   breaking byte is then read on its own, so a tab or line end after a stray
//   Latin-1 byte still separates. A lone byte FE, FF or 80..BF (a
//   continuation byte where a lead is expected) gives U+FFFD for that byte.
[[nodiscard]] std::u16string DecodeTrackListText(const std::uint8_t* bytes, std::size_t size);
