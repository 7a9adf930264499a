// What every built-in decoder does alike: the Opus decoder through opusfile
// and through its own Ogg reader, and the Vorbis decoder.
#include "DecoderTestSupport.h"

#include <decoders/SimpleVorbisDecoder.h>

#include <stdexcept>

namespace {

// The Opus decoder through opusfile reads files of one-second pages (those
// of 12 and 255 channels go to its own reader), through the own reader
// files of one packet a page.
template <int PageDuration, std::uint32_t... Channels> struct Files {
    static constexpr int kPageDuration = PageDuration; // Opus only
    static constexpr std::uint32_t kChannels[] = {Channels...};
};
using OpusThroughOpusfile = Files<48000, 1, 2, 8, 12, 255>;
using OpusThroughOwnReader = Files<960, 2, 12>;
using Vorbis = Files<0, 1, 2, 6>;

template <typename Codec> class DecoderContractTest : public BuiltinDecoderTest {
protected:
    static constexpr bool kVorbis = std::is_same_v<Codec, Vorbis>;
    static constexpr std::uint32_t kRate = kVorbis ? 44100 : 48000;
    static constexpr const char16_t* kName = kVorbis ? u"a.ogg" : u"a.opus";
    // Opus decoders converge on the straight decode within the pre-roll.
    static constexpr float kSeekTolerance = kVorbis ? 1e-6f : 0.05f;
    static OwnedGainQuery& GainQuery() { return kVorbis ? TheProcessState().vorbisGainQuery : TheProcessState().opusGainQuery; }

    // A file of `shape` whose track and album tags say `trackDb` and `albumDb`.
    static Bytes Encode(const testaudio::SignalSpec& shape, double trackDb = 0, double albumDb = 0)
    {
        const auto channels = static_cast<std::uint32_t>(shape.channels.size()); // for either codec
        if constexpr (kVorbis) {
            testaudio::VorbisOptions options;
            options.replayGainTrack = std::to_string(trackDb) + " dB";
            options.replayGainAlbum = std::to_string(albumDb) + " dB";
            return testaudio::EncodeVorbis(testaudio::Synthesize(shape), channels, kRate, options);
        } else {
            testaudio::OpusOptions options;
            options.maxPageDuration = Codec::kPageDuration;
            options.r128TrackGainQ8 = static_cast<int>(trackDb * 256);
            options.r128AlbumGainQ8 = static_cast<int>(albumDb * 256);
            return testaudio::EncodeOpus(testaudio::Synthesize(shape), channels, kRate, options);
        }
    }

    Decoder OpenFile(const Bytes& bytes, host::StreamFaults faults = {})
    {
        if constexpr (std::is_same_v<Codec, OpusThroughOwnReader>)
            return OpenOpus(OpusDecodingPath::OwnReader, kName, bytes, faults);
        provider->Add(kName, bytes, faults);
        return Decoder(OpenBuiltinDecoder(kVorbis ? BuiltinDecoderKind::Vorbis : BuiltinDecoderKind::Opus, kName));
    }
};

using Codecs = ::testing::Types<OpusThroughOpusfile, OpusThroughOwnReader, Vorbis>;
TYPED_TEST_SUITE(DecoderContractTest, Codecs);

TYPED_TEST(DecoderContractTest, ReportsTheFormatAndDeliversEveryChannelInOrderToTheEnd)
{
    const std::uint64_t frames = 10000; // two blocks of 4096 and a short one
    for (std::uint32_t channels : TypeParam::kChannels) {
        SCOPED_TRACE(channels);
        const testaudio::SignalSpec shape = TonesShape(channels, frames, this->kRate);
        const Decoder decoder = this->OpenFile(this->Encode(shape));
        ASSERT_TRUE(decoder);
        const HSSWaveFormat f = FormatOf(decoder.get());
        EXPECT_EQ(std::tuple(f.sampleRate, f.channelCount, f.sampleFormat, f.seekCapability, f.totalSamples,
                             f.totalMilliseconds, f.reserved[0] | f.reserved[1] | f.reserved[2]),
                  std::tuple(this->kRate, channels, 0x10020u, 2u, frames, std::uint32_t(frames * 1000 / this->kRate), 0u));
        const std::vector<float> samples = DecodeAll(decoder.get(), channels, 4096);
        ASSERT_EQ(samples.size(), frames * channels);
        ExpectEachChannelCarriesItsOwnTone(samples, shape);
    }
}

TYPED_TEST(DecoderContractTest, SeeksLandOnTheExactFrameAndAgreeWithAStraightDecode)
{
    const std::uint64_t frames = 96000;
    const std::vector<std::uint64_t> clicks = {9001, 40000, 71111, 95800};
    const Decoder decoder = this->OpenFile(this->Encode(ClickShape(frames, clicks, 2, this->kRate)));
    ASSERT_TRUE(decoder);
    const std::vector<float> straight = DecodeAll(decoder.get(), 2);
    ASSERT_EQ(straight.size(), 2 * frames);
    std::vector<float> block(2 * 400);
    std::uint32_t rendered = 0;
    for (std::uint64_t click : clicks) {
        const std::size_t peak = PeakFrame(straight, 2, click - 50, std::min(click + 50, frames));
        ASSERT_LE(peak > click ? peak - click : click - peak, 2u) << "the click moved in coding";
        for (std::uint64_t before : {0u, 1u, 200u, 399u}) {
            SCOPED_TRACE(testing::Message() << "seek to " << peak - before);
            ASSERT_EQ(decoder->SetPosition(peak - before), S_OK);
            ASSERT_EQ(decoder->Render(block.data(), 400, &rendered, nullptr), S_OK);
            ASSERT_EQ(rendered, std::min<std::uint64_t>(400, frames - peak + before));
            EXPECT_EQ(PeakFrame(block, 2, 0, rendered), before) << "the seek landed off the target";
            EXPECT_LE(MaxDifference(block.data(), &straight[2 * (peak - before)], 2 * rendered), this->kSeekTolerance);
        }
    }
    ASSERT_EQ(decoder->SetPosition(0), S_OK);
    EXPECT_EQ(DecodeAll(decoder.get(), 2), straight) << "back at the start, the same samples";
    EXPECT_EQ(decoder->SetPosition(frames + 1), E_FAIL);
    EXPECT_EQ(decoder->SetPosition(~0ull), E_FAIL);
    EXPECT_EQ(decoder->SetPosition(1000), S_OK) << "a refused seek leaves the source usable";
    EXPECT_EQ(DecodeAll(decoder.get(), 2).size(), 2 * (frames - 1000));
}

// The query answers a mode and a gain in dB; the file's track tag says +6
// dB, its album tag -3 dB.
TYPED_TEST(DecoderContractTest, TheGainQueryAnswerSetsTheGain)
{
    const Bytes bytes = this->Encode(TonesShape(2, 9600, this->kRate), 6.0, -3.0);
    const std::vector<float> reference = DecodeAll(this->OpenFile(bytes).get(), 2);
    ASSERT_EQ(reference.size(), 2u * 9600u);
    const std::tuple<std::int32_t, float, double> cases[] = {
        {kGainModeNone, -6.5f, -6.5}, {kGainModeTrack, -6.5f, 6.0 - 6.5}, {kGainModeAlbum, 2.0f, -3.0 + 2.0},
        {kGainModeNoAnswer, -20.0f, 0.0}, {7, -20.0f, 0.0}}; // an unknown mode changes nothing
    for (const auto& [mode, db, expectedDb] : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << mode << ", " << db << " dB");
        ScriptedGainQuery query(mode, db);
        this->GainQuery().reset(&query); // kept by the test: no deleter
        const Decoder decoder = this->OpenFile(bytes);
        this->GainQuery() = nullptr;
        ASSERT_TRUE(decoder);
        const std::vector<float> scaled = DecodeAll(decoder.get(), 2);
        ASSERT_EQ(scaled.size(), reference.size());
        EXPECT_LT(MaxDifference(scaled.data(), reference.data(), scaled.size(), std::pow(10.0, expectedDb / 20.0)), 1e-5);
    }
}

