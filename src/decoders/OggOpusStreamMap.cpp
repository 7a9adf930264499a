#include "OggOpusStreamMap.h"

#include "OggLinkRouter.h"
#include "OggPageReader.h"
#include "OpusLinkPacketizer.h"

#include <algorithm>
#include <optional>

void OggOpusStreamMap::CloseLink(OpusLinkExtent& link, std::int64_t endGranule)
{
    link.pageCount = pages.size() - link.firstPage;
    const std::int64_t played = endGranule - link.startGranule - link.header.id.preSkip;
    const bool placed = link.startGranule >= 0 && endGranule >= 0;
    link.startGranule = std::max<std::int64_t>(link.startGranule, 0);
    link.frames = placed && played > 0 ? static_cast<std::uint64_t>(played) : 0;
    link.firstFrame = totalFrames;
    totalFrames += link.frames;
    links.push_back(link);
}

bool OggOpusStreamMap::Build(OggPageReader& reader, int channelCount)
{
    links.clear();
    pages.clear();
    totalFrames = 0;
    if (!reader.SeekTo(0))
        return false;
    OggLinkRouter router;
    OpusLinkPacketizer packetizer;
    std::optional<OpusLinkExtent> link; // the link being read
    std::int64_t endGranule = -1;
    ogg_page page;
    while (reader.NextPage(page)) {
        const OggLinkRouter::Route route = router.Classify(page);
        if (route == OggLinkRouter::Route::Ignore)
            continue;
        if (route == OggLinkRouter::Route::NewLink) {
            if (link && packetizer.CurrentPhase() != OpusLinkPacketizer::Phase::Audio)
                break; // the link before never finished its headers
            if (link)
                CloseLink(*link, endGranule);
            link.emplace();
            link->serial = ogg_page_serialno(&page);
            link->startGranule = -1;
            link->firstPage = pages.size();
            endGranule = -1;
            packetizer.BeginLink(link->serial);
        }
        if (packetizer.CurrentPhase() != OpusLinkPacketizer::Phase::Audio) {
            if (packetizer.AddPage(page) == OpusLinkPacketizer::PageResult::BadHeader)
                break;
            link->header = packetizer.Header();
            if (packetizer.CurrentPhase() == OpusLinkPacketizer::Phase::Audio &&
                link->header.id.channelCount != channelCount)
                break;
            continue;
        }
        if (link->firstAudioOffset < 0)
            link->firstAudioOffset = reader.PageOffset();
        if (link->startGranule < 0) {
            // Only the first packets are needed, to place the link's start.
            (void)packetizer.AddPage(page);
            link->startGranule = packetizer.LinkStart();
        }
        const std::int64_t granule = ogg_page_granulepos(&page);
        if (granule >= 0) {
            pages.push_back({reader.PageOffset(), granule});
            endGranule = granule;
        }
    }
    // A link cut off in its headers, or with another channel count, ends the
    // map before it.
    if (link && packetizer.CurrentPhase() == OpusLinkPacketizer::Phase::Audio &&
        link->header.id.channelCount == channelCount)
        CloseLink(*link, endGranule);
    return !links.empty();
}

bool OggOpusStreamMap::Plan(std::uint64_t frame, OpusSeekPlan& plan) const
{
    if (frame >= totalFrames)
        return false;
    const auto link = std::find_if(links.begin(), links.end(), [frame](const OpusLinkExtent& l) {
        return frame < l.firstFrame + l.frames;
    });
    if (link == links.end())
        return false;
    plan = OpusSeekPlan{};
    plan.link = static_cast<std::size_t>(link - links.begin());
    plan.target = link->startGranule + link->header.id.preSkip + static_cast<std::int64_t>(frame - link->firstFrame);
    const std::int64_t preRollStart = plan.target - kPreRoll;
    const auto first = pages.begin() + static_cast<std::ptrdiff_t>(link->firstPage);
    const auto last = first + static_cast<std::ptrdiff_t>(link->pageCount);
    // The last page ending at or before the pre-roll: its packets all start
    // early enough.
    const auto after = std::upper_bound(first, last, preRollStart,
                                        [](std::int64_t g, const PageMark& mark) { return g < mark.granule; });
    if (after == first) {
        plan.pageOffset = link->firstAudioOffset;
        plan.pageGranule = link->startGranule;
        plan.decodeFrom = -1;
        return true;
    }
    plan.pageOffset = std::prev(after)->offset;
    plan.pageGranule = -1;
    plan.decodeFrom = preRollStart;
    return true;
}
