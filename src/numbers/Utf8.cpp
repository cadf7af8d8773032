// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/Utf8.h"

namespace tallyvox {

namespace {

bool IsContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::size_t CharCount(std::string_view utf8)
{
    std::size_t n = 0;
    for (char c : utf8)
        if (!IsContinuation(c))
            ++n;
    return n;
}

std::size_t CharLengthAt(std::string_view utf8, std::size_t at)
{
    if (at >= utf8.size())
        return 0;
    std::size_t n = 1;
    while (at + n < utf8.size() && IsContinuation(utf8[at + n]))
        ++n;
    return n;
}

std::size_t ByteOffsetOfChar(std::string_view utf8, std::size_t chars)
{
    std::size_t offset = 0;
    for (; offset < utf8.size() && chars > 0; --chars)
        offset += CharLengthAt(utf8, offset);
    return offset;
}

std::string_view WithoutFirstChar(std::string_view utf8)
{
    return utf8.substr(CharLengthAt(utf8, 0));
}

void PopLastChar(std::string &utf8)
{
    if (utf8.empty())
        return;
    std::size_t i = utf8.size() - 1;
    while (i > 0 && IsContinuation(utf8[i]))
        --i;
    utf8.erase(i);
}

std::size_t WellFormedCharLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned lead = byte(at);
    std::size_t length;
    unsigned low = 0x80, high = 0xBF; // range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    return length;
}

std::string BoundedText(std::string_view utf8, std::size_t maxChars)
{
    const std::size_t whole = ByteOffsetOfChar(utf8, maxChars);
    if (whole == utf8.size() || maxChars == 0)
        return std::string(utf8.substr(0, whole));
    return std::string(utf8.substr(0, ByteOffsetOfChar(utf8, maxChars - 1))) + "…";
}

} // namespace tallyvox
