// SPDX-License-Identifier: GPL-3.0-or-later
// The web address check: manifest addresses, redirect targets and download
// pages all pass through it.
#include "update/WebAddress.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    if (const auto address = tallyvox::update::ParseWebAddress(text))
        tallyvox::update::HostHeader(*address);
    tallyvox::update::IsWebPageAddress(text);
    return 0;
}