// Broken files do not open. A file cut in the middle, one with damaged
// bytes in the middle (the page's checksum fails) and an unseekable one play
// what they hold; the unseekable one has no length and refuses seeks.
TYPED_TEST(DecoderContractTest, BrokenFilesDoNotOpenAndDamagedOrUnseekableOnesPlayWhatTheyHold)
{
    const std::uint64_t frames = 4 * this->kRate;
    const Bytes good = this->Encode(ClickShape(frames, {}, 1, this->kRate, 0.3f)); // loud noise: many pages
    for (const Bytes& bytes : {Bytes{}, Bytes(good.begin(), good.begin() + 40), Bytes(4000, 0x4F), Bytes{'O', 'g', 'g', 'S', 0, 2, 0, 0}})
        EXPECT_FALSE(this->OpenFile(bytes)) << bytes.size() << " bytes";
    Bytes holed = good;
    for (std::size_t i = holed.size() / 2; i < holed.size() / 2 + 16; ++i)
        holed[i] ^= 0x5A;
    host::StreamFaults unseekable;
    unseekable.failSeek = true;
    // The bytes and faults, and the frames that play at least and at most after a seek to frame 100.
    const std::tuple<Bytes, host::StreamFaults, std::uint64_t, std::uint64_t> cases[] = {
        {Bytes(good.begin(), good.begin() + good.size() / 2), {}, frames / 5, frames - 101}, {holed, {}, frames / 2, frames - 101},
        {good, unseekable, frames, frames}};
    for (const auto& [bytes, faults, atLeast, atMost] : cases) {
        SCOPED_TRACE(testing::Message() << bytes.size() << " bytes, seekable " << !faults.failSeek);
        const Decoder decoder = this->OpenFile(bytes, faults);
        ASSERT_TRUE(decoder);
        const HSSWaveFormat format = FormatOf(decoder.get());
        EXPECT_EQ(std::pair(format.totalSamples == 0, format.totalMilliseconds == 0), std::pair(faults.failSeek, faults.failSeek))
            << "an unknown length is 0, not the library's negative error";
        EXPECT_EQ(decoder->SetPosition(100), faults.failSeek ? E_FAIL : S_OK);
        const std::size_t played = DecodeAll(decoder.get(), 1).size();
        EXPECT_TRUE(played >= atLeast && played <= atMost) << played << " frames played";
    }
}

