// A temporary cue folder holding one scrambled 40 KB cue (22050 Hz mono
// 16-bit), as play/ holds it, for the benchmarks of the key-press path.
#pragma once

#include "WavFixtures.h"

#include <filesystem>
#include <string>
#include <unistd.h>

namespace tallyvox::bench {

inline constexpr std::size_t kCueBytes = 40 * 1024;

class BenchCueFolder {
public:
    explicit BenchCueFolder(const std::string &cueName)
    {
        std::filesystem::create_directories(path);
        const std::size_t samples = (kCueBytes - 44) / 2;
        test::WriteCue(path, cueName, test::WavImage(test::S16Bytes(test::Pattern(samples, 7))));
    }
    ~BenchCueFolder() { std::filesystem::remove_all(path); }
    BenchCueFolder(const BenchCueFolder &) = delete;
    BenchCueFolder &operator=(const BenchCueFolder &) = delete;

    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tallyvox-bench-cues-" + std::to_string(::getpid()));
};

} // namespace tallyvox::bench
