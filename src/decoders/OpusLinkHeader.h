// What the two header packets of one Ogg Opus link say.
#pragma once

#include "OpusIdHeader.h"
#include "OpusTagGains.h"

struct OpusLinkHeader {
    OpusIdHeader id;
    OpusTagGains tags;
};
