// The timeline reader, the schedule built from it and the block cutting of
// the render loop, without the plug-in.
#include "Options.h"
#include "Schedule.h"
#include "Timeline.h"

#include <gtest/gtest.h>

namespace mtrk {
namespace {

Timeline Parse(const std::string& text)
{
    Timeline timeline;
    std::string error;
    EXPECT_TRUE(ParseTimeline(text, "t.tl", timeline, error)) << error;
    return timeline;
}

std::string ParseError(const std::string& text)
{
    Timeline timeline;
    std::string error;
    EXPECT_FALSE(ParseTimeline(text, "t.tl", timeline, error));
    return error;
}

TEST(Timeline, ReadsEveryActionWithItsArgumentsAsAScriptWouldPassThem)
{
    const Timeline t = Parse("\xEF\xBB\xBF# header\r\n"
                             "bpm 90\n"
                             "meter 6/8\n"
                             "\n"
                             "1.5s  mask  *  0.5            # all tracks\n"
                             "48000f mask \"lead synth\" 1 0.25s\n"
                             "2:3.5 delay 5:1,7:1  drums,bass 0  pad 1  500ms\n"
                             "3     delay next-bar lead 1\n"
                             "4     rebind other\n"
                             "5     seek 2:1\n");
    ASSERT_EQ(t.actions.size(), 6u);
    EXPECT_EQ(t.bpm, 90.0);
    ASSERT_TRUE(t.meter);
    EXPECT_EQ(t.meter->beatsPerBar, 6);
    EXPECT_EQ(t.meter->beatUnit, 8);

    const TimelineAction& all = t.actions[0];
    EXPECT_EQ(all.line, 5);
    EXPECT_EQ(all.at.unit, TimeValue::Unit::Seconds);
    EXPECT_TRUE(all.changes.at(0).tracks.all);
    EXPECT_FALSE(all.fadeMs);

    const TimelineAction& quoted = t.actions[1];
    EXPECT_EQ(quoted.at.frames, 48000u);
    EXPECT_EQ(quoted.changes.at(0).tracks.names, std::vector<std::u16string>{u"lead synth"});
    EXPECT_FALSE(quoted.changes.at(0).tracks.list);
    EXPECT_EQ(quoted.fadeMs, 250);

    const TimelineAction& delay = t.actions[2];
    EXPECT_EQ(delay.kind, ActionKind::Delay);
    EXPECT_EQ(delay.at.bar, 2u);
    EXPECT_EQ(delay.at.beat, 3.5);
    ASSERT_EQ(delay.points.size(), 2u);
    EXPECT_EQ(delay.points[1].bar, 7u);
    ASSERT_EQ(delay.changes.size(), 2u);
    EXPECT_TRUE(delay.changes[0].tracks.list);
    EXPECT_EQ(delay.changes[0].tracks.names, (std::vector<std::u16string>{u"drums", u"bass"}));
    EXPECT_EQ(delay.changes[1].volume, 1.0);
    EXPECT_EQ(delay.fadeMs, 500);

    EXPECT_EQ(t.actions[3].pointsKind, PointsKind::NextBars);
    EXPECT_FALSE(t.actions[3].fadeMs); // two fields after the points: one pair, no fade
    EXPECT_EQ(t.actions[4].newId, u"other");
    EXPECT_EQ(t.actions[5].target.bar, 2u);
}

TEST(Timeline, NamesTheFirstBadLineAndWhatIsWrongWithIt)
{
    EXPECT_EQ(ParseError("0 mask a 1\n1 mask a\n2 bogus\n"), "t.tl:2: 'mask' takes TRACKS VOLUME [FADE]");
    EXPECT_EQ(ParseError("\n\n3 jump\n"), "t.tl:3: unknown action 'jump' (mask, delay, rebind or seek)");
    EXPECT_NE(ParseError("-1 mask a 1\n").find("t.tl:1: bad time '-1'"), std::string::npos);
    EXPECT_NE(ParseError("0:1 mask a 1\n").find("t.tl:1: bad bar:beat time"), std::string::npos);
    EXPECT_NE(ParseError("1.5f mask a 1\n").find("bad frame count"), std::string::npos);
    EXPECT_NE(ParseError("0 mask a loud\n").find("t.tl:1: bad volume 'loud'"), std::string::npos);
    EXPECT_NE(ParseError("0 mask a 1 -5\n").find("bad fade '-5'"), std::string::npos);
    EXPECT_NE(ParseError("0 mask a,,b 1\n").find("empty track name"), std::string::npos);
    EXPECT_NE(ParseError("0 mask \"a 1\n").find("unclosed quote"), std::string::npos);
    EXPECT_NE(ParseError("0 delay 5:1 a\n").find("'delay' takes POINTS"), std::string::npos);
    EXPECT_NE(ParseError("0 delay x a 1\n").find("switch point: bad time 'x'"), std::string::npos);
    EXPECT_NE(ParseError("0 rebind\n").find("'rebind' takes NEWID"), std::string::npos);
    EXPECT_NE(ParseError("meter 4\n").find("t.tl:1: bad meter '4'"), std::string::npos);
    EXPECT_NE(ParseError("bpm 0\n").find("t.tl:1: bad tempo '0'"), std::string::npos);
}

TEST(Schedule, ResolvesTimesAtTheStreamRateAndKeepsFileOrderWithinAFrame)
{
    const Timeline t = Parse("bpm 120\n"
                             "5:1 mask b 1\n"
                             "0.5 mask a 0\n"
                             "24000f mask a 1\n"
                             "2:1 delay 3:1,12000f a 1\n"
                             "1 seek 4:2\n");
    Schedule schedule;
    std::string error;
    ASSERT_TRUE(BuildSchedule(t, EffectiveTempo(t, 0.0, std::nullopt), 48000, 1000000, schedule, error)) << error;
    ASSERT_EQ(schedule.actions.size(), 5u);
    // 0.5 s and 24000f are the same frame: file order decides.
    EXPECT_EQ(schedule.actions[0].frame, 24000u);
    EXPECT_EQ(schedule.actions[0].action->line, 3);
    EXPECT_EQ(schedule.actions[1].action->line, 4);
    EXPECT_EQ(schedule.actions[2].frame, 48000u);
    EXPECT_EQ(schedule.actions[2].seekTarget, 3 * 96000u + 24000u);
    EXPECT_EQ(schedule.actions[3].frame, 96000u);
    EXPECT_EQ(schedule.actions[3].points, (std::vector<std::uint64_t>{192000, 12000}));
    EXPECT_EQ(schedule.actions[4].frame, 4 * 96000u);

    // The command line's tempo wins over the file's; a 3/4 bar at 60 bpm is 3 s.
    Tempo meter;
    meter.beatsPerBar = 3;
    const Tempo slow = EffectiveTempo(t, 60.0, meter);
    ASSERT_TRUE(BuildSchedule(t, slow, 48000, 0, schedule, error)) << error;
    EXPECT_EQ(schedule.actions.back().frame, 4 * 3 * 48000u);

    const Timeline noTempo = Parse("2:1 mask a 1\n");
    EXPECT_FALSE(BuildSchedule(noTempo, EffectiveTempo(noTempo, 0.0, std::nullopt), 48000, 0, schedule, error));
    EXPECT_EQ(error, "t.tl:1: a bar:beat time needs a tempo (--bpm or a 'bpm' line)");
    const Timeline beatOutsideBar = Parse("bpm 100\n1:5 mask a 1\n");
    EXPECT_FALSE(BuildSchedule(beatOutsideBar, EffectiveTempo(beatOutsideBar, 0.0, std::nullopt), 48000, 0, schedule, error));
    EXPECT_EQ(error, "t.tl:2: beat 5 does not fit a bar of 4 beats");
    const Timeline pastEnd = Parse("0 seek 10\n");
    EXPECT_FALSE(BuildSchedule(pastEnd, Tempo{}, 48000, 48000, schedule, error));
    EXPECT_NE(error.find("t.tl:1: seek to frame 480000 is past the end"), std::string::npos);
}

TEST(Schedule, BlocksStopAtTheNextActionAndTheEndAndGridLinesFollowThePosition)
{
    EXPECT_EQ(NextBlock(0, 4096, std::nullopt, std::nullopt), 4096u);
    EXPECT_EQ(NextBlock(1000, 4096, 1500, std::nullopt), 500u);
    EXPECT_EQ(NextBlock(1000, 4096, 1000, std::nullopt), 4096u); // due now: already carried out
    EXPECT_EQ(NextBlock(1000, 4096, 9000, 1200), 200u);
    EXPECT_EQ(NextBlock(1200, 4096, std::nullopt, 1200), 0u);

    // Bar lines of 96000 frames after frame 162000, up to the end.
    EXPECT_EQ(GridLinesAfter(162000, 96000.0, 500000), (std::vector<std::uint64_t>{192000, 288000, 384000, 480000}));
    EXPECT_EQ(GridLinesAfter(192000, 96000.0, 300000), (std::vector<std::uint64_t>{288000}));
    EXPECT_EQ(GridLinesAfter(0, 1000.0, 0, 3), (std::vector<std::uint64_t>{1000, 2000, 3000}));
}

TEST(Options, ParseModesValuesAndRefuseBadOnes)
{
    Options options;
    std::string error;
    ASSERT_TRUE(ParseOptions({"a/b.mtrk", "--block=512", "--opt", "-opus_gain=-6", "--start", "2:1", "-q"}, options, error)) << error;
    EXPECT_EQ(options.mode, Mode::Render);
    EXPECT_EQ(options.output, "b.wav");
    EXPECT_EQ(options.block, 512u);
    EXPECT_EQ(options.hostOptions, std::vector<std::u16string>{u"-opus_gain=-6"});
    EXPECT_TRUE(options.quiet);
    EXPECT_EQ(DefaultOutputFor("music/a.opus|b.ogg|bgm.mtrk"), "bgm.wav");

    ASSERT_TRUE(ParseOptions({"--demo"}, options, error));
    EXPECT_EQ(options.demoFolder, "demo");
    ASSERT_TRUE(ParseOptions({"--demo", "here", "-q"}, options, error));
    EXPECT_EQ(options.demoFolder, "here");
    ASSERT_TRUE(ParseOptions({"--check", "a.mtrk", "b.mchx"}, options, error));
    EXPECT_EQ(options.lists.size(), 2u);

    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"a.mtrk", "--block", "0"}, "--block takes a frame count from 1 to 1048576, not '0'"},
        {{"a.mtrk", "--block"}, "--block needs a value"},
        {{"a.mtrk", "--frobnicate"}, "unknown option --frobnicate (see --help)"},
        {{"a.mtrk", "--opt", "opus_gain=1"}, "--opt takes a host option like -opus_gain=-6, not 'opus_gain=1'"},
        {{"a.mtrk", "--duration", "2:1"}, "--duration takes seconds or frames, not bar:beat"},
        {{"a.mtrk", "b.mtrk"}, "give one track list to render (several only with --check)"},
        {{}, "no track list given (see --help)"},
        {{"--check", "a.mtrk", "-o", "x.wav"}, "--check takes lists only, no --output, --plot, --timeline, --start or --duration"},
        {{"a.mtrk", "--meter", "4/3"}, "bad meter '4/3' (beats/unit, e.g. 4/4 or 6/8)"},
    };
    for (const auto& [arguments, message] : bad) {
        EXPECT_FALSE(ParseOptions(arguments, options, error));
        EXPECT_EQ(error, message);
    }
}

} // namespace
} // namespace mtrk
