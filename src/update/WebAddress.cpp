// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/WebAddress.h"

#include "numbers/AsciiCase.h"

namespace tallyvox::update {
namespace {

constexpr std::size_t kMaxAddressLength = 2048;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsHostNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '.' || c == '-' || c == '_';
}

bool IsIpv6Char(char c)
{
    return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || IsDigit(c) || c == ':' || c == '.';
}

bool IsAllowedChar(char c)
{
    return c > ' ' && c < 0x7f && c != '"' && c != '\'' && c != '<' && c != '>' && c != '\\' && c != '`' && c != '{' &&
           c != '}' && c != '|' && c != '^';
}

} // namespace

std::optional<WebAddress> ParseWebAddress(std::string_view address)
{
    if (address.size() > kMaxAddressLength)
        return std::nullopt;
    for (char c : address) {
        if (!IsAllowedChar(c))
            return std::nullopt;
    }
    WebAddress result;
    if (StartsWithNoCase(address, "http://")) {
        address.remove_prefix(7);
    } else if (StartsWithNoCase(address, "https://")) {
        address.remove_prefix(8);
        result.https = true;
        result.port = 443;
    } else {
        return std::nullopt;
    }

    std::size_t authorityEnd = address.find_first_of("/?#");
    std::string_view authority = address.substr(0, authorityEnd);
    if (authority.find('@') != std::string_view::npos)
        return std::nullopt;

    std::string_view host, port;
    bool portGiven = false;
    if (!authority.empty() && authority.front() == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                return std::nullopt;
            port = after.substr(1);
            portGiven = true;
        }
        if (host.find(':') == std::string_view::npos)
            return std::nullopt;
        for (char c : host) {
            if (!IsIpv6Char(c))
                return std::nullopt;
        }
    } else {
        std::size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        if (colon != std::string_view::npos) {
            port = authority.substr(colon + 1);
            portGiven = true;
        }
        for (char c : host) {
            if (!IsHostNameChar(c))
                return std::nullopt;
        }
    }
    if (host.empty())
        return std::nullopt;
    if (portGiven) {
        if (port.empty() || port.size() > 5)
            return std::nullopt;
        unsigned value = 0;
        for (char c : port) {
            if (!IsDigit(c))
                return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value == 0 || value > 65535)
            return std::nullopt;
        result.port = static_cast<std::uint16_t>(value);
    }
    result.host = host;
    return result;
}

bool IsWebPageAddress(std::string_view address)
{
    return ParseWebAddress(address).has_value();
}

} // namespace tallyvox::update
