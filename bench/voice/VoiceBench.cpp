// Number words and cue loading: the work on the path of every key press.
#include "CuePlayer.h"
#include "CueScramble.h"
#include "NumberReading.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tallyvox;

namespace {

constexpr std::size_t CueBytes = 40 * 1024;

// A scrambled 40 KB cue "加" (22050 Hz mono 16-bit) in a folder of its own.
class CueFolder {
public:
    CueFolder()
    {
        fs::create_directories(path);
        std::vector<std::uint8_t> image(CueBytes);
        const std::uint32_t data = CueBytes - 44;
        const std::uint8_t header[44] = {'R', 'I', 'F', 'F', std::uint8_t(data + 36), std::uint8_t((data + 36) >> 8), 0, 0,
                                         'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0,
                                         0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0,
                                         'd', 'a', 't', 'a', std::uint8_t(data), std::uint8_t(data >> 8), 0, 0};
        std::copy(std::begin(header), std::end(header), image.begin());
        for (std::size_t i = 44; i < image.size(); ++i)
            image[i] = std::uint8_t(i * 7);
        UnscrambleCue(image, CueKey());
        std::ofstream(path / "加.WAV", std::ios::binary).write(reinterpret_cast<const char *>(image.data()), image.size());
    }
    ~CueFolder() { fs::remove_all(path); }
    fs::path path = fs::temp_directory_path() / ("tallyvox-voicebench-" + std::to_string(::getpid()));
};

void BM_NumToBigStr15Digits(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(NumToBigStr("123456789012345"));
}
BENCHMARK(BM_NumToBigStr15Digits);

void BM_UnscrambleCue40K(benchmark::State &state)
{
    std::vector<std::uint8_t> buffer(CueBytes, 0x5A);
    for (auto _ : state) {
        UnscrambleCue(buffer, CueKey());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(CueBytes));
}
BENCHMARK(BM_UnscrambleCue40K);

// Reading the file into the reused CueStream buffer and unscrambling it.
void BM_LoadCueFile40K(benchmark::State &state)
{
    CueFolder folder;
    std::vector<std::uint8_t> cueStream;
    const fs::path file = folder.path / "加.WAV";
    for (auto _ : state) {
        if (!LoadCueFile(file, cueStream, CueKey(), CuePlayer::MaxCueFileSize))
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
    CueFolder folder;
    CuePlayer player(folder.path);
    player.PlayCue("加", true); // opens the device
    for (auto _ : state)
        player.PlayCue("加", true);
}
BENCHMARK(BM_PlayCueAsync40K);

} // namespace

BENCHMARK_MAIN();
