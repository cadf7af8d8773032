// SPDX-License-Identifier: GPL-3.0-or-later
// Builds small WAV images and cue files for the voice tests.
#pragma once

#include "voice/CueScramble.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tallyvox::test {

inline void PutLe(std::vector<std::uint8_t> &out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

// A canonical 44-byte-header PCM image around raw sample bytes.
inline std::vector<std::uint8_t> WavImage(const std::vector<std::uint8_t> &data, std::uint32_t rate = 22050,
                                          std::uint16_t channels = 1, std::uint16_t bits = 16)
{
    std::vector<std::uint8_t> out;
    const std::uint16_t blockAlign = std::uint16_t(channels * bits / 8);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    PutLe(out, std::uint32_t(36 + data.size()), 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, channels, 2);
    PutLe(out, rate, 4);
    PutLe(out, rate * blockAlign, 4);
    PutLe(out, blockAlign, 2);
    PutLe(out, bits, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLe(out, std::uint32_t(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline std::vector<std::uint8_t> S16Bytes(const std::vector<std::int16_t> &samples)
{
    std::vector<std::uint8_t> out;
    for (std::int16_t s : samples)
        PutLe(out, std::uint16_t(s), 2);
    return out;
}

// count pseudo-random samples, never 0 and never repeating a run, different
// for each seed.
inline std::vector<std::int16_t> Pattern(std::size_t count, std::uint32_t seed)
{
    std::vector<std::int16_t> out(count);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto &s : out) {
        x = x * 1664525u + 1013904223u;
        s = std::int16_t(1000 + (x >> 8) % 20000);
    }
    return out;
}

inline void WriteFile(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<std::uint8_t> ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes image as the stored (scrambled) cue file folder/<name>.WAV.
inline void WriteCue(const std::filesystem::path &folder, const std::string &name, std::vector<std::uint8_t> image)
{
    UnscrambleCue(image, CueKey());
    WriteFile(folder / (name + ".WAV"), image);
}

} // namespace tallyvox::test
