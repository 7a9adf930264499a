// vy_fuzz_seeds OUTDIR [LIST...]: writes a seed corpus per fuzz target into
// OUTDIR/<target>/ (seed-NNN files): the test sources the targets open, in
// every decoder and stream mode of fuzz_sources; track lists of every form
// over them (and the lists named on the command line, e.g. the examples);
// call sequences for fuzz_script_calls; timelines, command lines and time
// values for fuzz_timeline. Nothing here is committed: the audio is
// synthesised on every run.
#include "TestSources.h"

#include <host/TestAudio.h>
#include <host/WavWriter.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class SeedFolder {
public:
    SeedFolder(const std::filesystem::path& root, const char* target) : folder_(root / target)
    {
        std::filesystem::create_directories(folder_);
    }
    void Add(const Bytes& bytes)
    {
        char name[32];
        std::snprintf(name, sizeof name, "seed-%03d", count_++);
        std::ofstream(folder_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                               static_cast<std::streamsize>(bytes.size()));
    }
    void Add(std::uint8_t first, const std::string& text)
    {
        Bytes bytes{first};
        bytes.insert(bytes.end(), text.begin(), text.end());
        Add(bytes);
    }
    int Count() const { return count_; }

private:
    std::filesystem::path folder_;
    int count_ = 0;
};

