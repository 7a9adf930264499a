#include "OpusIdHeader.h"

#include <cstring>

namespace {

constexpr std::size_t kFixedSize = 19;    // up to and including the mapping family
constexpr std::size_t kTableOffset = 21;  // first channel-mapping entry
constexpr int kSilentChannel = 255;

int ReadU16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}

// Family 0: mono or stereo in one stream, channel order implicit.
bool FillImplicitTable(OpusIdHeader& header)
{
    if (header.channelCount > 2)
        return false;
    header.streamCount = 1;
    header.coupledCount = header.channelCount - 1;
    header.mapping[0] = 0;
    header.mapping[1] = 1;
    return true;
}

bool ReadExplicitTable(const unsigned char* data, std::size_t size, OpusIdHeader& header)
{
    const auto channels = static_cast<std::size_t>(header.channelCount);
    if (size < kTableOffset + channels)
        return false;
    header.streamCount = data[19];
    header.coupledCount = data[20];
    // Every stream yields at least one decoded channel; more streams than
    // output channels cannot all be heard and marks a damaged header.
    if (header.streamCount < 1 || header.streamCount > header.channelCount ||
        header.coupledCount > header.streamCount)
        return false;
    const int decodedChannels = header.streamCount + header.coupledCount;
    for (std::size_t c = 0; c < channels; ++c) {
        const int entry = data[kTableOffset + c];
        if (entry != kSilentChannel && entry >= decodedChannels)
            return false;
        header.mapping[c] = static_cast<unsigned char>(entry);
    }
    return true;
}

} // namespace

bool ParseOpusIdHeader(const unsigned char* data, std::size_t size, OpusIdHeader& out)
{
    if (!data || size < kFixedSize || std::memcmp(data, "OpusHead", 8) != 0)
        return false;
    const int version = data[8];
    if (version >= 16)
        return false;
    out = OpusIdHeader{};
    out.channelCount = data[9];
    out.preSkip = ReadU16(data + 10);
    out.outputGainQ8 = static_cast<std::int16_t>(ReadU16(data + 16));
    out.mappingFamily = data[18];
    if (out.channelCount < 1)
        return false;
    switch (out.mappingFamily) {
    case 0: return FillImplicitTable(out);
    case 1: return out.channelCount <= 8 && ReadExplicitTable(data, size, out);
    case 255: return ReadExplicitTable(data, size, out);
    default: return false;
    }
}
