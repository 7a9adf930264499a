// Edits Ogg pages inside an encoded file in place, fixing each edited page's
// checksum, so that tests can feed the decoders damage that the Ogg layer
// does not catch (a rewritten header, garbled packets).
#pragma once

#include <ogg/ogg.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

// Calls `edit(pageIndex, page)` for each page of `bytes` in order; when it
// returns true the page's checksum is set anew. The page's header and body
// point into `bytes`. Stops at the first byte that does not start a page.
inline void EditOggPages(std::vector<std::uint8_t>& bytes, const std::function<bool(int, ogg_page&)>& edit)
{
    std::size_t at = 0;
    for (int index = 0; at + 27 <= bytes.size() && std::memcmp(&bytes[at], "OggS", 4) == 0; ++index) {
        const std::size_t segments = bytes[at + 26];
        if (at + 27 + segments > bytes.size())
            return;
        long bodyLength = 0;
        for (std::size_t s = 0; s < segments; ++s)
            bodyLength += bytes[at + 27 + s];
        const std::size_t headerLength = 27 + segments;
        if (at + headerLength + static_cast<std::size_t>(bodyLength) > bytes.size())
            return;
        ogg_page page;
        page.header = &bytes[at];
        page.header_len = static_cast<long>(headerLength);
        page.body = &bytes[at + headerLength];
        page.body_len = bodyLength;
        if (edit(index, page))
            ogg_page_checksum_set(&page);
        at += headerLength + static_cast<std::size_t>(bodyLength);
    }
}

// Offsets of the pages of `bytes`, in order.
inline std::vector<std::size_t> OggPageOffsets(std::vector<std::uint8_t> bytes)
{
    std::vector<std::size_t> offsets;
    const std::uint8_t* base = bytes.data();
    EditOggPages(bytes, [&](int, ogg_page& page) {
        offsets.push_back(static_cast<std::size_t>(page.header - base));
        return false;
    });
    return offsets;
}
