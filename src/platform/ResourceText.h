// LoadStringW's copy rule, shared by the resource calls of every platform.
#pragma once

namespace platform {

// Copies `text` (may be null: no such string) into `buffer`: at most
// `bufferLength` − 1 code units and a terminator. Answers the number of code
// units copied; 0 for no text (the buffer then holds an empty string when
// `bufferLength` > 0) or no buffer.
inline int CopyResourceText(const char16_t* text, char16_t* buffer, int bufferLength)
{
    if (!buffer || bufferLength <= 0)
        return 0;
    int length = 0;
    while (text && length < bufferLength - 1 && text[length] != 0) {
        buffer[length] = text[length];
        ++length;
    }
    buffer[length] = 0;
    return length;
}

} // namespace platform
