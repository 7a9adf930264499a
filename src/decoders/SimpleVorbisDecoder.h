// Decodes an Ogg Vorbis source read from a host IStream into interleaved
// 32-bit float PCM at the stream's own rate and channel count, scaled by a
// gain factor that the Vorbis gain query sets when the source opens.
#pragma once

#include <sound/BasicHSSDecoder.h>

#include <vorbis/vorbisfile.h>

#include <cstdint>

class SimpleVorbisDecoder : public BasicHSSDecoder {
public:
    SimpleVorbisDecoder();

    // Opens the source, fills the format and sets `gain` from the gain
    // query's answer for `name`. False when the data is not Ogg Vorbis.
    [[nodiscard]] bool OpenStream(IStream* source, const char16_t* name,
                                  HSSWaveFormat& formatOut) override;
    // Decodes up to `frames` frames (each sample times `gain`); false when
    // none came (the end) or `frames` is 0.
    [[nodiscard]] bool DecodeSamples(IStream* source, void* buffer, std::uint32_t frames,
                                     std::uint32_t& rendered) override;
    [[nodiscard]] bool SeekSamples(IStream* source, std::uint64_t position) override;
    void CloseStream(IStream* source) override;

    // The factor applied to every decoded sample.
    [[nodiscard]] float Gain() const { return gain; }

    static constexpr int kMaxConsecutiveHoles = 64;

protected:
    ~SimpleVorbisDecoder() override;

private:
    void ApplyGainQuery(const char16_t* name);

    OggVorbis_File* vorbisFile = nullptr; // points at fileState while open
    OggVorbis_File fileState;
    int bitstream = -1;
    float gain = 1.0f;
};

// The factor for a gain-query answer: 10^((dB + tag) / 20), where tag is the
// stream's REPLAYGAIN_TRACK_GAIN comment for mode 1, REPLAYGAIN_ALBUM_GAIN
// for mode 2 (0 dB when missing or unreadable) and 0 for mode 0. Any other
// mode, or a result that is not finite, gives 1.0.
[[nodiscard]] float VorbisGainFactor(std::int32_t mode, float gainDb, const char* trackTag,
                                     const char* albumTag);

// The dB value at the start of a ReplayGain comment such as "-6.50 dB";
// 0 when the text is null or does not start with a number.
[[nodiscard]] float ParseReplayGainDb(const char* text);
