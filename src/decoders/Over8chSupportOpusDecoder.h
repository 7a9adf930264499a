// Decodes an Ogg Opus source read from a host IStream into interleaved
// 32-bit float PCM at 48000 Hz, every channel of the stream unchanged (no
// limit of eight channels, no down-mix).
//
// Two paths: opusfile plays what it can (mapping families 0 and 1); the
// plug-in's own reader (OggOpusStreamDecoder) plays the streams opusfile
// refuses (family 255: 1..255 channels in any layout). Both deliver the same
// format, gain, trimming and seeking.
#pragma once

#include "OggOpusStreamDecoder.h"

#include <sound/BasicHSSDecoder.h>

#include <cstdint>
#include <memory>
#include <span>

struct OggOpusFile;

enum class OpusDecodingPath {
    // opusfile first; the own reader when opusfile answers that it does not
    // implement the stream's channel mapping.
    Automatic,
    // The own reader for every stream, so that tests and benchmarks can hold
    // it against opusfile on the streams both can play.
    OwnReader,
};

class Over8chSupportOpusDecoder : public BasicHSSDecoder {
public:
    explicit Over8chSupportOpusDecoder(OpusDecodingPath path = OpusDecodingPath::Automatic) : decodingPath(path) {}

    // Opens the source, fills the format (48000 Hz, the header's channel
    // count, float, seek code 2, total frames and milliseconds) and applies
    // the gain that the Opus gain query answers for `name`. False when the
    // data is not a playable Ogg Opus stream.
    //
    // A source that can seek goes to opusfile and, when opusfile answers
    // OP_EIMPL, to the own reader from its first byte. A source that cannot
    // seek cannot be read twice: its first page is read here, and the own
    // reader takes it when its mapping family is 255 (which opusfile 0.12
    // refuses), opusfile otherwise, each handed the bytes already read.
    [[nodiscard]] bool OpenStream(IStream* source, const char16_t* name,
                                  HSSWaveFormat& formatOut) override;
    // Decodes up to `frames` frames; false when none came (the end).
    [[nodiscard]] bool DecodeSamples(IStream* source, void* buffer, std::uint32_t frames,
                                     std::uint32_t& rendered) override;
    // Sample-exact seek to frame `position`; false when refused.
    [[nodiscard]] bool SeekSamples(IStream* source, std::uint64_t position) override;
    void CloseStream(IStream* source) override;

    // Reads that report a hole in the data in a row before DecodeSamples
    // gives up and returns what it has.
    static constexpr int kMaxConsecutiveHoles = OggOpusStreamDecoder::kMaxConsecutiveHoles;

protected:
    ~Over8chSupportOpusDecoder() override;

private:
    [[nodiscard]] bool OpenEitherPath(IStream* source);
    // op_open_callbacks on `source` after `alreadyRead`; the library's error
    // (0 when open).
    [[nodiscard]] int OpenWithOpusfile(IStream* source, std::span<const std::uint8_t> alreadyRead);
    [[nodiscard]] bool OpenWithOwnReader(IStream* source, std::span<const std::uint8_t> alreadyRead);
    [[nodiscard]] std::uint32_t DecodeWithOpusfile(float* out, std::uint32_t frames);
    void ApplyGainQuery(const char16_t* name);

    OpusDecodingPath decodingPath;
    OggOpusFile* opusFile = nullptr;
    // The chained-stream link that the last samples came from.
    int linkIndex = -1;
    // The own reader while it plays the source.
    std::unique_ptr<OggOpusStreamDecoder> ownReader;
};
