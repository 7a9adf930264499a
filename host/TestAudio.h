// Synthesised test audio, encoded in memory as Ogg Opus (libopusenc) or Ogg
// Vorbis (libvorbisenc). Tests, benchmarks and tools generate every audio file
// they need with these functions: no binary audio is committed.
//
// Everything here is deterministic: the same arguments give the same samples
// and the same bytes (fixed Ogg serial numbers, seeded noise).
//
// Errors: Synthesize, DistinctTones, OpusMappingFamily, EncodeOpus and
// EncodeVorbis throw std::invalid_argument for bad arguments and for any error
// reported by the encoders (the message names the argument or the encoder's
// error). They never return an empty result to signal an error: an empty
// result is a valid encoding of no samples. WriteFile never throws.
//
// The option structs are meant to be filled member by member
// (`OpusOptions options; options.bitrate = 64000;`): the project builds with
// -Wextra -Werror, and GCC 12 warns about aggregate and designated
// initialisers that leave members out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testaudio {

enum class Waveform { Sine, Dc, Noise, Silence };

struct ChannelSignal {
    Waveform waveform = Waveform::Sine;
    // Hz, for Sine: sample n is amplitude * sin(2 * pi * frequency * n / sampleRate),
    // so every sine starts at phase 0 on frame 0.
    double frequency = 440.0;
    // Peak for Sine and Noise, level for Dc; ignored for Silence.
    float amplitude = 0.5f;
    // For Noise: xorshift32 seeded with this value (0 is replaced by a fixed
    // non-zero constant), uniform in [-amplitude, amplitude). The same seed
    // gives the same noise whatever the channel, the rest of the signal or the sample rate.
    std::uint32_t seed = 1;
};

// A one-sample impulse added on every channel at `frame` (click marker to
// check sample-exact seeking). It is added to the channel's signal, not
// substituted: put it on Silence to see exactly `amplitude` at `frame`.
struct Click {
    std::uint64_t frame;
    float amplitude;
};

struct SignalSpec {
    std::uint32_t sampleRate = 48000;
    std::uint64_t frames = 48000;        // per channel
    std::vector<ChannelSignal> channels; // one entry per channel
    std::vector<Click> clicks;
};

// Interleaved float samples, frames * channels.size() values: sample of frame
// n, channel c at index n * channels.size() + c. Nothing is clipped: values
// beyond +-1 (loud clicks on a loud signal) are returned as they are.
// Throws std::invalid_argument when sampleRate is 0, a frequency, amplitude or
// click amplitude is not finite, a click's frame is not below `frames`, or the
// size would overflow.
[[nodiscard]] std::vector<float> Synthesize(const SignalSpec& shape);

// The highest tone frequency DistinctTones uses at `sampleRate`:
// min(8000 Hz, 0.4 * sampleRate). 8 kHz stays inside the passband of Opus at
// its default bitrates and of Vorbis at any quality.
[[nodiscard]] double DistinctToneCeiling(std::uint32_t sampleRate);

// `channels` sines of amplitude 0.25 that tell the channels apart: channel c
// has frequency step * (c + 1), with step = baseHz when baseHz * channels fits
// under DistinctToneCeiling(sampleRate), else step = ceiling / channels (for
// example 255 channels at 48 kHz get 31.37 Hz, 62.75 Hz, ... 8000 Hz). Read
// each channel's frequency from the returned SignalSpec's channels[c].frequency.
// Throws std::invalid_argument when channels is 0, sampleRate is 0, or baseHz
// is not finite and positive.
//
// Beware LFE channels, which the encoders code only at low frequencies, so
// their tone is lost unless it is lowered (e.g. to 100 Hz): the last channel of
// Opus mapping family 1 with 6..8 channels (IsOpusLfeChannel; a 300 Hz tone
// survives, 500 Hz does not; family 255 has no LFE), and channel 5 of 6 in
// Vorbis at 40..70 kHz (IsVorbisLfeChannel; 200 Hz survives, 300 Hz does not).
[[nodiscard]] SignalSpec DistinctTones(std::uint32_t channels, std::uint64_t frames,
                                       std::uint32_t sampleRate = 48000, double baseHz = 200.0);

struct OpusOptions {
    // -1: automatic: family 1 for 1..8 channels, 255 for 9..255. Explicit 0 is
    // allowed for 1-2 channels, 1 for 1..8, 255 for 1..255 (every channel its
    // own uncoupled stream). Anything else is rejected.
    int mappingFamily = -1;
    // Bits/s over all channels; 0 = the libopus default, which scales with the
    // number of streams and channels. libopus clamps other values to its range
    // (500 .. 300000 bits/s per channel); negative values are rejected.
    int bitrate = 0;
    int complexity = 10; // 0..10
    // Output gain in the Opus header, Q7.8 dB (-32768 .. 32767). opusfile
    // applies it by default when decoding.
    int headerGainQ8 = 0;
    // Writes the R128_TRACK_GAIN comment as a decimal Q7.8 integer
    // (-32768 .. 32767). opusfile does not apply it unless asked to.
    std::optional<int> r128TrackGainQ8;
    // Writes the R128_ALBUM_GAIN comment.
    std::optional<int> r128AlbumGainQ8;
    // Extra tags, written as given after the R128 ones, in this order. A key
    // must be non-empty and contain no '='. Nothing else is checked, so a test
    // may write malformed R128_* values here on purpose.
    std::vector<std::pair<std::string, std::string>> comments;
    // Longest stretch of audio on one Ogg page, in 48 kHz samples
    // (OPE_SET_MUXING_DELAY): a page is closed once it spans this much. The
    // default, libopusenc's 48000, gives pages of about 1 s as the opusenc
    // tool does, so a 1 s file has a single audio page; lower it (e.g. 4800
    // for ~0.1 s pages, 960 for one packet per page) for files of many pages.
    // 0 = no limit (pages close only when full).
    int maxPageDuration = 48000;
    // Ogg stream serial number; fixed so that the output is deterministic.
    std::int32_t serialNumber = 0x56595441;
};

