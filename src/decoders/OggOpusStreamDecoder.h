// The plug-in's own Ogg Opus reader: libogg for pages and packets, libopus's
// multistream decoder for the audio, so that streams of any channel layout
// play (opusfile refuses mapping family 255). It follows opusfile's rules:
// the pre-skip is dropped, the end is trimmed to the last granule position,
// the gain is combined as opusfile combines it, damaged data is skipped, and
// seeks are sample-exact with 80 ms of pre-roll.
//
// Chained files play link after link while the links keep the first link's
// channel count; the first link with another count (or unreadable headers)
// ends the stream. A seekable stream is read through once when it is opened
// to map its links and pages; an unseekable one plays straight through with
// no length and no seeking.
#pragma once

#include "OggLinkRouter.h"
#include "OggOpusStreamMap.h"
#include "OggPageReader.h"
#include "OpusLinkPacketizer.h"
#include "OpusMultistreamDecoder.h"
#include "OpusOutputGain.h"

#include <vymultitrack/Stream.h>

#include <cstdint>
#include <span>
#include <vector>

class OggOpusStreamDecoder {
public:
    // Damaged spots (gaps, undecodable packets) in a row after which Decode
    // returns what it has.
    static constexpr int kMaxConsecutiveHoles = 64;

    OggOpusStreamDecoder() = default;
    OggOpusStreamDecoder(const OggOpusStreamDecoder&) = delete;
    OggOpusStreamDecoder& operator=(const OggOpusStreamDecoder&) = delete;

    // Opens the Ogg Opus data of `stream` (not owned; it must outlive this
    // object or the next Open), reading on from its current position.
    // `alreadyRead` are bytes the caller has already taken from the start of
    // the data (empty when the stream stands at its start). A stream that
    // can seek is mapped from byte 0 (read through once) and then positioned
    // at the first frame. The gain starts as the header gain alone. False
    // when the data holds no playable Opus stream.
    [[nodiscard]] bool Open(IStream* stream, std::span<const std::uint8_t> alreadyRead = {});

    // Output channels (the first link's), 0 before a successful Open.
    [[nodiscard]] int ChannelCount() const { return channels; }
    // Frames per channel of all playable links; 0 when the stream cannot
    // seek (unknown).
    [[nodiscard]] std::uint64_t TotalFrames() const { return seekable ? map.TotalFrames() : 0; }

    // Sets what the gain is based on and the offset added to it; applies to
    // the current link from its next packet on and to every later link.
    void SetGain(const OpusGainSetting& setting);

    // Decodes up to `frames` frames into `out` (room for frames ×
    // ChannelCount() floats, interleaved). Returns the frames written; fewer
    // than asked only at the end of the stream or after
    // kMaxConsecutiveHoles damaged spots in a row; 0 when `out` is null or
    // nothing is open. Allocates nothing, except when a chained link needs a
    // decoder of another layout.
    [[nodiscard]] std::uint32_t Decode(float* out, std::uint32_t frames);

    // Moves to output frame `frame`, sample-exact. False when the stream
    // cannot seek, `frame` is not below TotalFrames(), or the stream refuses
    // the seek (decoding then goes on from an undefined place).
    [[nodiscard]] bool Seek(std::uint64_t frame);

private:
    enum class Fetch { Packets, End };

    [[nodiscard]] bool ReadFirstHeaders();
    [[nodiscard]] bool BeginLinkAudio();
    // Reads pages up to the next that completes audio packets, opening
    // chained links on the way; adds the damage it meets to `damage`.
    [[nodiscard]] Fetch FetchPage(int& damage);
    [[nodiscard]] bool StartAt(const OpusSeekPlan& plan);
    // Decodes `packet`, writing the frames to keep straight into `out` when
    // it has room for the whole packet (`room` frames) and keeps it from
    // its first frame, else into the pending buffer. The frames written to
    // `out`, or -1 when the packet cannot be decoded.
    [[nodiscard]] int DecodePacket(const OpusTimedPacket& packet, float* out, std::uint32_t room);
    std::uint32_t TakePending(float* out, std::uint32_t frames);

    OggPageReader pages;
    OggLinkRouter router;
    OpusLinkPacketizer packetizer;
    OpusMultistreamDecoder decoder;
    OggOpusStreamMap map;
    OpusGainSetting gain;
    bool seekable = false;
    bool ended = true;
    int channels = 0;
    // The current page's packets not yet decoded.
    std::size_t nextPacket = 0;
    // Frames before this granule position are decoded but not delivered
    // (besides the link's pre-skip): the seek target, 0 after none.
    std::int64_t seekTarget = 0;
    // Packets ending at or before this granule position are skipped
    // undecoded (before a seek's pre-roll); -1 for none.
    std::int64_t decodeFrom = -1;
    // Decoded frames waiting for the caller: frames [pendingBegin,
    // pendingEnd) of `pending`, sized at open for the longest packet.
    std::vector<float> pending;
    int pendingBegin = 0;
    int pendingEnd = 0;
};
