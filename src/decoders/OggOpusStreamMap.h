// The map of a seekable Ogg Opus file, built by reading it once when it is
// opened: its playable links, their lengths, and the granule position of
// every audio page, so that a seek finds its page without searching the
// file.
#pragma once

#include "OpusLinkHeader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class OggPageReader;

struct OpusLinkExtent {
    int serial = 0;
    OpusLinkHeader header;
    std::int64_t firstAudioOffset = -1; // byte offset of its first audio page
    std::int64_t startGranule = 0;      // granule position of its first frame
    std::uint64_t firstFrame = 0;       // output frames of the links before it
    std::uint64_t frames = 0;           // output frames it plays (after pre-skip and end trim)
    std::size_t firstPage = 0;          // its pages in OggOpusStreamMap's page list
    std::size_t pageCount = 0;
};

// Where to start reading for a seek and what to drop.
struct OpusSeekPlan {
    std::size_t link = 0;
    std::int64_t pageOffset = 0; // byte offset of the page to read first
    // Granule position of the first frame of that page's first packet when
    // the page is the link's first audio page; -1 otherwise.
    std::int64_t pageGranule = -1;
    // Packets ending at or before this granule position need not be decoded
    // (they lie before the pre-roll); -1 decodes every packet.
    std::int64_t decodeFrom = -1;
    std::int64_t target = 0; // granule position of the wanted frame
};

class OggOpusStreamMap {
public:
    // Frames decoded before a seek target to let the decoder settle (80 ms,
    // as Ogg Opus recommends).
    static constexpr std::int64_t kPreRoll = 3840;

    // Reads the whole file through `pages` from byte 0 (moving its position).
    // Links are taken in order while their ID header has `channelCount`
    // channels and both headers are sound; the map ends before the first
    // that does not. False when the stream refuses to seek or holds no
    // playable link; the map is then empty.
    [[nodiscard]] bool Build(OggPageReader& pages, int channelCount);

    [[nodiscard]] const std::vector<OpusLinkExtent>& Links() const { return links; }
    // Output frames of all playable links.
    [[nodiscard]] std::uint64_t TotalFrames() const { return totalFrames; }
    // The plan for a seek to output frame `frame`; false when `frame` is
    // not below TotalFrames().
    [[nodiscard]] bool Plan(std::uint64_t frame, OpusSeekPlan& plan) const;

private:
    struct PageMark {
        std::int64_t offset;  // byte offset of the page
        std::int64_t granule; // granule position at its end
    };

    void CloseLink(OpusLinkExtent& link, std::int64_t endGranule);

    std::vector<OpusLinkExtent> links;
    std::vector<PageMark> pages;
    std::uint64_t totalFrames = 0;
};
