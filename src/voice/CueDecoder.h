// SPDX-License-Identifier: GPL-3.0-or-later
// What a cue may be, and turning its WAV image into samples the device
// plays. The one judge of a cue: the player plays what this accepts, and the
// cue tool's verify accepts exactly the same.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace tallyvox {

// A sample format in SDL's terms (SDL_AudioFormat bits).
struct CueAudioFormat {
    int rate = 22050;
    std::uint16_t sampleFormat = std::endian::native == std::endian::little ? 0x8010 : 0x9010; // signed 16-bit
    int channels = 1;
};

// Bounds on a cue. A cue is a short recording; these keep a hostile or
// damaged file (1 Hz, thousands of seconds) from taking the window's memory
// and time when it is converted.
inline constexpr int MinCueRate = 8000;
inline constexpr int MaxCueRate = 96000;
inline constexpr int MaxCueChannels = 2;
inline constexpr int MaxCueSeconds = 10;
// 10 s of the richest accepted format (96 kHz stereo 32-bit) is 7.3 MiB.
inline constexpr std::uintmax_t MaxCueFileSize = 8u * 1024u * 1024u;

// Decodes a plain (unscrambled) WAV image with SDL2, in every encoding SDL
// reads and refusing truncated images, checks the bounds above and converts
// the samples to format `to`. Empty on success, with samples holding the
// converted audio (its storage reused; an empty data chunk gives none);
// otherwise why the cue cannot play. Loads SDL2 on first use. Never throws.
std::string DecodeCue(const std::vector<std::uint8_t> &image, const CueAudioFormat &to,
                      std::vector<std::uint8_t> &samples);

} // namespace tallyvox
