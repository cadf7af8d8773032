// SPDX-License-Identifier: GPL-3.0-or-later
// Number words and cue loading: the work on the path of every key press.
#include "tests/support/TempCueFolder.h"
#include "voice/CueDecoder.h"
#include "voice/CuePlayer.h"
#include "voice/CueScramble.h"
#include "voice/NumberWords.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace tallyvox;

namespace {

using test::kCueBytes;
using test::TempCueFolder;

void BM_NumToBigStr15Digits(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(NumToBigStr("123456789012345"));
}
BENCHMARK(BM_NumToBigStr15Digits);

void BM_UnscrambleCue40K(benchmark::State &state)
{
    std::vector<std::uint8_t> buffer(kCueBytes, 0x5A);
    for (auto _ : state) {
        UnscrambleCue(buffer, CueKey());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kCueBytes));
}
BENCHMARK(BM_UnscrambleCue40K);

// Reading the file into the reused CueStream buffer and unscrambling it.
void BM_LoadCueFile40K(benchmark::State &state)
{
    test::TempCueFolder folder("加");
    std::vector<std::uint8_t> cueStream;
    const fs::path file = folder.path / "加.WAV";
    for (auto _ : state) {
        if (!LoadCueFile(file, cueStream, CueKey(), MaxCueFileSize))
            state.SkipWithError("cue did not load");
        benchmark::DoNotOptimize(cueStream.data());
    }
}
BENCHMARK(BM_LoadCueFile40K);

// The whole asynchronous PlayCue: load, unscramble, parse, queue (SDL's dummy
// driver unless SDL_AUDIODRIVER says otherwise).
void BM_PlayCueAsync40K(benchmark::State &state)
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    test::TempCueFolder folder("加");
    CuePlayer player(folder.path);
    player.PlayCue("加", true); // opens the device
    for (auto _ : state)
        player.PlayCue("加", true);
}
BENCHMARK(BM_PlayCueAsync40K);

} // namespace

BENCHMARK_MAIN();
