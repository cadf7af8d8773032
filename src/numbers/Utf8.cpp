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

} // namespace tallyvox
