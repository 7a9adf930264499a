#include "OpusMultistreamDecoder.h"

#include <opus/opus_multistream.h>

#include <algorithm>

namespace {

constexpr opus_int32 kOpusRate = 48000;

} // namespace

OpusMultistreamDecoder::~OpusMultistreamDecoder()
{
    if (decoder)
        opus_multistream_decoder_destroy(decoder);
}

bool OpusMultistreamDecoder::SameLayout(const OpusIdHeader& header) const
{
    const auto used = static_cast<std::ptrdiff_t>(header.channelCount);
    return decoder && header.channelCount == channels && header.streamCount == streams &&
           header.coupledCount == coupled &&
           std::equal(mapping.begin(), mapping.begin() + used, header.mapping.begin());
}

bool OpusMultistreamDecoder::Prepare(const OpusIdHeader& header)
{
    if (SameLayout(header)) {
        Reset();
        SetGainQ8(0);
        return true;
    }
    if (decoder)
        opus_multistream_decoder_destroy(decoder);
    int error = OPUS_OK;
    decoder = opus_multistream_decoder_create(kOpusRate, header.channelCount, header.streamCount,
                                              header.coupledCount, header.mapping.data(), &error);
    if (error != OPUS_OK && decoder) {
        opus_multistream_decoder_destroy(decoder);
        decoder = nullptr;
    }
    if (!decoder)
        return false;
    channels = header.channelCount;
    streams = header.streamCount;
    coupled = header.coupledCount;
    mapping = header.mapping;
    return true;
}

void OpusMultistreamDecoder::Reset()
{
    if (decoder)
        opus_multistream_decoder_ctl(decoder, OPUS_RESET_STATE);
}

void OpusMultistreamDecoder::SetGainQ8(int gainQ8)
{
    if (decoder)
        opus_multistream_decoder_ctl(decoder, OPUS_SET_GAIN(gainQ8));
}

int OpusMultistreamDecoder::Decode(const unsigned char* data, long bytes, float* pcm, int maxFrames)
{
    if (!decoder)
        return OPUS_INVALID_STATE;
    return opus_multistream_decode_float(decoder, data, static_cast<opus_int32>(bytes), pcm, maxFrames, 0);
}
