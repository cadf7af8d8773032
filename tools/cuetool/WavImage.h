// SPDX-License-Identifier: GPL-3.0-or-later
// A structural check of RIFF/WAVE images, as the cue player will load them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tallyvox {

// Empty when image is a RIFF/WAVE image with a usable "fmt " chunk followed
// by a "data" chunk that lies wholly inside the image; otherwise what is
// wrong, in a few words. Truncated images are refused: the player refuses
// them too.
std::string WavImageProblem(const std::vector<std::uint8_t> &image);

} // namespace tallyvox
