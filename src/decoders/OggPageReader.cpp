#include "OggPageReader.h"

#include <sound/StreamAdapter.h>

#include <cstring>

namespace {

// Bytes asked of the stream at a time.
constexpr int kReadChunk = 16384;
// Header (27) + lacing table (255) + body (255 × 255): the largest page.
constexpr long kLargestPage = 27 + 255 + 255 * 255;

} // namespace

OggPageReader::OggPageReader()
{
    ogg_sync_init(&sync);
}

OggPageReader::~OggPageReader()
{
    ogg_sync_clear(&sync);
}

void OggPageReader::Attach(IStream* source, std::span<const std::uint8_t> alreadyRead)
{
    stream = source;
    ogg_sync_reset(&sync);
    syncOffset = 0;
    pageOffset = -1;
    // Room for a whole page that straddles a read, plus one read: later
    // buffer requests fit without growing.
    (void)ogg_sync_buffer(&sync, kLargestPage + kReadChunk);
    if (alreadyRead.empty())
        return;
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(alreadyRead.size()));
    if (!buffer)
        return;
    std::memcpy(buffer, alreadyRead.data(), alreadyRead.size());
    ogg_sync_wrote(&sync, static_cast<long>(alreadyRead.size()));
}

bool OggPageReader::ReadMore()
{
    if (!stream)
        return false;
    char* buffer = ogg_sync_buffer(&sync, kReadChunk);
    if (!buffer)
        return false;
    const int read = StreamAdapter::ReadBytes(stream, reinterpret_cast<unsigned char*>(buffer), kReadChunk);
    if (read <= 0)
        return false;
    ogg_sync_wrote(&sync, read);
    return true;
}

bool OggPageReader::NextPage(ogg_page& page)
{
    for (;;) {
        const long result = ogg_sync_pageseek(&sync, &page);
        if (result > 0) {
            pageOffset = syncOffset;
            syncOffset += result;
            return true;
        }
        if (result < 0) {
            syncOffset -= result; // bytes skipped while looking for a page
            continue;
        }
        if (!ReadMore())
            return false;
    }
}

bool OggPageReader::SeekTo(std::int64_t offset)
{
    ogg_sync_reset(&sync);
    syncOffset = offset;
    pageOffset = -1;
    return offset >= 0 && StreamAdapter::Seek(stream, offset, 0) == 0;
}
