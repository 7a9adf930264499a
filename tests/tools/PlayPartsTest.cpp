// The parts of real-time play without the plug-in: the command lines read
// from stdin, the keys, and the meter's lock-free ring.
#include "KeyMap.h"
#include "PlayCommand.h"
#include "SampleRing.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace mtrk {
namespace {

TEST(PlayCommand, TimedAndPlainLinesQuitAndWhatIsRefused)
{
    using Kind = PlayCommand::Kind;
    const struct {
        const char* line;
        bool ok;
        Kind kind;
        bool timed;
        double seconds; // timed: when
    } rows[] = {
        {"mask pad 0 500", true, Kind::Action, false, 0},
        {"  delay next-bar lead 1  # armed", true, Kind::Action, false, 0},
        {"2.5 seek 1:1", true, Kind::Action, true, 2.5},
        {"quit", true, Kind::Quit, false, 0},
        {"8 quit", true, Kind::Quit, true, 8},
        {"# nothing", true, Kind::None, false, 0},
        {"", true, Kind::None, false, 0},
        {"quit now", false, Kind::None, false, 0},
        {"bpm 120", false, Kind::None, false, 0},
        {"mask pad", false, Kind::None, false, 0},
        {"x quit", false, Kind::None, false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        PlayCommand command;
        std::string error;
        EXPECT_EQ(ParsePlayCommand(row.line, command, error), row.ok) << error;
        EXPECT_EQ(error.empty(), row.ok);
        if (!row.ok)
            continue;
        EXPECT_EQ(command.kind, row.kind);
        EXPECT_EQ(command.timed, row.timed);
        if (row.timed) {
            EXPECT_EQ(command.at.seconds, row.seconds);
        }
        EXPECT_EQ(command.timeline != nullptr, row.kind == Kind::Action);
    }
}

TEST(KeyMap, DigitsToggleShiftedOnesAndTheLowerRowArm)
{
    using platform::Key;
    const struct {
        platform::KeyPress press;
        KeyAction action;
        int track;
    } rows[] = {
        {{Key::Character, '1'}, KeyAction::Toggle, 0}, {{Key::Character, '9'}, KeyAction::Toggle, 8},
        {{Key::Character, '!'}, KeyAction::Arm, 0},    {{Key::Character, '('}, KeyAction::Arm, 8},
        {{Key::Character, 'z'}, KeyAction::Arm, 0},    {{Key::Character, '.'}, KeyAction::Arm, 8},
        {{Key::Character, ' '}, KeyAction::Pause, 0},  {{Key::Left, 0}, KeyAction::Back, 0},
        {{Key::Right, 0}, KeyAction::Forward, 0},      {{Key::Character, 'r'}, KeyAction::Restart, 0},
        {{Key::Character, 'q'}, KeyAction::Quit, 0},   {{Key::Character, '0'}, KeyAction::None, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.press.character);
        const KeyCommand command = MapKey(row.press);
        EXPECT_EQ(command.action, row.action);
        EXPECT_EQ(command.track, row.track);
    }
}

// Bytes come out in order across the wrap; a write that does not fit is
// dropped whole.
TEST(SampleRing, KeepsOrderAcrossTheWrapAndDropsWhatDoesNotFit)
{
    SampleRing ring(10);
    std::vector<unsigned char> bytes(7);
    std::iota(bytes.begin(), bytes.end(), 1);
    std::vector<unsigned char> out(10);
    ring.Write(bytes.data(), 7);
    ASSERT_EQ(ring.Read(out.data(), 5), 5u);
    ring.Write(bytes.data(), 7); // wraps
    ring.Write(bytes.data(), 2); // 9 of 10 held: dropped
    ASSERT_EQ(ring.Read(out.data(), 10), 9u);
    EXPECT_EQ(out, (std::vector<unsigned char>{6, 7, 1, 2, 3, 4, 5, 6, 7, 0}));
}

} // namespace
} // namespace mtrk
