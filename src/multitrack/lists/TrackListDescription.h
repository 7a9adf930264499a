// What a track list says, read from its text alone: the form, the sources
// with their decoder choices, the tracks with their names and, for ".mchx",
// the channel maps and starting volumes; or why the list is refused before
// any source is opened. The mixers open and mix what it describes; the
// renderer's --check reports from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TrackListForm {
    MtrkFile,   // ".mtrk" text: one "name<TAB>source[<TAB>choice]" line per track
    MtrkInline, // ".mtrk" file name "a.opus|b.opus|id.mtrk", never read
    Mchx,       // ".mchx" text: one multi-channel source, tracks select channels
};

// One source file the list names, in list order.
struct ListedSource {
    // The storage name it is opened by: ".mtrk" file form as written,
    // otherwise joined to the list's directory.
    std::u16string storageName;
    // The line's decoder-choice field: empty (keep the choice so far), '*'
    // first (built-in decoders first) or a decoder module library to link.
    std::u16string decoderChoice;
    // ".mtrk": the names its track answers to if the source opens (track
    // name, source stem, source file name; empty ones left out). ".mchx":
    // empty.
    std::vector<std::u16string> trackNames;
    // 1-based line of the list text; 0 for the inline form.
    int line = 0;
};

// A ".mchx" track: a named selection of the source's channels.
struct ListedChannelTrack {
    std::u16string name; // lower-cased
    // Source channel per output channel, for the first min(channel count,
    // fields, kMaxChannelSlots) output channels; -1 where the field names no
    // channel a map slot can hold. Channels the source lacks are dropped by
    // the mixer, which knows the source.
    std::vector<std::int32_t> channels;
    int line = 0;
};

// Output channels a ".mchx" track can bind, and the first source channel no
// slot can name.
inline constexpr std::size_t kMaxChannelSlots = 8;
inline constexpr std::int32_t kFirstUnnamableChannel = 255;
// The most output channels a ".mchx" list may ask for: as many as an Opus or
// Vorbis source can have (only the first kMaxChannelSlots ever carry
// sound). A larger count would make every block the host asks for
// gigabytes long, or overflow its size on a 32-bit host.
inline constexpr std::int32_t kMaxTrackChannels = 255;

struct TrackListDescription {
    TrackListForm form = TrackListForm::MtrkFile;
    // The stream's name, which becomes its multi-track ID: the ".mtrk" file
    // name or the inline form's last part; the ".mchx" source field.
    std::u16string listName;
    // ".mtrk": every line with a source, in order. ".mchx": the source line
    // and, when a second one ends the list with "multi source found", that
    // line too (its decoder choice is still taken).
    std::vector<ListedSource> sources;
    // ".mchx" only.
    std::uint32_t channelCount = 0;
    std::vector<ListedChannelTrack> channelTracks;
    std::vector<float> volumes; // one per channel track, or empty without "volume" lines

    // Set when the text alone refuses the list (possibly with an empty
    // message). `sources` then holds only the source lines read before the
    // refusal (and the refusing line itself when it is a source line): the
    // mixer still takes their decoder choices and opens them, and a source
    // that does not open is reported before the refusal.
    bool refused = false;
    std::u16string errorMessage;
    int errorLine = 0; // 0: not tied to a line (checks after the last line)
};