// Without a storage provider nothing is made; with one each kind opens
// through its own module, made on first use and kept.
TEST_F(BuiltinDecoderTest, EachKindOpensThroughItsOwnModuleMadeOnceWithTheProvider)
{
    TheProcessState().ReleaseStorageProvider();
    provider->Add(u"a.opus", TonesFile(1, 4800));
    EXPECT_FALSE(Decoder(OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"a.opus")));
    EXPECT_FALSE(TheProcessState().opusModule || TheProcessState().vorbisModule);
    TheProcessState().KeepStorageProvider(provider.get());
    EXPECT_TRUE(Decoder(OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"a.opus")));
    IHSSModule* const first = TheProcessState().opusModule;
    EXPECT_TRUE(first && !TheProcessState().vorbisModule);
    EXPECT_FALSE(Decoder(OpenBuiltinDecoder(BuiltinDecoderKind::Vorbis, u"a.opus")));
    EXPECT_NE(TheProcessState().vorbisModule, nullptr);
    EXPECT_TRUE(Decoder(OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"a.opus")));
    EXPECT_EQ(TheProcessState().opusModule, first);
}

// A script gain callback may raise while a source opens: the open fails and
// leaves nothing behind (the leak checker sees the decoder, its state and
// its stream references otherwise).
TEST_F(BuiltinDecoderTest, AGainQueryThatThrowsFailsTheOpenAndLeavesNothing)
{
    struct ThrowingQuery final : QueryGainInterface {
        std::int32_t QueryGain(const char16_t*, float*) override { throw std::runtime_error("the callback raised"); }
    } throwing;
    provider->Add(u"a.opus", TonesFile(2, 4800));
    provider->Add(u"a.ogg", testaudio::EncodeVorbis(testaudio::Synthesize(TonesShape(2, 4800)), 2, 48000));
    const std::tuple<BuiltinDecoderKind, const char16_t*, OwnedGainQuery*> rows[] = {
        {BuiltinDecoderKind::Opus, u"a.opus", &TheProcessState().opusGainQuery},
        {BuiltinDecoderKind::Vorbis, u"a.ogg", &TheProcessState().vorbisGainQuery}};
    for (const auto& [kind, name, query] : rows) {
        query->reset(&throwing); // kept by the test: no deleter
        EXPECT_FALSE(Decoder(OpenBuiltinDecoder(kind, name))) << (kind == BuiltinDecoderKind::Opus ? "Opus" : "Vorbis");
        *query = nullptr;
        EXPECT_TRUE(Decoder(OpenBuiltinDecoder(kind, name))) << "the next open, without the callback";
    }
}

