#include "TrackListReader.h"

#include "NumberFields.h"
#include "PathPieces.h"
#include "TextPieces.h"

#include <vymultitrack/AsciiCase.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kDefaultVolume = 1.0f;

struct TrackLine {
    std::u16string key;                  // lower-cased track name
    std::vector<std::u16string> fields;  // the channel fields after the name
    int line;
};

struct VolumeLine {
    std::u16string key; // lower-cased track name
    float value;
};

// The channel fields of a track line as source channels, one per output
// slot that the track can bind; -1 where no map slot can hold the channel.
std::vector<std::int32_t> SlotChannels(const std::vector<std::u16string>& fields, std::uint32_t channelCount)
{
    const std::size_t slots = std::min<std::size_t>({channelCount, fields.size(), kMaxChannelSlots});
    std::vector<std::int32_t> channels;
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const std::int32_t channel = ParseIntegerField(fields[slot]);
        channels.push_back(channel >= 0 && channel < kFirstUnnamableChannel ? channel : -1);
    }
    return channels;
}

// Reads statements one line at a time; a message ends the reading.
class MchxReader {
public:
    MchxReader(std::u16string_view path, TrackListDescription& list)
        : directory(DirectoryOf(path)), list(list)
    {
    }

    std::u16string ReadLine(const std::vector<std::u16string>& fields, int line)
    {
        const std::u16string& keyword = fields[0];
        if (keyword == u"channel")
            return ReadChannel(fields);
        if (keyword == u"source")
            return ReadSource(fields, line);
        if (keyword == u"track") {
            if (fields.size() < 2)
                return u"no track name";
            tracks.push_back({AsciiLowerCase(fields[1]), {fields.begin() + 2, fields.end()}, line});
        } else if (keyword == u"volume") {
            if (fields.size() < 2)
                return u"no volume name";
            volumes.push_back({AsciiLowerCase(fields[1]), VolumeValue(fields)});
        }
        return {};
    }

    std::u16string Finish()
    {
        if (list.channelCount == 0)
            return u"no channel";
        if (tracks.empty())
            return u"no track";
        if (list.sources.empty())
            return u"no source";
        for (const TrackLine& track : tracks)
            list.channelTracks.push_back({track.key, SlotChannels(track.fields, list.channelCount), track.line});
        ApplyVolumes();
        return {};
    }

private:
    std::u16string ReadChannel(const std::vector<std::u16string>& fields)
    {
        const std::int32_t count = fields.size() < 2 ? 0 : ParseIntegerField(fields[1]);
        if (count <= 0 || count > kMaxTrackChannels)
            return u"invalid channel count";
        if (list.channelCount > 0)
            return u"duplicated channel found";
        list.channelCount = static_cast<std::uint32_t>(count);
        return {};
    }

    std::u16string ReadSource(const std::vector<std::u16string>& fields, int line)
    {
        if (fields.size() < 2)
            return u"invalid source";
        // Listed even when it is a second source: its decoder choice is
        // taken before the list is refused.
        const bool second = !list.sources.empty();
        list.sources.push_back({directory + fields[1], fields.size() >= 3 ? fields[2] : u"", {}, line});
        if (second)
            return u"multi source found";
        list.listName = fields[1];
        return {};
    }

    // A volume that is not a finite number would turn the whole mix into
    // infinities and NaNs; it counts as missing.
    static float VolumeValue(const std::vector<std::u16string>& fields)
    {
        if (fields.size() < 3)
            return kDefaultVolume;
        const float value = ParseFloatField(fields[2]);
        return std::isfinite(value) ? value : kDefaultVolume;
    }

    void ApplyVolumes()
    {
        if (volumes.empty())
            return;
        list.volumes.assign(list.channelTracks.size(), kDefaultVolume);
        // Last to first, so that the first line naming a track has the last
        // word; a name shared by several tracks sets the first of them.
        for (auto entry = volumes.rbegin(); entry != volumes.rend(); ++entry) {
            const auto track = std::find_if(list.channelTracks.begin(), list.channelTracks.end(),
                                            [&](const ListedChannelTrack& t) { return t.name == entry->key; });
            if (track != list.channelTracks.end())
                list.volumes[static_cast<std::size_t>(track - list.channelTracks.begin())] = entry->value;
        }
    }

    std::u16string directory;
    TrackListDescription& list;
    std::vector<TrackLine> tracks;
    std::vector<VolumeLine> volumes;
};

} // namespace

TrackListDescription ReadMchxList(std::u16string_view path, std::u16string_view text)
{
    TrackListDescription list;
    list.form = TrackListForm::Mchx;
    const std::vector<TextLine> lines = SplitLines(text);
    list.refused = lines.empty();
    MchxReader reader(path, list);
    for (const TextLine& line : lines) {
        if (list.refused)
            break;
        if (line.text.empty() || line.text.front() == u'#')
            continue;
        const std::vector<std::u16string> fields = SplitFields(line.text, u'\t');
        if (fields.empty())
            continue;
        list.errorMessage = reader.ReadLine(fields, line.number);
        list.refused = !list.errorMessage.empty();
        list.errorLine = list.refused ? line.number : 0;
    }
    if (!list.refused) {
        list.errorMessage = reader.Finish();
        list.refused = !list.errorMessage.empty();
    }
    return list;
}
