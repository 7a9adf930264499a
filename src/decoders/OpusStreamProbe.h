// Reads the first page of an Ogg stream that cannot seek, keeping every byte
// it takes, so that whichever reader plays the stream can be handed those
// bytes and go on from where the probe stopped.
#pragma once

#include <vymultitrack/Stream.h>

#include <cstdint>
#include <vector>

struct OpusStreamProbe {
    // The bytes read from the start of the stream, the first page and
    // possibly some of what follows it.
    std::vector<std::uint8_t> bytes;
    // The channel mapping family of the Opus ID header on the first page;
    // -1 when the first page holds none (or none was found).
    int mappingFamily = -1;
};

// Reads `stream` (may be null) from its current position until its first
// Ogg page is complete, giving up after the size of two largest pages or at
// the end of the data.
[[nodiscard]] OpusStreamProbe ProbeOpusStream(IStream* stream);
