// SPDX-License-Identifier: GPL-3.0-or-later
// WebAddress.h: the one check of a web address, strict about what the
// updater and the window accept: the manifest address (before it goes to
// libcurl) and the download and advertisement pages.
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
};

// Accepts absolute http:// and https:// addresses with a host and an
// optional port 1-65535. Rejects user names (they can dress a foreign host
// up as ours), anything but printable ASCII, blanks, quotes, angle brackets,
// backslashes and addresses over 2048 characters.
std::optional<WebAddress> ParseWebAddress(std::string_view address);

// A download page the user may be shown: ParseWebAddress accepts it.
bool IsWebPageAddress(std::string_view address);

} // namespace tallyvox::update
