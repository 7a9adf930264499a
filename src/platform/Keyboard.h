// Single keys from a terminal, as they are pressed: the terminal in raw
// mode (no echo, no line editing) for the lifetime of the object, and
// reads that wait at most a given time. The stand-in for termios/poll and
// the Windows console's input events.
#pragma once

namespace platform {

// A key read: a character, or one of the arrows.
enum class Key { None, Character, Left, Right, Up, Down };

struct KeyPress {
    Key key = Key::None;
    char character = 0; // Key::Character
};

class RawKeyboard {
public:
    // Switches standard input, which must be a terminal, to raw mode.
    RawKeyboard();
    // Restores the terminal as it was.
    ~RawKeyboard();
    RawKeyboard(const RawKeyboard&) = delete;
    RawKeyboard& operator=(const RawKeyboard&) = delete;

    // The next key, waiting at most `timeoutMs` milliseconds (Key::None
    // when none came).
    [[nodiscard]] KeyPress Read(int timeoutMs);

private:
    unsigned char saved_[128] = {}; // the terminal's mode before
    bool raw_ = false;
};

} // namespace platform
