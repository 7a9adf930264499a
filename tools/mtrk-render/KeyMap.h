// What a key does during --play at a terminal:
//   1-9                 toggle track 1-9 (fade of --fade)
//   Shift+1-9 or z-.    the same toggle, armed for the next bar line
//   space               pause / go on
//   left, right         one bar back / on
//   r                   restart at --start
//   q                   quit
#pragma once

#include <platform/Keyboard.h>

namespace mtrk {

enum class KeyAction { None, Toggle, Arm, Pause, Back, Forward, Restart, Quit };

struct KeyCommand {
    KeyAction action = KeyAction::None;
    int track = 0; // Toggle, Arm: from 0
};

[[nodiscard]] KeyCommand MapKey(const platform::KeyPress& press);

// The lines shown at the start.
[[nodiscard]] const char* KeyHelp();

} // namespace mtrk