// Encodes interleaved float input (channels 1..255, interleaved.size() a
// multiple of channels) into a complete Ogg Opus file in memory. The input rate
// may be any positive rate (libopusenc resamples it to 48 kHz and records it
// in the header as the input rate); 48 kHz input is not resampled. The decoded
// length at 48 kHz is exactly ceil(frames * 48000 / sampleRate), i.e. the
// input length for 48 kHz input (libopusenc trims with the pre-skip and the
// last granule position), and a click at input frame k decodes at frame
// round(k * 48000 / sampleRate). Empty input gives a valid file that decodes
// to no samples.
//
// Mind that:
// - libopus removes DC (a ~3 Hz high-pass in the encoder), so a Dc signal
//   decays to 0 within a few hundred milliseconds; measure levels with a sine.
// - opusfile (0.12) refuses mapping family 255 (op_open_* fail with OP_EIMPL),
//   so the files of 9..255 channels are valid Ogg Opus that opusfile cannot
//   play; decode them with libopus's multistream decoder to check them.
// - Samples must be finite; values beyond +-1 are passed on unclipped.
// - The output is deterministic: the serial number is fixed and
//   libopusenc's uninitialised state is worked around (see TestAudio.cpp).
[[nodiscard]] std::vector<std::uint8_t> EncodeOpus(const std::vector<float>& interleaved,
                                                   std::uint32_t channels, std::uint32_t sampleRate,
                                                   const OpusOptions& options = {});

// The mapping family EncodeOpus uses for `channels` with `requestedFamily`
// (-1 for automatic). Throws std::invalid_argument when the combination is
// not supported.
[[nodiscard]] int OpusMappingFamily(std::uint32_t channels, int requestedFamily = -1);

// True when channel `channel` of a stream with `channels` channels in mapping
// `family` is an LFE channel (family 1, 6..8 channels, last channel), which
// libopus codes with a very narrow bandwidth (up to a few hundred Hz).
[[nodiscard]] bool IsOpusLfeChannel(std::uint32_t channel, std::uint32_t channels, int family);

struct VorbisOptions {
    float quality = 0.5f; // vorbis_encode_init_vbr quality, -0.1 .. 1.0
    // Text of the REPLAYGAIN_TRACK_GAIN comment, written as given, e.g. "-6.50 dB".
    std::optional<std::string> replayGainTrack;
    std::optional<std::string> replayGainAlbum; // REPLAYGAIN_ALBUM_GAIN
    // Extra tags, written as given after the ReplayGain ones, in this order.
    // A key must be non-empty and contain no '='.
    std::vector<std::pair<std::string, std::string>> comments;
    // Ogg stream serial number; fixed so that the output is deterministic.
    std::int32_t serialNumber = 0x56595456;
};

// Encodes interleaved float input into a complete Ogg Vorbis file at
// `sampleRate` with `channels` channels (libvorbisenc, VBR). The last granule
// position is the number of input frames, so the decoded length (and
// ov_pcm_total) equals it exactly, and the decoded samples are aligned with the
// input (a click at frame k decodes at frame k). Empty input gives a valid file
// that decodes to no samples. Channels 1..255; sampleRate up to 200000 Hz
// (libvorbisenc 1.3.7 has no setup above and fails; the error is thrown).
// Samples must be finite; values beyond +-1 are passed on unclipped. DC is
// kept.
[[nodiscard]] std::vector<std::uint8_t> EncodeVorbis(const std::vector<float>& interleaved,
                                                     std::uint32_t channels,
                                                     std::uint32_t sampleRate,
                                                     const VorbisOptions& options = {});

// True when libvorbisenc (1.3.7) codes channel `channel` as an LFE: channel 5
// of 6 (the Vorbis 5.1 order L, C, R, Ls, Rs, LFE) at 40000..70000 Hz, where it
// has a 5.1 setup; it keeps only frequencies up to about 200 Hz there.
[[nodiscard]] bool IsVorbisLfeChannel(std::uint32_t channel, std::uint32_t channels,
                                      std::uint32_t sampleRate);

// Writes bytes to `path` through a temporary file in the same folder and a
// rename, so no partial file is left: the target is either replaced whole or
// left as it was. False on any failure (missing folder, path is a folder,
// write error); never throws.
[[nodiscard]] bool WriteFile(const std::filesystem::path& path,
                             const std::vector<std::uint8_t>& bytes);

} // namespace testaudio
