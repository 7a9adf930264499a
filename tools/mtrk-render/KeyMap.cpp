#include "KeyMap.h"

#include <cstring>
#include <initializer_list>

namespace mtrk {

KeyCommand MapKey(const platform::KeyPress& press)
{
    if (press.key == platform::Key::Left)
        return {KeyAction::Back, 0};
    if (press.key == platform::Key::Right)
        return {KeyAction::Forward, 0};
    if (press.key != platform::Key::Character || press.character == 0)
        return {};
    const char c = press.character;
    if (c >= '1' && c <= '9')
        return {KeyAction::Toggle, c - '1'};
    for (const char* row : {"!@#$%^&*(", "zxcvbnm,."})
        if (const char* at = std::strchr(row, c))
            return {KeyAction::Arm, static_cast<int>(at - row)};
    switch (c) {
    case ' ': return {KeyAction::Pause, 0};
    case 'r': return {KeyAction::Restart, 0};
    case 'q': return {KeyAction::Quit, 0};
    default: return {};
    }
}

const char* KeyHelp()
{
    return "keys: 1-9 toggle a track (with --fade)   Shift+1-9 or z x c v b n m , . toggle it on the next bar line\n"
           "      space pause   left/right one bar back/on   r restart   q quit\n";
}

} // namespace mtrk
