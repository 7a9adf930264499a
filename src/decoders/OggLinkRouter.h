// Tells which pages of an Ogg file carry the Opus stream being played. A
// file may chain links one after another, each opening with its streams'
// first pages, and a link may multiplex other streams beside the Opus one;
// the first Opus stream of each link is the one played.
#pragma once

#include <ogg/ogg.h>

class OggLinkRouter {
public:
    enum class Route {
        Ignore,  // a page of some other stream, or of a link without Opus
        NewLink, // the first page of a link's Opus stream (its ID header)
        Current, // a later page of the current link's Opus stream
    };

    // Starts over: the first Opus stream found opens the first link.
    void Reset();
    // Carries on inside the link whose Opus stream has serial `serial`,
    // past its first pages (after a seek).
    void Follow(int serial);
    [[nodiscard]] Route Classify(const ogg_page& page);

private:
    int serial = 0;
    bool haveSerial = false;
    // True while only first pages have come since the current link began.
    bool inFirstPages = false;
};
