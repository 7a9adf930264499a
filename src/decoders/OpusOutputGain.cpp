#include "OpusOutputGain.h"

#include <algorithm>

int CombinedGainQ8(const OpusIdHeader& header, const OpusTagGains& tags, const OpusGainSetting& setting)
{
    std::int64_t total = static_cast<std::int64_t>(header.outputGainQ8) + setting.offsetQ8;
    if (setting.base == OpusGainBase::Track)
        total += tags.trackGainQ8.value_or(0);
    else if (setting.base == OpusGainBase::Album)
        total += tags.albumGainQ8.value_or(0);
    return static_cast<int>(std::clamp<std::int64_t>(total, -32768, 32767));
}
