#include "OggOpusStreamDecoder.h"

#include <sound/StreamAdapter.h>

#include <algorithm>
#include <cstring>

namespace {

int LinkGainQ8(const OpusLinkHeader& header, const OpusGainSetting& gain)
{
    return CombinedGainQ8(header.id, header.tags, gain);
}

} // namespace

bool OggOpusStreamDecoder::Open(IStream* stream, std::span<const std::uint8_t> alreadyRead)
{
    ended = true;
    seekable = false;
    channels = 0;
    gain = OpusGainSetting{};
    pages.Attach(stream, alreadyRead);
    router.Reset();
    if (!ReadFirstHeaders())
        return false;
    channels = packetizer.Header().id.channelCount;
    pending.assign(static_cast<std::size_t>(OpusMultistreamDecoder::kLongestPacket) * channels, 0.0f);
    if (!BeginLinkAudio())
        return false;
    seekable = StreamAdapter::Tell(stream) >= 0;
    if (!seekable)
        return true;
    if (!map.Build(pages, channels))
        return false;
    OpusSeekPlan plan;
    if (!map.Plan(0, plan)) {
        ended = true; // no audio at all
        return true;
    }
    return StartAt(plan);
}

bool OggOpusStreamDecoder::ReadFirstHeaders()
{
    ogg_page page;
    bool found = false;
    while (pages.NextPage(page)) {
        const OggLinkRouter::Route route = router.Classify(page);
        if (route == OggLinkRouter::Route::Ignore) {
            // Other streams' first pages may come before the Opus one; data
            // before it means the first link has no Opus stream.
            if (!found && !ogg_page_bos(&page))
                return false;
            continue;
        }
        if (route == OggLinkRouter::Route::NewLink) {
            if (found)
                return false; // the first link's headers never finished
            found = true;
            packetizer.BeginLink(ogg_page_serialno(&page));
        }
        if (packetizer.AddPage(page) == OpusLinkPacketizer::PageResult::BadHeader)
            return false;
        if (packetizer.CurrentPhase() == OpusLinkPacketizer::Phase::Audio)
            return true;
    }
    return false;
}

bool OggOpusStreamDecoder::BeginLinkAudio()
{
    const OpusLinkHeader& header = packetizer.Header();
    if (header.id.channelCount != channels || !decoder.Prepare(header.id))
        return false;
    decoder.SetGainQ8(LinkGainQ8(header, gain));
    seekTarget = 0;
    decodeFrom = -1;
    nextPacket = 0;
    ended = false;
    return true;
}

void OggOpusStreamDecoder::SetGain(const OpusGainSetting& setting)
{
    gain = setting;
    if (channels > 0 && packetizer.CurrentPhase() == OpusLinkPacketizer::Phase::Audio)
        decoder.SetGainQ8(LinkGainQ8(packetizer.Header(), gain));
}

OggOpusStreamDecoder::Fetch OggOpusStreamDecoder::FetchPage(int& damage)
{
    ogg_page page;
    while (pages.NextPage(page)) {
        const OggLinkRouter::Route route = router.Classify(page);
        if (route == OggLinkRouter::Route::Ignore)
            continue;
        if (route == OggLinkRouter::Route::NewLink)
            packetizer.BeginLink(ogg_page_serialno(&page));
        const bool inHeaders = packetizer.CurrentPhase() != OpusLinkPacketizer::Phase::Audio;
        if (packetizer.AddPage(page) == OpusLinkPacketizer::PageResult::BadHeader)
            return Fetch::End;
        if (inHeaders) {
            if (packetizer.CurrentPhase() == OpusLinkPacketizer::Phase::Audio && !BeginLinkAudio())
                return Fetch::End; // another channel count, or a layout libopus refuses
            continue;
        }
        damage += packetizer.DamageSeen();
        if (!packetizer.Packets().empty()) {
            nextPacket = 0;
            return Fetch::Packets;
        }
    }
    return Fetch::End;
}

std::uint32_t OggOpusStreamDecoder::TakePending(float* out, std::uint32_t frames)
{
    const auto count = std::min<std::uint32_t>(static_cast<std::uint32_t>(pendingEnd - pendingBegin), frames);
    const auto width = static_cast<std::size_t>(channels);
    std::memcpy(out, pending.data() + static_cast<std::size_t>(pendingBegin) * width, count * width * sizeof(float));
    pendingBegin += static_cast<int>(count);
    return count;
}

int OggOpusStreamDecoder::DecodePacket(const OpusTimedPacket& packet, float* out, std::uint32_t room)
{
    if (decodeFrom >= 0 && packet.start + packet.duration <= decodeFrom)
        return 0; // before the pre-roll of a seek: not needed
    const std::int64_t keepStart =
        std::max(packetizer.LinkStart() + packetizer.Header().id.preSkip, seekTarget);
    const std::int64_t dropped = std::max<std::int64_t>(keepStart - packet.start, 0);
    const std::int64_t kept = packet.end - packet.start;
    if (dropped == 0 && room >= static_cast<std::uint32_t>(packet.duration)) {
        const int maxFrames = static_cast<int>(std::min<std::uint32_t>(room, OpusMultistreamDecoder::kLongestPacket));
        const int decoded = decoder.Decode(packet.data, packet.bytes, out, maxFrames);
        if (decoded < 0)
            return -1;
        return static_cast<int>(std::clamp<std::int64_t>(kept, 0, decoded));
    }
    const int decoded =
        decoder.Decode(packet.data, packet.bytes, pending.data(), OpusMultistreamDecoder::kLongestPacket);
    if (decoded < 0)
        return -1;
    pendingBegin = static_cast<int>(std::min<std::int64_t>(dropped, decoded));
    pendingEnd = static_cast<int>(std::clamp<std::int64_t>(kept, pendingBegin, decoded));
    return 0;
}

std::uint32_t OggOpusStreamDecoder::Decode(float* out, std::uint32_t frames)
{
    if (!out || channels == 0)
        return 0;
    const auto width = static_cast<std::size_t>(channels);
    std::uint32_t done = 0;
    int damage = 0;
    while (done < frames) {
        if (pendingBegin < pendingEnd) {
            done += TakePending(out + done * width, frames - done);
            continue;
        }
        if (ended || damage > kMaxConsecutiveHoles)
            break;
        const std::span<const OpusTimedPacket> packets = packetizer.Packets();
        if (nextPacket >= packets.size()) {
            ended = FetchPage(damage) == Fetch::End;
            continue;
        }
        const int written = DecodePacket(packets[nextPacket++], out + done * width, frames - done);
        if (written < 0) {
            ++damage;
            continue;
        }
        damage = 0;
        done += static_cast<std::uint32_t>(written);
    }
    return done;
}

bool OggOpusStreamDecoder::Seek(std::uint64_t frame)
{
    OpusSeekPlan plan;
    return seekable && map.Plan(frame, plan) && StartAt(plan);
}

bool OggOpusStreamDecoder::StartAt(const OpusSeekPlan& plan)
{
    const OpusLinkExtent& link = map.Links()[plan.link];
    pendingBegin = 0;
    pendingEnd = 0;
    nextPacket = 0;
    packetizer.ResumeAudio(link.serial, link.header, link.startGranule, plan.pageGranule);
    router.Follow(link.serial);
    ended = true;
    if (!decoder.Prepare(link.header.id))
        return false;
    decoder.SetGainQ8(LinkGainQ8(link.header, gain));
    seekTarget = plan.target;
    decodeFrom = plan.decodeFrom;
    ended = !pages.SeekTo(plan.pageOffset);
    return !ended;
}
