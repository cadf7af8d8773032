// SPDX-License-Identifier: GPL-3.0-or-later
// Walking UTF-8 text a character (code point) at a time.
//
// Every text of the calculator is UTF-8, and both the display rules and the
// read-outs count characters, not bytes. A stray continuation byte counts as
// a character of its own, so malformed text still splits without losing bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tallyvox {

// Number of characters of a text.
std::size_t CharCount(std::string_view utf8);

// Byte length of the character starting at utf8[at] (0 at or past the end).
std::size_t CharLengthAt(std::string_view utf8, std::size_t at);

// Byte offset of the character with index chars (the end when past it).
std::size_t ByteOffsetOfChar(std::string_view utf8, std::size_t chars);

// The text without its first character.
std::string_view WithoutFirstChar(std::string_view utf8);

// Removes the last character ("错误！" loses "！", not one of its bytes).
void PopLastChar(std::string &utf8);

// Byte length of the well-formed character starting at text[at] (no overlong
// forms, no surrogates, nothing past U+10FFFF), or 0 when none starts there.
// For text from outside, which must be checked rather than walked.
std::size_t WellFormedCharLength(std::string_view text, std::size_t at);

// Texts from outside (a paste, a typed expression, a server's notes) can be
// megabytes long, and laying one out in a window or quoting it in a message
// costs time in proportion. Every place that shows or quotes such a text
// shows at most this many characters of it.
inline constexpr std::size_t kMaxShownChars = 1000;

// The text whole when it has at most maxChars characters, else its first
// maxChars - 1 characters and "…" (never half a character).
std::string BoundedText(std::string_view utf8, std::size_t maxChars = kMaxShownChars);

} // namespace tallyvox