// A chained file plays in the first link's format; a later link of fewer
// channels fills its own and leaves the rest silent. (The first link is two
// seconds long: vorbisfile skips a first link that fits on one audio page.)
TEST_F(BuiltinDecoderTest, AChainedVorbisLinkOfFewerChannelsLeavesTheOthersSilent)
{
    const testaudio::SignalSpec stereo = TonesShape(2, 88200, 44100), mono = TonesShape(1, 22050, 44100);
    testaudio::VorbisOptions second;
    second.serialNumber = 0x56595457;
    Bytes bytes = testaudio::EncodeVorbis(testaudio::Synthesize(stereo), 2, 44100);
    const Bytes tail = testaudio::EncodeVorbis(testaudio::Synthesize(mono), 1, 44100, second);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    provider->Add(u"chain.ogg", bytes);
    const Decoder decoder(OpenBuiltinDecoder(BuiltinDecoderKind::Vorbis, u"chain.ogg"));
    ASSERT_TRUE(decoder);
    EXPECT_EQ(std::pair(FormatOf(decoder.get()).channelCount, FormatOf(decoder.get()).totalSamples), std::pair(2u, std::uint64_t{110250}));
    const std::vector<float> samples = DecodeAll(decoder.get(), 2, 4097);
    ASSERT_EQ(samples.size(), 2u * 110250u);
    ExpectEachChannelCarriesItsOwnTone({samples.begin(), samples.begin() + 2 * 88200}, stereo);
    std::vector<float> left, right;
    for (std::size_t i = 2 * 88200; i < samples.size(); i += 2)
        left.push_back(samples[i]), right.push_back(samples[i + 1]);
    ExpectEachChannelCarriesItsOwnTone(left, mono);
    EXPECT_EQ(std::count(right.begin(), right.end(), 0.0f), 22050);
}

TEST(VorbisGain, BadTextOrNoTagCountsAsZeroAndTheGainStaysFinite)
{
    for (const auto& [text, db] : {std::pair<const char*, float>{"-6.50 dB", -6.5f}, {"+2.5dB", 2.5f}, {"  4", 4.0f}, {"loud", 0.0f},
                                   {"", 0.0f}, {nullptr, 0.0f}, {"nan", 0.0f}, {"1e99", 0.0f}})
        EXPECT_EQ(ParseReplayGainDb(text), db) << (text ? text : "null");
    EXPECT_EQ(VorbisGainFactor(kGainModeNone, 1e30f, nullptr, nullptr), 1.0f) << "no infinite gain";
    EXPECT_FLOAT_EQ(VorbisGainFactor(kGainModeTrack, 6.0f, nullptr, nullptr), std::pow(10.0f, 0.3f)) << "no tag: 0 dB";
}

} // namespace
