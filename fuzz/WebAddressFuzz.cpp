// SPDX-License-Identifier: GPL-3.0-or-later
// The web address check: manifest addresses, redirect targets and download
// pages all pass through it.
#include "update/WebAddress.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const auto address = tallyvox::update::ParseWebAddress(text);
    if (address) {
        // What goes on to libcurl: a host of printable ASCII and a real port.
        if (address->host.empty() || address->port == 0)
            std::abort();
        for (const char c : address->host)
            if (c <= ' ' || c > '~')
                std::abort();
    }
    return 0;
}
