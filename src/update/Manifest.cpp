// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/Manifest.h"

#include "numbers/AsciiCase.h"
#include "numbers/Utf8.h"
#include "update/WebAddress.h"

#include <cstdint>
#include <vector>

namespace tallyvox::update {
namespace {

constexpr std::size_t kMaxComponentDigits = 9; // keeps every component in 32 bits

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Splits a version into its numbers; empty on any malformed component.
std::optional<std::vector<std::uint32_t>> VersionNumbers(std::string_view text)
{
    std::vector<std::uint32_t> numbers;
    if (text.empty())
        return std::nullopt;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find('.', start);
        std::string_view part = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty() || part.size() > kMaxComponentDigits)
            return std::nullopt;
        std::uint32_t value = 0;
        for (char c : part) {
            if (!IsDigit(c))
                return std::nullopt;
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
        }
        numbers.push_back(value);
        if (end == std::string_view::npos)
            return numbers;
        start = end + 1;
    }
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Well-formed UTF-8 (no overlongs, surrogates or code points past U+10FFFF)
// and no control characters other than tab.
bool IsCleanUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t len = WellFormedCharLength(s, i);
        const auto c = static_cast<unsigned char>(s[i]);
        const bool control = len == 1 ? (c < 0x20 && c != '\t') || c == 0x7f
                                      : len == 2 && c == 0xc2 && static_cast<unsigned char>(s[i + 1]) < 0xa0; // C1
        if (len == 0 || control)
            return false;
        i += len;
    }
    return true;
}

bool IsKeyChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '-' || c == '_';
}

} // namespace

std::optional<int> CompareVersions(std::string_view a, std::string_view b)
{
    auto x = VersionNumbers(a);
    auto y = VersionNumbers(b);
    if (!x || !y)
        return std::nullopt;
    std::size_t n = std::max(x->size(), y->size());
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t p = i < x->size() ? (*x)[i] : 0;
        std::uint32_t q = i < y->size() ? (*y)[i] : 0;
        if (p != q)
            return p < q ? -1 : 1;
    }
    return 0;
}

bool IsVersion(std::string_view text)
{
    return VersionNumbers(text).has_value();
}

std::optional<Manifest> ParseManifest(std::string_view text)
{
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    Manifest manifest;
    std::size_t noteLines = 0;
    bool haveVersion = false, havePage = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view raw = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? text.size() + 1 : end + 1;

        std::string_view line = Trim(raw);
        if (!IsCleanUtf8(line))
            return std::nullopt;
        if (line.empty() || line.front() == '#')
            continue;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        std::string_view key = Trim(line.substr(0, colon));
        std::string_view value = Trim(line.substr(colon + 1));
        if (key.empty())
            return std::nullopt;
        for (char c : key) {
            if (!IsKeyChar(c))
                return std::nullopt;
        }
        if (EqualsNoCase(key, "version")) {
            if (haveVersion || !IsVersion(value))
                return std::nullopt;
            manifest.version = value;
            haveVersion = true;
        } else if (EqualsNoCase(key, "page")) {
            if (havePage || !IsWebPageAddress(value))
                return std::nullopt;
            manifest.page = value;
            havePage = true;
        } else if (EqualsNoCase(key, "notes")) {
            if (noteLines++ > 0)
                manifest.notes += '\n';
            manifest.notes += value;
        }
    }
    if (!haveVersion || !havePage)
        return std::nullopt;
    return manifest;
}

} // namespace tallyvox::update
