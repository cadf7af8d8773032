// SPDX-License-Identifier: GPL-3.0-or-later
// The update manifest and the versions in it.
#include "update/Manifest.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    if (const auto manifest = tallyvox::update::ParseManifest(text))
        tallyvox::update::CompareVersions(manifest->version, "1.0.0");
    const std::size_t half = size / 2;
    tallyvox::update::CompareVersions(text.substr(0, half), text.substr(half));
    return 0;
}
