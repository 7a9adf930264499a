#include "SimpleVorbisDecoder.h"
#include <decoders/InterleaveKernels.h>

#include <plugin/ProcessState.h>
#include <sound/QueryGainInterface.h>
#include <sound/DurationField.h>
#include <sound/StreamAdapter.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

ov_callbacks StreamCallbacks()
{
    ov_callbacks callbacks{};
    callbacks.read_func = &StreamAdapter::ReadItems;
    callbacks.seek_func = &StreamAdapter::Seek;
    callbacks.close_func = &StreamAdapter::CloseNothing;
    callbacks.tell_func = &StreamAdapter::TellLong;
    return callbacks;
}

} // namespace

float ParseReplayGainDb(const char* text)
{
    if (!text)
        return 0.0f;
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text == '+')
        ++text;
    float value = 0.0f;
    const auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
    if (error != std::errc() || end == text || !std::isfinite(value))
        return 0.0f;
    return value;
}

float VorbisGainFactor(std::int32_t mode, float gainDb, const char* trackTag, const char* albumTag)
{
    float tagDb = 0.0f;
    switch (mode) {
    case kGainModeNone: break;
    case kGainModeTrack: tagDb = ParseReplayGainDb(trackTag); break;
    case kGainModeAlbum: tagDb = ParseReplayGainDb(albumTag); break;
    default: return 1.0f;
    }
    const float factor = static_cast<float>(std::pow(10.0, (static_cast<double>(gainDb) + tagDb) / 20.0));
    return std::isfinite(factor) ? factor : 1.0f;
}

SimpleVorbisDecoder::SimpleVorbisDecoder()
{
    std::memset(&fileState, 0, sizeof fileState);
}

SimpleVorbisDecoder::~SimpleVorbisDecoder()
{
    CloseStream(Stream());
}

bool SimpleVorbisDecoder::OpenStream(IStream* source, const char16_t* name, HSSWaveFormat& formatOut)
{
    CloseStream(source);
    if (ov_open_callbacks(source, &fileState, nullptr, 0, StreamCallbacks()) != 0) {
        // The library clears what it set up on failure; start from zero again.
        std::memset(&fileState, 0, sizeof fileState);
        return false;
    }
    vorbisFile = &fileState;
    const vorbis_info* info = ov_info(vorbisFile, -1);
    if (!info || info->channels <= 0) {
        CloseStream(source);
        return false;
    }
    const ogg_int64_t total = ov_pcm_total(vorbisFile, -1);
    const double seconds = ov_time_total(vorbisFile, -1);
    formatOut = HSSWaveFormat{};
    formatOut.sampleRate = static_cast<std::uint32_t>(info->rate);
    formatOut.channelCount = static_cast<std::uint32_t>(info->channels);
    formatOut.sampleFormat = kSampleFormatFloat32;
    formatOut.seekCapability = kSeekCapabilitySampleExact;
    formatOut.totalSamples = total > 0 ? static_cast<std::uint64_t>(total) : 0;
    formatOut.totalMilliseconds = TotalMillisecondsField(seconds * 1000.0);
    bitstream = -1;
    ApplyGainQuery(name);
    return true;
}

void SimpleVorbisDecoder::ApplyGainQuery(const char16_t* name)
{
    QueryGainInterface* query = TheProcessState().vorbisGainQuery.get();
    if (!query)
        return;
    float gainDb = 0.0f;
    const std::int32_t mode = query->QueryGain(name, &gainDb);
    vorbis_comment* comments = ov_comment(vorbisFile, -1);
    const char* trackTag = comments ? vorbis_comment_query(comments, "REPLAYGAIN_TRACK_GAIN", 0) : nullptr;
    const char* albumTag = comments ? vorbis_comment_query(comments, "REPLAYGAIN_ALBUM_GAIN", 0) : nullptr;
    gain = VorbisGainFactor(mode, gainDb, trackTag, albumTag);
}

bool SimpleVorbisDecoder::DecodeSamples(IStream*, void* buffer, std::uint32_t frames,
                                        std::uint32_t& rendered)
{
    rendered = 0;
    if (!vorbisFile || !buffer || frames < 1)
        return false;
    float* out = static_cast<float*>(buffer);
    std::uint32_t remaining = frames;
    int holes = 0;
    while (remaining > 0) {
        float** channelData = nullptr;
        const long n = ov_read_float(vorbisFile, &channelData, static_cast<int>(std::min<std::uint32_t>(remaining, INT_MAX)), &bitstream);
        if (n < 0) {
            // A hole in the data is not the end: read on.
            if (++holes > kMaxConsecutiveHoles)
                break;
            continue;
        }
        holes = 0;
        if (n == 0)
            break;
        const vorbis_info* link = ov_info(vorbisFile, -1);
        const std::uint32_t linkChannels = link && link->channels > 0 ? static_cast<std::uint32_t>(link->channels) : 0;
        const auto got = static_cast<std::uint32_t>(std::min<long>(n, remaining));
        // A chained link with fewer channels leaves the missing ones silent.
        InterleaveKernels::InterleaveScaled(channelData, linkChannels, format.channelCount, got, gain, out);
        out += static_cast<std::size_t>(got) * format.channelCount;
        remaining -= got;
        rendered += got;
    }
    return rendered != 0;
}

bool SimpleVorbisDecoder::SeekSamples(IStream*, std::uint64_t position)
{
    if (!vorbisFile)
        return false;
    return ov_pcm_seek(vorbisFile, static_cast<ogg_int64_t>(position)) == 0;
}

void SimpleVorbisDecoder::CloseStream(IStream*)
{
    if (vorbisFile)
        ov_clear(vorbisFile);
    vorbisFile = nullptr;
    gain = 1.0f;
}
