#include "OpusStreamProbe.h"

#include <sound/StreamAdapter.h>

#include <ogg/ogg.h>

#include <cstring>

namespace {

constexpr int kReadChunk = 4096;
constexpr std::size_t kGiveUpAfter = 2 * (27 + 255 + 255 * 255);
constexpr long kFamilyOffset = 18;

// Takes the next complete page out of `sync`, skipping bytes that are not
// one; false when none is complete yet.
bool TakePage(ogg_sync_state& sync, ogg_page& page)
{
    int result = 0;
    while ((result = ogg_sync_pageout(&sync, &page)) < 0) {
    }
    return result == 1;
}

int MappingFamily(const ogg_page& page)
{
    if (page.body_len <= kFamilyOffset || std::memcmp(page.body, "OpusHead", 8) != 0)
        return -1;
    return page.body[kFamilyOffset];
}

} // namespace

OpusStreamProbe ProbeOpusStream(IStream* stream)
{
    OpusStreamProbe probe;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    ogg_page page;
    bool found = false;
    while (!found && probe.bytes.size() < kGiveUpAfter) {
        char* buffer = ogg_sync_buffer(&sync, kReadChunk);
        const int read = buffer ? StreamAdapter::ReadBytes(stream, reinterpret_cast<unsigned char*>(buffer), kReadChunk) : 0;
        if (read <= 0)
            break;
        probe.bytes.insert(probe.bytes.end(), buffer, buffer + read);
        ogg_sync_wrote(&sync, read);
        found = TakePage(sync, page);
    }
    if (found)
        probe.mappingFamily = MappingFamily(page);
    ogg_sync_clear(&sync);
    return probe;
}
