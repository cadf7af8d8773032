// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/cuetool/WavImage.h"

#include <cstring>

namespace tallyvox {

namespace {

std::uint32_t Le32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint16_t Le16(const std::uint8_t *p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}

// The encodings SDL_LoadWAV decodes.
bool KnownEncoding(std::uint16_t tag)
{
    switch (tag) {
    case 0x0001: // PCM
    case 0x0002: // MS ADPCM
    case 0x0003: // IEEE float
    case 0x0006: // A-law
    case 0x0007: // mu-law
    case 0x0011: // IMA ADPCM
    case 0xFFFE: // extensible
        return true;
    default: return false;
    }
}

} // namespace

std::string WavImageProblem(const std::vector<std::uint8_t> &image)
{
    const std::uint8_t *b = image.data();
    const std::uint64_t size = image.size();
    if (size < 12 || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0)
        return "not a RIFF/WAVE image";

    bool haveFormat = false;
    for (std::uint64_t at = 12; at + 8 <= size;) {
        const std::uint8_t *chunk = b + at;
        const std::uint64_t length = Le32(chunk + 4);
        const std::uint64_t body = at + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || body + length > size)
                return "format chunk cut short";
            const std::uint16_t encoding = Le16(b + body);
            const std::uint16_t channels = Le16(b + body + 2);
            const std::uint32_t rate = Le32(b + body + 4);
            const std::uint16_t blockAlign = Le16(b + body + 12);
            const std::uint16_t bits = Le16(b + body + 14);
            if (!KnownEncoding(encoding))
                return "unsupported encoding " + std::to_string(encoding);
            if (channels == 0 || rate == 0 || blockAlign == 0 || bits == 0)
                return "format chunk has zero channels, rate, block size or sample size";
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return "data chunk before the format chunk";
            if (body + length > size)
                return "data chunk runs past the end of the file (truncated)";
            return {};
        }
        at = body + length + (length & 1);
    }
    return haveFormat ? "no data chunk" : "no format chunk";
}

} // namespace tallyvox
