// SPDX-License-Identifier: GPL-3.0-or-later
// Cue loading: a stored cue file is unscrambled and decoded exactly as the
// player does it, then converted to the device format.
#include "voice/CueDecoder.h"
#include "voice/CueScramble.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > tallyvox::MaxCueFileSize)
        return 0;
    std::vector<std::uint8_t> image(data, data + size);
    tallyvox::UnscrambleCue(image, tallyvox::CueKey());
    std::vector<std::uint8_t> samples;
    tallyvox::DecodeCue(image, tallyvox::CueAudioFormat{}, samples);
    tallyvox::DecodeCue(image, tallyvox::CueAudioFormat{48000, 0x8120 /* float 32 */, 2}, samples);
    return 0;
}
