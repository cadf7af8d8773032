// SPDX-License-Identifier: GPL-3.0-or-later
// The scrambling of the voice-cue files. Pure C++, no Qt.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tallyvox {

// The 33-byte cue key, as its GBK bytes.
std::string_view CueKey();

// XORs every byte from offset 100 + byte 98 onwards with the key, cyclically
// (key byte 1 at that offset). Its own inverse. Buffers of 100 bytes or fewer
// come out unchanged.
void UnscrambleCue(std::vector<std::uint8_t> &buffer, std::string_view key);

// Reads the whole cue file at path into buffer, reusing its storage, and
// unscrambles it with key. Returns false, with buffer untouched, when the
// file cannot be opened, is not a regular file, is empty or is larger than
// maxSize; false also when the read comes up short. Never throws.
bool LoadCueFile(const std::filesystem::path &path, std::vector<std::uint8_t> &buffer, std::string_view key,
                 std::uintmax_t maxSize);

} // namespace tallyvox
