#include "OpusLinkPacketizer.h"

#include <opus/opus.h>

#include <algorithm>

namespace {

constexpr int kOpusRate = 48000;
constexpr int kLongestPacket = 5760; // 120 ms

// Frames `packet` decodes to; 0 when it is not a valid Opus packet.
int PacketDuration(const ogg_packet& packet)
{
    if (packet.bytes <= 0)
        return 0;
    const int frames = opus_packet_get_nb_samples(packet.packet, static_cast<opus_int32>(packet.bytes), kOpusRate);
    return frames > 0 && frames <= kLongestPacket ? frames : 0;
}

} // namespace

OpusLinkPacketizer::OpusLinkPacketizer()
{
    ogg_stream_init(&stream, 0);
}

OpusLinkPacketizer::~OpusLinkPacketizer()
{
    ogg_stream_clear(&stream);
}

void OpusLinkPacketizer::BeginLink(int serial)
{
    ogg_stream_reset_serialno(&stream, serial);
    phase = Phase::IdHeader;
    header = OpusLinkHeader{};
    linkStart = -1;
    nextGranule = -1;
    packetCount = 0;
    damage = 0;
}

void OpusLinkPacketizer::ResumeAudio(int serial, const OpusLinkHeader& linkHeader, std::int64_t start,
                                     std::int64_t granule)
{
    ogg_stream_reset_serialno(&stream, serial);
    phase = Phase::Audio;
    header = linkHeader;
    linkStart = start;
    nextGranule = granule;
    packetCount = 0;
    damage = 0;
}

OpusLinkPacketizer::PageResult OpusLinkPacketizer::AddPage(ogg_page& page)
{
    packetCount = 0;
    damage = 0;
    if (ogg_stream_pagein(&stream, &page) != 0)
        return PageResult::Taken; // another stream's page
    if (phase == Phase::Audio) {
        CollectAudioPackets();
        PlacePackets(ogg_page_granulepos(&page));
        return PageResult::Taken;
    }
    ogg_packet packet;
    int result = 0;
    while (phase != Phase::Audio && (result = ogg_stream_packetout(&stream, &packet)) != 0) {
        if (result < 0 || TakeHeaderPacket(packet) == PageResult::BadHeader)
            return PageResult::BadHeader;
    }
    // Audio begins on a page of its own.
    if (phase == Phase::Audio && ogg_stream_packetpeek(&stream, nullptr) != 0)
        return PageResult::BadHeader;
    return PageResult::Taken;
}

OpusLinkPacketizer::PageResult OpusLinkPacketizer::TakeHeaderPacket(const ogg_packet& packet)
{
    const auto size = static_cast<std::size_t>(packet.bytes > 0 ? packet.bytes : 0);
    if (phase == Phase::IdHeader) {
        if (!ParseOpusIdHeader(packet.packet, size, header.id))
            return PageResult::BadHeader;
        phase = Phase::CommentHeader;
        return PageResult::Taken;
    }
    if (!ParseOpusTagGains(packet.packet, size, header.tags))
        return PageResult::BadHeader;
    phase = Phase::Audio;
    return PageResult::Taken;
}

void OpusLinkPacketizer::CollectAudioPackets()
{
    ogg_packet packet;
    int result = 0;
    while ((result = ogg_stream_packetout(&stream, &packet)) != 0) {
        const int duration = result > 0 ? PacketDuration(packet) : 0;
        if (duration == 0 || packetCount == packets.size()) {
            // A gap before this page, or a packet that cannot be decoded:
            // the clock resumes from the page's granule position.
            ++damage;
            nextGranule = -1;
            continue;
        }
        OpusTimedPacket& timed = packets[packetCount++];
        timed.data = packet.packet;
        timed.bytes = packet.bytes;
        timed.duration = duration;
    }
}

void OpusLinkPacketizer::PlacePackets(std::int64_t pageGranule)
{
    if (pageGranule < 0)
        pageGranule = -1; // no packet ends on this page, or a damaged value
    std::int64_t total = 0;
    for (std::size_t i = 0; i < packetCount; ++i)
        total += packets[i].duration;
    std::int64_t granule = nextGranule;
    if (granule < 0) {
        if (pageGranule < 0) {
            // Nowhere to place them.
            damage += packetCount > 0 ? 1 : 0;
            packetCount = 0;
            return;
        }
        // The packets end at the page's granule position; a first page may
        // hold more than that (a stream shorter than its packets).
        granule = std::max<std::int64_t>(pageGranule - total, 0);
    }
    if (linkStart < 0 && packetCount > 0)
        linkStart = granule;
    for (std::size_t i = 0; i < packetCount; ++i) {
        OpusTimedPacket& timed = packets[i];
        timed.start = granule;
        granule += timed.duration;
        // The last page may end the stream before its packets do.
        timed.end = pageGranule >= 0 ? std::clamp(pageGranule, timed.start, granule) : granule;
    }
    nextGranule = pageGranule >= 0 ? pageGranule : granule;
}
