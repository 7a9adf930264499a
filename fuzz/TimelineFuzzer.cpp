// Fuzz target for mtrk-render's text parsers (mtrk-render-core). Byte 0
// picks the parser (its value % 3):
//   0  the rest is a timeline: parsed, and when it parses resolved into a
//      schedule for a 48 kHz stream whose length byte 1 sets, with the
//      render loop's block cutting walked over it;
//   1  the rest is a command line, arguments separated by NUL bytes;
//   2  the rest is one time value, meter, tempo, number and count, each
//      parsed and, when it parses, turned into frames and back into text.
// Nothing may crash, and a schedule must list its actions in frame order.
#include "CheckedRender.h"
#include "FuzzBytes.h"

#include <Options.h>
#include <Schedule.h>
#include <TimeValue.h>
#include <Timeline.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 48000;

std::string_view AsText(std::span<const std::uint8_t> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void WalkBlocks(const mtrk::Schedule& schedule, std::uint64_t streamFrames)
{
    std::uint64_t position = 0;
    std::size_t next = 0;
    for (int calls = 0; calls < 64; ++calls) {
        while (next < schedule.actions.size() && schedule.actions[next].frame <= position)
            ++next;
        const std::optional<std::uint64_t> action =
            next < schedule.actions.size() ? std::optional(schedule.actions[next].frame) : std::nullopt;
        const std::uint32_t block = mtrk::NextBlock(position, 4096, action, streamFrames);
        if (block == 0)
            return;
        position += block;
    }
}

void FuzzTimeline(std::uint64_t streamFrames, std::string_view text)
{
    mtrk::Timeline timeline;
    std::string error;
    if (!mtrk::ParseTimeline(text, "fuzz.timeline", timeline, error))
        return;
    const mtrk::Tempo tempo = mtrk::EffectiveTempo(timeline, 0.0, std::nullopt);
    mtrk::Schedule schedule;
    if (!mtrk::BuildSchedule(timeline, tempo, kRate, streamFrames, schedule, error))
        return;
    for (std::size_t i = 1; i < schedule.actions.size(); ++i)
        if (schedule.actions[i].frame < schedule.actions[i - 1].frame)
            fuzz::Fail("the schedule's actions are out of order");
    WalkBlocks(schedule, streamFrames);
}

void FuzzCommandLine(std::string_view text)
{
    std::vector<std::string> arguments(1);
    for (const char c : text) {
        if (c == '\0')
            arguments.emplace_back();
        else
            arguments.back().push_back(c);
    }
    mtrk::Options options;
    std::string error;
    if (mtrk::ParseOptions(arguments, options, error) && options.mode == mtrk::Mode::Render && !options.lists.empty())
        (void)mtrk::DefaultOutputFor(options.lists.front());
}

void FuzzValues(std::string_view text)
{
    std::string error;
    mtrk::Tempo tempo;
    (void)mtrk::ParseMeter(text, tempo, error);
    if (const auto bpm = mtrk::ParseBpm(text, error))
        tempo.bpm = *bpm;
    else
        tempo.bpm = 120.0;
    (void)mtrk::ParseNumber(text);
    (void)mtrk::ParseNumber(text, false);
    (void)mtrk::ParseCount(text);
    if (const auto time = mtrk::ParseTime(text, error)) {
        std::uint64_t frames = 0;
        if (mtrk::ToFrames(*time, kRate, tempo, frames, error))
            (void)mtrk::FormatSeconds(frames, kRate);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzBytes input(data, size);
    switch (input.Byte() % 3) {
    case 0: {
        const std::uint64_t streamFrames = std::uint64_t{input.Byte()} * 12000;
        FuzzTimeline(streamFrames, AsText(input.Rest()));
        break;
    }
    case 1:
        FuzzCommandLine(AsText(input.Rest()));
        break;
    default:
        FuzzValues(AsText(input.Rest()));
        break;
    }
    return 0;
}
