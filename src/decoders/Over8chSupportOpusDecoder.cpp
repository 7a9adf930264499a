#include "Over8chSupportOpusDecoder.h"

#include <plugin/ProcessState.h>
#include <sound/QueryGainInterface.h>
#include <sound/StreamAdapter.h>

#include <opus/opusfile.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr std::uint32_t kOpusSampleRate = 48000;

OpusFileCallbacks StreamCallbacks()
{
    OpusFileCallbacks callbacks{};
    callbacks.read = &StreamAdapter::ReadBytes;
    callbacks.seek = &StreamAdapter::Seek;
    callbacks.tell = &StreamAdapter::Tell;
    callbacks.close = nullptr; // the decoder releases the stream itself
    return callbacks;
}

// The library gain type for a gain-query mode; false for any other answer.
bool GainTypeForMode(std::int32_t mode, int& gainType)
{
    switch (mode) {
    case kGainModeNone: gainType = OP_HEADER_GAIN; return true;
    case kGainModeTrack: gainType = OP_TRACK_GAIN; return true;
    case kGainModeAlbum: gainType = OP_ALBUM_GAIN; return true;
    default: return false;
    }
}

// dB → the library's 1/256 dB offset, truncated toward zero. Out-of-range
// and non-finite gains are clamped rather than overflowing the conversion;
// the library clamps the offset further to its own range.
int GainOffsetQ8(float gainDb)
{
    const double scaled = static_cast<double>(gainDb) * 256.0;
    if (std::isnan(scaled))
        return 0;
    return static_cast<int>(std::clamp(scaled, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

} // namespace

Over8chSupportOpusDecoder::~Over8chSupportOpusDecoder()
{
    CloseStream(Stream());
}

bool Over8chSupportOpusDecoder::OpenStream(IStream* source, const char16_t* name,
                                           HSSWaveFormat& formatOut)
{
    CloseStream(source);
    const OpusFileCallbacks callbacks = StreamCallbacks();
    int error = 0;
    opusFile = op_open_callbacks(source, &callbacks, nullptr, 0, &error);
    if (error != 0 || !opusFile) {
        CloseStream(source);
        return false;
    }
    const OpusHead* head = op_head(opusFile, -1);
    if (!head) {
        CloseStream(source);
        return false;
    }
    const ogg_int64_t total = op_pcm_total(opusFile, -1);
    formatOut = HSSWaveFormat{};
    formatOut.sampleRate = kOpusSampleRate;
    formatOut.channelCount = static_cast<std::uint32_t>(head->channel_count);
    formatOut.sampleFormat = kSampleFormatFloat32;
    formatOut.seekCapability = kSeekCapabilitySampleExact;
    // An unseekable stream reports a negative error instead of a length:
    // that is "unknown", stored as 0 rather than wrapped to a huge count.
    formatOut.totalSamples = total > 0 ? static_cast<std::uint64_t>(total) : 0;
    const double milliseconds = static_cast<double>(total) * 0.020833333333333332;
    formatOut.totalMilliseconds = milliseconds > 0 ? static_cast<std::uint32_t>(milliseconds) : 0;
    linkIndex = -1;
    ApplyGainQuery(name);
    return true;
}

void Over8chSupportOpusDecoder::ApplyGainQuery(const char16_t* name)
{
    QueryGainInterface* query = TheProcessState().opusGainQuery;
    if (!query)
        return;
    float gainDb = 0.0f;
    int gainType = OP_HEADER_GAIN;
    if (GainTypeForMode(query->QueryGain(name, &gainDb), gainType))
        op_set_gain_offset(opusFile, gainType, GainOffsetQ8(gainDb));
}

bool Over8chSupportOpusDecoder::DecodeSamples(IStream*, void* buffer, std::uint32_t frames,
                                              std::uint32_t& rendered)
{
    rendered = 0;
    if (!opusFile || !buffer)
        return false;
    const std::uint32_t channels = format.channelCount;
    float* out = static_cast<float*>(buffer);
    std::uint64_t room = static_cast<std::uint64_t>(channels) * frames;
    std::uint32_t total = 0;
    int holes = 0;
    while (room > 0) {
        const int ask = static_cast<int>(std::min<std::uint64_t>(room, INT_MAX));
        const int n = op_read_float(opusFile, out, ask, &linkIndex);
        if (n < 0) {
            // A hole (lost or damaged page) is not the end: read on.
            if (++holes > kMaxConsecutiveHoles)
                break;
            continue;
        }
        holes = 0;
        if (n == 0)
            break;
        // A chained link with another channel count would be interleaved
        // differently from the format announced at open: end the stream
        // there rather than deliver scrambled channels.
        const OpusHead* head = op_head(opusFile, linkIndex);
        if (!head || static_cast<std::uint32_t>(head->channel_count) != channels)
            break;
        total += static_cast<std::uint32_t>(n);
        room -= static_cast<std::uint64_t>(n) * channels;
        out += static_cast<std::size_t>(n) * channels;
    }
    rendered = total;
    return total != 0;
}

bool Over8chSupportOpusDecoder::SeekSamples(IStream*, std::uint64_t position)
{
    if (!opusFile)
        return false;
    return op_pcm_seek(opusFile, static_cast<ogg_int64_t>(position)) == 0;
}

void Over8chSupportOpusDecoder::CloseStream(IStream*)
{
    if (opusFile)
        op_free(opusFile);
    opusFile = nullptr;
}
