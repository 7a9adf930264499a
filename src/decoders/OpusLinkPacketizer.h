// Turns the pages of one link's Opus stream into its two header packets and
// then its audio packets, each placed on the link's granule clock (48 kHz
// frames) so that the caller can trim the pre-skip, the end of the stream
// and the frames before a seek target.
#pragma once

#include "OpusLinkHeader.h"

#include <ogg/ogg.h>

#include <array>
#include <cstdint>
#include <span>

// One audio packet. `data` points into the packetizer's buffer and stays
// valid until its next AddPage, BeginLink or ResumeAudio.
struct OpusTimedPacket {
    const unsigned char* data = nullptr;
    long bytes = 0;
    int duration = 0;       // frames the packet decodes to, 1..5760
    std::int64_t start = 0; // granule position of its first frame
    // Granule position past its last frame to be played: start + duration,
    // or less when the page ends the stream inside this packet.
    std::int64_t end = 0;
};

class OpusLinkPacketizer {
public:
    enum class Phase { IdHeader, CommentHeader, Audio };
    enum class PageResult {
        Taken,     // header progress, or audio packets (possibly none) ready
        BadHeader, // a header packet is missing or malformed: the link is unplayable
    };

    OpusLinkPacketizer();
    ~OpusLinkPacketizer();
    OpusLinkPacketizer(const OpusLinkPacketizer&) = delete;
    OpusLinkPacketizer& operator=(const OpusLinkPacketizer&) = delete;

    // A new link whose Opus stream has serial `serial`: the next page is its
    // first, with the ID header.
    void BeginLink(int serial);
    // Continues in the audio of the link `serial` described by `header`
    // (after a seek). `linkStart` is the granule position of the link's first
    // frame; `granule` is that of the first frame of the next page's first
    // packet when the next page is the link's first audio page, else -1
    // (then each page places its packets back from its own granule position).
    void ResumeAudio(int serial, const OpusLinkHeader& header, std::int64_t linkStart, std::int64_t granule);

    // Takes the next page of the link (pages of other serials are ignored).
    // In the audio phase the packets the page completes replace Packets().
    [[nodiscard]] PageResult AddPage(ogg_page& page);

    [[nodiscard]] Phase CurrentPhase() const { return phase; }
    // The link's headers; complete from the audio phase on.
    [[nodiscard]] const OpusLinkHeader& Header() const { return header; }
    // Granule position of the link's first frame; -1 until its first audio
    // packet has been placed.
    [[nodiscard]] std::int64_t LinkStart() const { return linkStart; }
    // The audio packets completed by the last page, in order.
    [[nodiscard]] std::span<const OpusTimedPacket> Packets() const { return {packets.data(), packetCount}; }
    // How many pieces of damage the last page showed: a gap before it (lost
    // or damaged pages) and packets that cannot be decoded or placed.
    [[nodiscard]] int DamageSeen() const { return damage; }

private:
    PageResult TakeHeaderPacket(const ogg_packet& packet);
    void CollectAudioPackets();
    void PlacePackets(std::int64_t pageGranule);

    ogg_stream_state stream{};
    Phase phase = Phase::IdHeader;
    OpusLinkHeader header;
    std::int64_t linkStart = -1;
    // Granule position where the next packet starts; -1 when unknown (at the
    // start, after a seek or a gap), then taken back from the page's.
    std::int64_t nextGranule = -1;
    // A page has at most 255 segments, so it completes at most 255 packets.
    std::array<OpusTimedPacket, 255> packets{};
    std::size_t packetCount = 0;
    int damage = 0;
};
