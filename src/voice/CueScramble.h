// SPDX-License-Identifier: GPL-3.0-or-later
// The scrambling of the voice-cue files. Pure C++, no Qt.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tallyvox {

// The 33-byte cue key, as its GBK bytes.
std::string_view CueKey();

// XORs every byte from offset 100 + byte 98 onwards with the key, cyclically
// (key byte 1 at that offset). Its own inverse. Buffers of 100 bytes or fewer
// come out unchanged.
void UnscrambleCue(std::vector<std::uint8_t> &buffer, std::string_view key);

// Reads the whole file at path into buffer, reusing its storage. The file is
// opened without blocking and read only if it is a regular file, so a FIFO
// or a device named like a cue cannot stall the caller. Empty on success;
// otherwise why not, with buffer untouched when the file cannot be opened,
// is not a regular file, is empty or is larger than maxSize. Never throws.
std::string ReadCueFile(const std::filesystem::path &path, std::vector<std::uint8_t> &buffer, std::uintmax_t maxSize);

// ReadCueFile, then unscrambles the buffer with key. False when the read
// fails. Never throws.
bool LoadCueFile(const std::filesystem::path &path, std::vector<std::uint8_t> &buffer, std::string_view key,
                 std::uintmax_t maxSize);

} // namespace tallyvox
