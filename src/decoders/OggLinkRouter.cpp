#include "OggLinkRouter.h"

#include <cstring>

namespace {

// The first page of an Opus stream holds the ID header alone.
bool StartsOpusStream(const ogg_page& page)
{
    return page.body_len >= 8 && std::memcmp(page.body, "OpusHead", 8) == 0;
}

} // namespace

void OggLinkRouter::Reset()
{
    serial = 0;
    haveSerial = false;
    inFirstPages = false;
}

void OggLinkRouter::Follow(int linkSerial)
{
    serial = linkSerial;
    haveSerial = true;
    inFirstPages = false;
}

OggLinkRouter::Route OggLinkRouter::Classify(const ogg_page& page)
{
    if (ogg_page_bos(&page)) {
        // A first page after other pages begins the next chained link.
        if (!inFirstPages) {
            inFirstPages = true;
            haveSerial = false;
        }
        if (haveSerial || !StartsOpusStream(page))
            return Route::Ignore;
        serial = ogg_page_serialno(&page);
        haveSerial = true;
        return Route::NewLink;
    }
    inFirstPages = false;
    return haveSerial && ogg_page_serialno(&page) == serial ? Route::Current : Route::Ignore;
}
