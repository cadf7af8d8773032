// SPDX-License-Identifier: GPL-3.0-or-later
// A temporary cue folder holding one scrambled 40 KB cue (22050 Hz mono
// 16-bit), as play/ holds it: the key-press path with a real cue to load.
#pragma once

#include "tests/support/WavFixtures.h"

#include <filesystem>
#include <string>

#include <unistd.h>

namespace tallyvox::test {

inline constexpr std::size_t kCueBytes = 40 * 1024;

class TempCueFolder {
public:
    explicit TempCueFolder(const std::string &cueName)
    {
        std::filesystem::create_directories(path);
        const std::size_t samples = (kCueBytes - 44) / 2;
        WriteCue(path, cueName, WavImage(S16Bytes(Pattern(samples, 7))));
    }
    ~TempCueFolder() { std::filesystem::remove_all(path); }
    TempCueFolder(const TempCueFolder &) = delete;
    TempCueFolder &operator=(const TempCueFolder &) = delete;

    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tallyvox-cues-" + std::to_string(::getpid()));
};

} // namespace tallyvox::test
