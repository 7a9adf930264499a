#include "Over8chSupportOpusDecoder.h"

#include "OpusStreamProbe.h"

#include <plugin/ProcessState.h>
#include <sound/DurationField.h>
#include <sound/QueryGainInterface.h>
#include <sound/StreamAdapter.h>

#include <opus/opusfile.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

namespace {

constexpr std::uint32_t kOpusSampleRate = 48000;
// The channel mapping family that opusfile 0.12 does not implement.
constexpr int kFamilyOpusfileRefuses = 255;

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

// The own reader's gain base for a library gain type.
OpusGainBase GainBaseForType(int gainType)
{
    switch (gainType) {
    case OP_TRACK_GAIN: return OpusGainBase::Track;
    case OP_ALBUM_GAIN: return OpusGainBase::Album;
    default: return OpusGainBase::Header;
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

// The format record of an open source. An unseekable stream reports a
// negative error (opusfile) or 0 (own reader) instead of a length: both
// are "unknown", stored as 0 rather than wrapped to a huge count.
HSSWaveFormat OpusFormat(std::uint32_t channels, std::int64_t total)
{
    HSSWaveFormat format{};
    format.sampleRate = kOpusSampleRate;
    format.channelCount = channels;
    format.sampleFormat = kSampleFormatFloat32;
    format.seekCapability = kSeekCapabilitySampleExact;
    format.totalSamples = total > 0 ? static_cast<std::uint64_t>(total) : 0;
    format.totalMilliseconds = TotalMillisecondsField(static_cast<double>(total) * 0.020833333333333332);
    return format;
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
    if (!OpenEitherPath(source)) {
        CloseStream(source);
        return false;
    }
    if (ownReader) {
        formatOut = OpusFormat(static_cast<std::uint32_t>(ownReader->ChannelCount()),
                               static_cast<std::int64_t>(std::min<std::uint64_t>(ownReader->TotalFrames(), INT64_MAX)));
    } else {
        const OpusHead* head = op_head(opusFile, -1);
        formatOut = OpusFormat(static_cast<std::uint32_t>(head->channel_count), op_pcm_total(opusFile, -1));
    }
    linkIndex = -1;
    ApplyGainQuery(name);
    return true;
}

bool Over8chSupportOpusDecoder::OpenEitherPath(IStream* source)
{
    if (decodingPath == OpusDecodingPath::OwnReader)
        return OpenWithOwnReader(source, {});
    if (StreamAdapter::Tell(source) < 0) {
        const OpusStreamProbe probe = ProbeOpusStream(source);
        if (probe.mappingFamily == kFamilyOpusfileRefuses)
            return OpenWithOwnReader(source, probe.bytes);
        return OpenWithOpusfile(source, probe.bytes) == 0;
    }
    const int error = OpenWithOpusfile(source, {});
    if (error == OP_EIMPL)
        return StreamAdapter::Seek(source, 0, 0) == 0 && OpenWithOwnReader(source, {});
    return error == 0;
}

int Over8chSupportOpusDecoder::OpenWithOpusfile(IStream* source, std::span<const std::uint8_t> alreadyRead)
{
    const OpusFileCallbacks callbacks = StreamCallbacks();
    int error = 0;
    opusFile = op_open_callbacks(source, &callbacks, alreadyRead.data(), alreadyRead.size(), &error);
    if (error == 0 && (!opusFile || !op_head(opusFile, -1)))
        error = OP_EFAULT;
    if (error != 0)
        CloseStream(source);
    return error;
}

bool Over8chSupportOpusDecoder::OpenWithOwnReader(IStream* source, std::span<const std::uint8_t> alreadyRead)
{
    ownReader.reset(new (std::nothrow) OggOpusStreamDecoder());
    return ownReader && ownReader->Open(source, alreadyRead);
}

void Over8chSupportOpusDecoder::ApplyGainQuery(const char16_t* name)
{
    QueryGainInterface* query = TheProcessState().opusGainQuery.get();
    if (!query)
        return;
    float gainDb = 0.0f;
    int gainType = OP_HEADER_GAIN;
    if (!GainTypeForMode(query->QueryGain(name, &gainDb), gainType))
        return;
    const int offsetQ8 = GainOffsetQ8(gainDb);
    if (ownReader) {
        OpusGainSetting setting;
        setting.base = GainBaseForType(gainType);
        setting.offsetQ8 = offsetQ8;
        ownReader->SetGain(setting);
    } else {
        op_set_gain_offset(opusFile, gainType, offsetQ8);
    }
}

bool Over8chSupportOpusDecoder::DecodeSamples(IStream*, void* buffer, std::uint32_t frames,
                                              std::uint32_t& rendered)
{
    rendered = 0;
    if (!buffer)
        return false;
    if (ownReader)
        rendered = ownReader->Decode(static_cast<float*>(buffer), frames);
    else if (opusFile)
        rendered = DecodeWithOpusfile(static_cast<float*>(buffer), frames);
    return rendered != 0;
}

std::uint32_t Over8chSupportOpusDecoder::DecodeWithOpusfile(float* out, std::uint32_t frames)
{
    const std::uint32_t channels = format.channelCount;
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
    return total;
}

bool Over8chSupportOpusDecoder::SeekSamples(IStream*, std::uint64_t position)
{
    if (ownReader)
        return ownReader->Seek(position);
    if (!opusFile)
        return false;
    return op_pcm_seek(opusFile, static_cast<ogg_int64_t>(position)) == 0;
}

void Over8chSupportOpusDecoder::CloseStream(IStream*)
{
    if (opusFile)
        op_free(opusFile);
    opusFile = nullptr;
    ownReader.reset();
}
