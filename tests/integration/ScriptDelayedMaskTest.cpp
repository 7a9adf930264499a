// "setDelayMultiTrackMask" through the shared library: changes armed for a
// switch point take effect at exactly that frame, inside whichever block
// holds it; what the arguments may leave out, and what cancels an armed
// change. Gains are read from the mix of three DC tracks.
#include "ScriptTestSupport.h"

#include <host/script/ScriptException.h>

namespace scripttest {
namespace {

// A changes array that reads "drums", 0.0 and then raises a script
// exception where the next tracks value should be.
class ThrowingChanges final : public host::DispatchObject {
public:
    static host::Variant Make() { return host::Variant::Adopt(new ThrowingChanges); }

    pkq_int VY_CDECL CountMembers(pkq_int* result, const pkq_char*, pkq_uint32*,
                                  iPKQDispatch2*) override
    {
        *result = 4;
        return PKQ_S_OK;
    }
    pkq_int VY_CDECL GetMemberByNumber(pkq_uint32, pkq_int number, tPKQVariant* result,
                                       iPKQDispatch2*) override
    {
        if (number >= 2)
            throw host::ScriptException(u"no more changes");
        host::Variant::View(*result) = number == 0 ? host::Variant(u"drums") : host::Variant(0.0);
        return PKQ_S_OK;
    }

private:
    ThrowingChanges() = default;
};

class ScriptDelayedMaskTest : public ScriptFaceTest {
protected:
    void SetUp() override
    {
        ScriptFaceTest::SetUp();
        ASSERT_EQ(Link(), S_OK);
        WriteThreeTrackList(u"bgm.mtrk");
        decoder = Open(u"bgm.mtrk");
        ASSERT_NE(decoder, nullptr);
        runtime.ClearLog();
    }

    void TearDown() override
    {
        if (decoder) {
            EXPECT_EQ(decoder->Release(), 0u);
        }
        ScriptFaceTest::TearDown();
    }

    // setDelayMultiTrackMask("bgm.mtrk", points, changes[, more]); expects
    // code 0 and a void result.
    void Delay(const host::Variant& points, const host::Variant& changes, host::Args more = {})
    {
        host::Args args{u"bgm.mtrk", points, changes};
        args.insert(args.end(), more.begin(), more.end());
        const auto r = script.Call(u"setDelayMultiTrackMask", args);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.value.Type(), pvtVoid);
    }

    // Renders `frames` frames in blocks of 512 and checks that the mix is
    // `before` up to frame `at` and `after` from there on.
    void ExpectSwitch(std::uint32_t frames, std::uint32_t at, float before, float after)
    {
        const Samples out = Render(decoder, frames);
        ASSERT_EQ(out.size(), frames);
        std::size_t wrong = 0;
        for (std::uint32_t f = 0; f < frames; ++f)
            if (out[f] != (f < at ? before : after) && ++wrong < 4)
                ADD_FAILURE() << "frame " << f << ": " << out[f];
        EXPECT_EQ(wrong, 0u);
    }

    void ExpectNoSwitch(std::uint32_t frames) { ExpectSwitch(frames, frames, Mix(1, 1, 1), 0); }

