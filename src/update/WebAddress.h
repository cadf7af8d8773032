// SPDX-License-Identifier: GPL-3.0-or-later
// WebAddress.h: strict parsing of the web addresses the updater meets (the
// manifest address, redirect targets and the download page).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallyvox::update {

struct WebAddress {
    bool https = false;
    std::string host; // IPv6 literals without their brackets
    std::uint16_t port = 80;
    std::string target = "/"; // path and query, never empty; the fragment is dropped
};

// Accepts absolute http:// and https:// addresses with a host and an
// optional port 1-65535. Rejects user names (they can dress a foreign host
// up as ours), anything but printable ASCII, blanks, quotes, angle brackets,
// backslashes and addresses over 2048 characters.
std::optional<WebAddress> ParseWebAddress(std::string_view address);

// A download page the user may be shown: ParseWebAddress accepts it.
bool IsWebPageAddress(std::string_view address);

// The Host header value: host (bracketed if IPv6) plus ":port" unless the
// port is the scheme's default.
std::string HostHeader(const WebAddress &address);

} // namespace tallyvox::update
