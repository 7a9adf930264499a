#include "TestSources.h"

#include "CheckedRender.h"

#include <host/TestAudio.h>
#include <host/WavWriter.h>

#include <algorithm>
#include <cmath>

namespace fuzz {

namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::uint64_t kFrames = 4800;

std::vector<float> Tones(std::uint32_t channels, std::uint64_t frames)
{
    return testaudio::Synthesize(testaudio::DistinctTones(channels, frames, kRate));
}

std::vector<std::int16_t> ToInt16(const std::vector<float>& samples)
{
    std::vector<std::int16_t> out(samples.size());
    std::transform(samples.begin(), samples.end(), out.begin(),
                   [](float s) { return static_cast<std::int16_t>(std::lround(s * 32767.0f)); });
    return out;
}

std::vector<TestSource> MakeSources()
{
    const std::vector<float> stereo = Tones(2, kFrames);
    testaudio::OpusOptions pages;
    pages.maxPageDuration = 960; // one packet a page: seeking has pages to choose from
    return {
        {u"f.wav", host::WriteWavFloat(stereo, 2, kRate)},
        {u"i.wav", host::WriteWav16(ToInt16(stereo), 2, kRate)},
        {u"x.wav", host::WriteWavFloat(stereo, 2, kRate, host::WavHeaderKind::Extensible)},
        {u"s.opus", testaudio::EncodeOpus(stereo, 2, kRate, pages)},
        {u"m.opus", testaudio::EncodeOpus(Tones(12, 1920), 12, kRate, pages)},
        {u"v.ogg", testaudio::EncodeVorbis(stereo, 2, kRate)},
    };
}

} // namespace

const std::vector<TestSource>& TestSources()
{
    static const std::vector<TestSource> sources = MakeSources();
    return sources;
}

const std::vector<std::uint8_t>& TestSourceBytes(std::u16string_view name)
{
    for (const TestSource& source : TestSources())
        if (source.name == name)
            return source.bytes;
    Fail("no such test source");
}

} // namespace fuzz