    IHSSWaveDecoder* decoder = nullptr;
};

TEST_F(ScriptDelayedMaskTest, AnArmedChangeTakesEffectAtItsFrameInsideABlock)
{
    Delay(1000, host::Array({u"drums", 0.0, host::Array({u"bass", u"lead"}), 0.5}));
    ExpectSwitch(3000, 1000, Mix(1, 1, 1), Mix(0, 0.5f, 0.5f));
}

TEST_F(ScriptDelayedMaskTest, ATrailingTracksValueWithoutVolumeIsIgnored)
{
    Delay(1000, host::Array({u"drums", 0.0, u"bass"}));
    ExpectSwitch(2000, 1000, Mix(1, 1, 1), Mix(0, 1, 1));
}

TEST_F(ScriptDelayedMaskTest, TheFirstSwitchPointABlockReachesCountsAndHolesAreSkipped)
{
    Delay(host::ArrayWithHoles({host::Variant(5000), std::nullopt, host::Variant(700)}),
          host::Array({u"lead", 0.0}));
    ExpectSwitch(6000, 700, Mix(1, 1, 1), Mix(1, 1, 0));
}

TEST_F(ScriptDelayedMaskTest, VoidSwitchPointsMeanFrameZero)
{
    Delay(host::Variant(), host::Array({u"lead", 0.0}));
    ExpectSwitch(600, 0, 0, Mix(1, 1, 0));
}

TEST_F(ScriptDelayedMaskTest, ANegativeSwitchPointNeverFires)
{
    Delay(host::Array({-1}), host::Array({u"lead", 0.0}));
    ExpectNoSwitch(3000);
    Delay(-48, host::Array({u"drums", 0.0}));
    ExpectNoSwitch(1000);
}

TEST_F(ScriptDelayedMaskTest, AFadeTimeStartsARampAtTheSwitchPoint)
{
    Delay(100, host::Array({u"drums", 0.0}), {1, u"ignored"}); // 1 ms: 48 frames
    const Samples out = Render(decoder, 200, 64);
    ASSERT_EQ(out.size(), 200u);
    for (std::uint32_t f = 0; f < 200; ++f) {
        const std::uint32_t k = f - 100;
        const float drums = f < 100  ? 1.0f
                            : k < 48 ? ((0.0f - 1.0f) * static_cast<float>(k)) / 48.0f + 1.0f
                                     : 0.0f;
        EXPECT_EQ(out[f], Mix(drums, 1, 1)) << "frame " << f;
    }
}

TEST_F(ScriptDelayedMaskTest, EmptyChangesOrEmptySwitchPointsCancelAnArmedChange)
{
    Delay(1000, host::Array({u"lead", 0.0}));
    Delay(500, host::Array({}));
    ExpectNoSwitch(1500);

    Delay(2000, host::Array({u"lead", 0.0}));
    Delay(host::Array({}), host::Array({u"bass", 0.0}));
    ExpectNoSwitch(1500);
}

TEST_F(ScriptDelayedMaskTest, ATracksValueOfAWrongTypeDropsTheWholeChange)
{
    Delay(1000, host::Array({u"lead", 0.0}));
    Delay(500, host::Array({u"drums", 0.0, 5, 1.0, u"bass", 0.0}));
    ExpectNoSwitch(1500);
    EXPECT_TRUE(Lines().empty());

    // The decoder gathers no longer: an immediate change applies at once.
    ASSERT_EQ(script.Call(u"setMultiTrackMask", {u"bgm.mtrk", u"bass", 0.0}).code, 0);
    EXPECT_EQ(Level(decoder), Mix(1, 0, 1));
}

TEST_F(ScriptDelayedMaskTest, AScriptExceptionWhileReadingTheChangesDropsThem)
{
    EXPECT_THROW(script.Call(u"setDelayMultiTrackMask", {u"bgm.mtrk", 0, ThrowingChanges::Make()}),
                 host::ScriptException);
    // Nothing is left gathering: an immediate change applies at once, and
    // the drums change read before the exception never comes.
    ASSERT_EQ(script.Call(u"setMultiTrackMask", {u"bgm.mtrk", u"bass", 0.0}).code, 0);
    EXPECT_EQ(Level(decoder), Mix(1, 0, 1));
}

TEST_F(ScriptDelayedMaskTest, AnImmediateChangeFirstAppliesTheArmedOne)
{
    Delay(100000, host::Array({u"lead", 0.0}));
    ASSERT_EQ(script.Call(u"setMultiTrackMask", {u"bgm.mtrk", u"drums", 0.0}).code, 0);
    EXPECT_EQ(Level(decoder), Mix(0, 1, 0));
}

} // namespace
} // namespace scripttest
