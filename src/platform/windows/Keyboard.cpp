#include <platform/Keyboard.h>

#include <platform/windows/WindowsApi.h>

#include <cstring>

namespace platform {
namespace {

HANDLE Input()
{
    return ::GetStdHandle(STD_INPUT_HANDLE);
}

} // namespace

RawKeyboard::RawKeyboard()
{
    DWORD mode = 0;
    if (!::GetConsoleMode(Input(), &mode))
        return;
    std::memcpy(saved_, &mode, sizeof mode);
    raw_ = ::SetConsoleMode(Input(), mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)) != 0;
}

RawKeyboard::~RawKeyboard()
{
    if (!raw_)
        return;
    DWORD mode = 0;
    std::memcpy(&mode, saved_, sizeof mode);
    ::SetConsoleMode(Input(), mode);
}

KeyPress RawKeyboard::Read(int timeoutMs)
{
    if (::WaitForSingleObject(Input(), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return {};
    INPUT_RECORD record{};
    DWORD count = 0;
    if (!::ReadConsoleInputW(Input(), &record, 1, &count) || count != 1 || record.EventType != KEY_EVENT ||
        !record.Event.KeyEvent.bKeyDown)
        return {};
    switch (record.Event.KeyEvent.wVirtualKeyCode) {
    case VK_LEFT: return {Key::Left, 0};
    case VK_RIGHT: return {Key::Right, 0};
    case VK_UP: return {Key::Up, 0};
    case VK_DOWN: return {Key::Down, 0};
    default: break;
    }
    const wchar_t c = record.Event.KeyEvent.uChar.UnicodeChar;
    if (c == 0 || c > 0x7F)
        return {};
    return {Key::Character, static_cast<char>(c)};
}

} // namespace platform