// Two streams one after the other: a chained Ogg file.
Bytes Chained(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes WithHeader(std::uint8_t choice, const Bytes& file)
{
    Bytes bytes{choice, 37, 100, 9};
    bytes.insert(bytes.end(), file.begin(), file.end());
    return bytes;
}

void WriteSourceSeeds(SeedFolder& seeds)
{
    const std::vector<float> mono = testaudio::Synthesize(testaudio::DistinctTones(1, 2000, 44100));
    // WAV seeds stay short: every byte of them is something to mutate.
    const std::vector<float> stereo = testaudio::Synthesize(testaudio::DistinctTones(2, 256));
    const std::vector<std::int16_t> stereo16(stereo.size(), 1234);
    testaudio::OpusOptions gains;
    gains.headerGainQ8 = -256;
    gains.r128TrackGainQ8 = 512;
    testaudio::VorbisOptions replayGain;
    replayGain.replayGainTrack = "-6.50 dB";
    testaudio::OpusOptions secondLink;
    secondLink.serialNumber = 77;
    testaudio::VorbisOptions secondVorbisLink;
    secondVorbisLink.serialNumber = 78;
    const Bytes chainedOpus = Chained(fuzz::TestSourceBytes(u"s.opus"), testaudio::EncodeOpus(mono, 1, 44100, secondLink));
    const Bytes chainedVorbis = Chained(fuzz::TestSourceBytes(u"v.ogg"), testaudio::EncodeVorbis(mono, 1, 44100, secondVorbisLink));
    const Bytes surround = testaudio::EncodeOpus(testaudio::Synthesize(testaudio::DistinctTones(6, 960)), 6, 48000);
    // Kind in the low two bits: WAV, Opus automatic, Opus own reader, Vorbis.
    const std::vector<std::pair<std::uint8_t, Bytes>> files = {
        {0, host::WriteWavFloat(stereo, 2, 48000)},
        {0, host::WriteWav16(stereo16, 2, 48000)},
        {0, host::WriteWavFloat(stereo, 2, 48000, host::WavHeaderKind::Extensible)},
        {0, host::WriteWav16(std::vector<std::int16_t>(600, 1000), 6, 22050, host::WavHeaderKind::Extensible)},
        {1, fuzz::TestSourceBytes(u"s.opus")},
        {1, fuzz::TestSourceBytes(u"m.opus")},
        {1, testaudio::EncodeOpus(mono, 1, 44100, gains)},
        {2, fuzz::TestSourceBytes(u"s.opus")},
        {2, fuzz::TestSourceBytes(u"m.opus")},
        {3, fuzz::TestSourceBytes(u"v.ogg")},
        {3, testaudio::EncodeVorbis(mono, 1, 44100, replayGain)},
        {1, chainedOpus},
        {2, chainedOpus},
        {1, surround},
        {2, surround},
        {3, chainedVorbis},
    };
    for (const auto& [kind, file] : files)
        for (std::uint8_t mode = 0; mode < 3; ++mode)
            seeds.Add(WithHeader(static_cast<std::uint8_t>(kind + 4 * mode), file));
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteListSeeds(SeedFolder& seeds, const std::vector<std::filesystem::path>& examples)
{
    // Byte 0 % 3: 0 ".mtrk" file, 1 ".mchx" file, 2 inline name.
    const std::vector<std::pair<std::uint8_t, std::string>> lists = {
        {0, "drums\tf.wav\tlibvywav.so\nbass\tx.wav\n"},
        {3, "# stems\r\nlead\ts.opus\t*\r\npad\tv.ogg\r\nkeys\tf.wav\r\n"},
        {6, "a\ts.opus\t*\nb\tv.ogg\n"},
        {9, "a\ti.wav\tlibvywav.so\nb\tf.wav\n"},
        {12, "a\tnothere.opus\t*\nb\tf.wav\n\nc\n"},
        {15, "a\tf.wav\tnosuchmodule.so\n"},
        {1, "channel\t2\nsource\tm.opus\t*\ntrack\tdrums\t0\t2\ntrack\tbass\t1\t5\ntrack\tpad\t3\t40\nvolume\tpad\t0.5\n"},
        {4, "channel\t1\nsource\tf.wav\ntrack\tleft\t0\ntrack\tright\t1\n"},
        {7, "# comment\nchannel\t8\nsource\tm.opus\t*\ntrack\tall\t0\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\n"},
        {10, "channel\t2\nsource\tv.ogg\t*\nsource\ts.opus\ntrack\tx\t0\t1\n"},
        {2, "f.wav|x.wav|bgm"},
        {5, "s.opus|v.ogg|f.wav|inline"},
        {8, "m.opus|m.opus|twelve"},
    };
    for (const auto& [first, text] : lists)
        seeds.Add(first, text);
    // UTF-16 little-endian with a byte-order mark.
    Bytes utf16{0, 0xFF, 0xFE};
    for (const char c : std::string("a\tf.wav\r\nb\tx.wav\r\n")) {
        utf16.push_back(static_cast<std::uint8_t>(c));
        utf16.push_back(0);
    }
    seeds.Add(utf16);
    seeds.Add(0, "\xEF\xBB\xBF" "caf\xC3\xA9\tf.wav\n");
    for (const std::filesystem::path& example : examples)
        seeds.Add(example.extension() == ".mchx" ? 1 : 0, ReadFile(example));
}

void WriteScriptSeeds(SeedFolder& seeds)
{
    // Op bytes: 0 open, 1 close, 2 render, 3 seek, 4 mask, 5 delay,
    // 6 rebind, 7 add callback, 8 clear callbacks, 9 throwing changes.
    const std::vector<Bytes> sequences = {
        {0, 0, 2, 0, 7, 4, 0, 2, 1, 64, 0, 2, 2, 200, 2, 0, 100},
        {7, 3, 64, 0, 0, 0, 2, 0, 200, 5, 0, 1, 3, 100, 20, 200, 2, 1, 0, 64, 2, 2, 0, 7, 255},
        {0, 1, 0, 2, 6, 2, 4, 6, 0, 4, 2, 0, 255, 2, 1, 0, 255, 0, 1},
        {7, 2, 0, 0, 0, 0, 0, 7, 0, 64, 4, 0, 0, 0, 0, 8, 0, 0},
        {0, 0, 9, 0, 1, 3, 5, 2, 0, 100, 2, 0, 100, 1, 0},
        {0, 2, 5, 3, 3, 0, 100, 0, 200, 0, 50, 1, 1, 2, 0, 128, 0, 3, 200, 2, 0, 255, 3, 0, 0, 2, 0, 255},
    };
    for (const Bytes& sequence : sequences)
        seeds.Add(sequence);
}

// Arguments as fuzz_timeline reads a command line: separated by NUL bytes.
std::string JoinedWithNul(const std::vector<std::string>& arguments)
{
    std::string joined;
    for (const std::string& argument : arguments) {
        if (!joined.empty())
            joined.push_back('\0');
        joined += argument;
    }
    return joined;
}

void WriteTimelineSeeds(SeedFolder& seeds)
{
    const std::string timeline =
        "bpm    120\n"
        "meter  4/4\n"
        "0      mask   pad,lead  0\n"
        "0      mask   pad       1    4000\n"
        "4:2.5  delay  next-bar  lead 1\n"
        "6:1    delay  7:1,8:1   drums,bass 0  pad 1  500ms\n"
        "7:1    mask   *         0    4s\n"
        "8      rebind battle\n"
        "9.5    seek   2:1\n"
        "2s     mask   \"soft pad\" 0.5 0.5s   # quoted\n"
        "96000f delay  next-beat * 0\n";
    seeds.Add(Bytes{0, 20});
    seeds.Add(Bytes{3, 0});
    seeds.Add(0, std::string(1, '\x14') + timeline);
    seeds.Add(3, std::string(1, '\x02') + timeline);
    const std::vector<std::vector<std::string>> commandLines = {
        {"list.mtrk", "-o", "out.wav", "--timeline", "t.txt", "--bpm", "120", "--meter", "6/8"},
        {"--check", "a.mtrk", "b.mchx", "--root", "/tmp"},
        {"--demo", "out", "-q"},
        {"x.mtrk", "--start", "4:2.5", "--duration", "48000f", "--block", "333", "--pcm16", "--opt", "-opus_gain=-6"},
        {"a|b|c.mtrk", "--plot", "p.svg", "--plugin", "p.so"},
    };
    for (const std::vector<std::string>& arguments : commandLines)
        seeds.Add(1, JoinedWithNul(arguments));
    for (const char* value : {"12.5", "12.5s", "48000f", "5:1", "4:2.5", "6/8", "120", "1e3", "-0.5", "7:13"})
        seeds.Add(2, value);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vy_fuzz_seeds OUTDIR [LIST...]\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::vector<std::filesystem::path> examples(argv + 2, argv + argc);
    SeedFolder sources(root, "fuzz_sources");
    WriteSourceSeeds(sources);
    SeedFolder lists(root, "fuzz_tracklists");
    WriteListSeeds(lists, examples);
    SeedFolder script(root, "fuzz_script_calls");
    WriteScriptSeeds(script);
    SeedFolder timeline(root, "fuzz_timeline");
    WriteTimelineSeeds(timeline);
    std::printf("seeds: %d sources, %d lists, %d call sequences, %d parser inputs in %s\n", sources.Count(),
                lists.Count(), script.Count(), timeline.Count(), root.string().c_str());
    return 0;
}
