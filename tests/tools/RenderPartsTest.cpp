// The parts of mtrk-render without the plug-in: the timeline reader, the
// schedule built from it, the block cutting of the render loop, the command
// line, and the gain lanes of --plot.
#include "GainLanes.h"
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

TEST(Timeline, ReadsEveryActionAsAScriptWouldPassItAndSchedulesItAtTheStreamRate)
{
    const Timeline t = Parse("\xEF\xBB\xBF# header\r\n"
                             "bpm 90\n"
                             "meter 6/8\n"
                             "\n"
                             "1.5s  mask  *  0.5            # all tracks\n"
                             "48000f mask \"lead synth\" 1 0.25s\n"
                             "2:3.5 delay 5:1,12000f  drums,bass 0  pad 1  500ms\n"
                             "3     delay next-bar lead 1\n"
                             "4     rebind other\n"
                             "5     seek 2:1\n"
                             "72000f mask a 1\n");
    ASSERT_EQ(t.actions.size(), 7u);
    const TimelineAction& all = t.actions[0];
    EXPECT_EQ(all.line, 5);
    EXPECT_TRUE(all.changes.at(0).tracks.all);
    EXPECT_FALSE(all.fadeMs);

    const TimelineAction& quoted = t.actions[1];
    EXPECT_EQ(quoted.changes.at(0).tracks.names, std::vector<std::u16string>{u"lead synth"});
    EXPECT_FALSE(quoted.changes.at(0).tracks.list);
    EXPECT_EQ(quoted.fadeMs, 250);

    const TimelineAction& delay = t.actions[2];
    ASSERT_EQ(delay.changes.size(), 2u);
    EXPECT_TRUE(delay.changes[0].tracks.list);
    EXPECT_EQ(delay.changes[0].tracks.names, (std::vector<std::u16string>{u"drums", u"bass"}));
    EXPECT_EQ(delay.changes[0].volume, 0.0);
    EXPECT_EQ(delay.changes[1].volume, 1.0);
    EXPECT_EQ(delay.fadeMs, 500);

    EXPECT_EQ(t.actions[3].pointsKind, PointsKind::NextBars);
    EXPECT_FALSE(t.actions[3].fadeMs); // two fields after the points: one pair, no fade
    EXPECT_EQ(t.actions[4].newId, u"other");

    // A beat is an eighth at 90 quarter notes a minute, 16000 frames; a bar
    // of six is 96000. The schedule is in time order, then in file order.
    Schedule schedule;
    std::string error;
    ASSERT_TRUE(BuildSchedule(t, EffectiveTempo(t, 0.0, std::nullopt), 48000, 1000000, schedule, error)) << error;
    std::vector<std::pair<std::uint64_t, int>> order;
    for (const auto& action : schedule.actions)
        order.emplace_back(action.frame, action.action->line);
    EXPECT_EQ(order, (std::vector<std::pair<std::uint64_t, int>>{
                         {48000, 6}, {72000, 5}, {72000, 11}, {136000, 7}, {144000, 8}, {192000, 9}, {240000, 10}}));
    EXPECT_EQ(schedule.actions[3].points, (std::vector<std::uint64_t>{384000, 12000}));
    EXPECT_EQ(schedule.actions[6].seekTarget, 96000u);

    // The command line's tempo and meter win: a 3/4 bar at 60 bpm is 3 s.
    Tempo meter;
    meter.beatsPerBar = 3;
    ASSERT_TRUE(BuildSchedule(t, EffectiveTempo(t, 60.0, meter), 48000, 1000000, schedule, error)) << error;
    EXPECT_EQ(schedule.actions.back().frame, 264000u); // 2:3.5
}

// The first error of reading a timeline, or of scheduling it for a stream
// of 48000 frames at 48 kHz, names its line and what is wrong with it.
TEST(Timeline, NamesTheFirstBadLineAndWhatIsWrongWithIt)
{
    const std::pair<const char*, const char*> rows[] = {
        {"0 mask a 1\n1 mask a\n2 bogus\n", "t.tl:2: 'mask' takes TRACKS VOLUME [FADE]"},
        {"\n\n3 jump\n", "t.tl:3: unknown action 'jump' (mask, delay, rebind or seek)"},
        {"-1 mask a 1\n", "t.tl:1: bad time '-1'"},
        {"0:1 mask a 1\n", "t.tl:1: bad bar:beat time"},
        {"1.5f mask a 1\n", "bad frame count"},
        {"0 mask a loud\n", "t.tl:1: bad volume 'loud'"},
        {"0 mask a 1 -5\n", "bad fade '-5'"},
        {"0 mask a,,b 1\n", "empty track name"},
        {"0 mask \"a 1\n", "unclosed quote"},
        {"0 delay 5:1 a\n", "'delay' takes POINTS"},
        {"0 delay x a 1\n", "switch point: bad time 'x'"},
        {"0 rebind\n", "'rebind' takes NEWID"},
        {"meter 4\n", "t.tl:1: bad meter '4'"},
        {"bpm 0\n", "t.tl:1: bad tempo '0'"},
        {"2:1 mask a 1\n", "t.tl:1: a bar:beat time needs a tempo (--bpm or a 'bpm' line)"},
        {"bpm 100\n1:5 mask a 1\n", "t.tl:2: beat 5 does not fit a bar of 4 beats"},
        {"0 seek 10\n", "t.tl:1: seek to frame 480000 is past the end"},
    };
    for (const auto& [text, message] : rows) {
        SCOPED_TRACE(text);
        Timeline timeline;
        Schedule schedule;
        std::string error;
        if (ParseTimeline(text, "t.tl", timeline, error)) {
            EXPECT_FALSE(BuildSchedule(timeline, EffectiveTempo(timeline, 0.0, std::nullopt), 48000, 48000,
                                       schedule, error));
        }
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
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

TEST(GainLanes, FollowImmediateFadedAndDelayedChangesWhereTheyTookEffect)
{
    OpenReport stream;
    stream.trackCount = 2;
    stream.firstNames = {u"a", u"b"};
    stream.otherNames = {{u"a.opus", 0}};
    TimelineAction silenceA;
    silenceA.changes = {{{false, false, {u"A"}}, 0.0}};
    TimelineAction allUp;
    allUp.changes = {{{true, false, {}}, 1.0}};
    allUp.fadeMs = 1000;
    TimelineAction delayed;
    delayed.kind = ActionKind::Delay;
    delayed.changes = {{{false, false, {u"a.opus"}}, 0.25}};
    TimelineAction refused = silenceA;
    refused.changes[0].tracks.names = {u"b"};
    const std::vector<ActionRecord> records = {
        {&silenceA, 0, {}, true, {}}, {&allUp, 48000, {}, true, {}}, {&delayed, 10, {72000}, true, {}},
        {&refused, 5, {}, false, {}}};
    // The delayed change shows where the output changed, midway through the fade.
    const auto lines = RequestedGains(stream, records, {0, 48000, 72000, 5}, 48000, 120000);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (std::vector<GainPoint>{
                            {0, 1.0}, {0, 1.0}, {0, 0.0}, {48000, 0.0}, {72000, 0.5}, {72000, 0.25}, {120000, 0.25}}));
    EXPECT_EQ(lines[1], (std::vector<GainPoint>{{0, 1.0}, {48000, 1.0}, {48000, 1.0}, {120000, 1.0}}));
}

} // namespace
} // namespace mtrk
