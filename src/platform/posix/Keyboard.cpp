#include <platform/Keyboard.h>

#include <cstring>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

static_assert(sizeof(termios) <= 128, "RawKeyboard::saved_ holds a termios");

bool ReadByte(int timeoutMs, unsigned char& byte)
{
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return poll(&input, 1, timeoutMs) > 0 && read(STDIN_FILENO, &byte, 1) == 1;
}

} // namespace

RawKeyboard::RawKeyboard()
{
    termios mode{};
    if (tcgetattr(STDIN_FILENO, &mode) != 0)
        return;
    std::memcpy(saved_, &mode, sizeof mode);
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    raw_ = tcsetattr(STDIN_FILENO, TCSANOW, &mode) == 0;
}

RawKeyboard::~RawKeyboard()
{
    if (!raw_)
        return;
    termios mode{};
    std::memcpy(&mode, saved_, sizeof mode);
    tcsetattr(STDIN_FILENO, TCSANOW, &mode);
}

KeyPress RawKeyboard::Read(int timeoutMs)
{
    unsigned char byte = 0;
    if (!ReadByte(timeoutMs, byte))
        return {};
    if (byte != 0x1B)
        return {Key::Character, static_cast<char>(byte)};
    // An arrow arrives as ESC [ A..D; a lone Escape is not a key we use.
    unsigned char bracket = 0;
    unsigned char code = 0;
    if (!ReadByte(20, bracket) || bracket != '[' || !ReadByte(20, code))
        return {};
    switch (code) {
    case 'A': return {Key::Up, 0};
    case 'B': return {Key::Down, 0};
    case 'C': return {Key::Right, 0};
    case 'D': return {Key::Left, 0};
    default: return {};
    }
}

} // namespace platform
