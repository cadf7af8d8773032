// Key presses through the engine: a digit key whose cue is loaded from disk,
// unscrambled and queued on the (dummy) audio device, and the time from the
// end of the equals cue to the start of the first read-out cue.
#include "Calculator.h"
#include "CuePlayer.h"
#include "CueScramble.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

using namespace tallyvox;
using Clock = std::chrono::steady_clock;

// A 40 KB cue: 16-bit mono 22050 Hz, scrambled as the play/ folder holds it.
std::filesystem::path MakeCueFolder()
{
    const auto dir = std::filesystem::temp_directory_path() / "tallyvox-bench-cues";
    std::filesystem::create_directories(dir);
    const std::uint32_t samples = 20000, dataBytes = samples * 2;
    std::vector<std::uint8_t> wav;
    auto put32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) wav.push_back(static_cast<std::uint8_t>(v >> (8 * i))); };
    auto put16 = [&](std::uint16_t v) { wav.push_back(v & 0xFF); wav.push_back(v >> 8); };
    auto tag = [&](const char *t) { wav.insert(wav.end(), t, t + 4); };
    tag("RIFF"); put32(36 + dataBytes); tag("WAVE");
    tag("fmt "); put32(16); put16(1); put16(1); put32(22050); put32(44100); put16(2); put16(16);
    tag("data"); put32(dataBytes);
    for (std::uint32_t i = 0; i < samples; ++i)
        put16(static_cast<std::uint16_t>((i * 37) & 0x3FFF));
    UnscrambleCue(wav, CueKey());
    std::ofstream(dir / "5.WAV", std::ios::binary).write(reinterpret_cast<const char *>(wav.data()), wav.size());
    return dir;
}

class PlayerHost final : public EngineHost {
public:
    explicit PlayerHost(CuePlayer &player) : player_(player) {}
    void PlayCue(const std::string &name, bool async) override { player_.PlayCue(name, async); }
    void ProcessPendingEvents() override {}
    void FocusInput() override {}
    void ReportFault(const std::string &) override {}

private:
    CuePlayer &player_;
};

void BM_DigitKeyWithCue(benchmark::State &state)
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    static const auto folder = MakeCueFolder();
    CuePlayer player(folder);
    PlayerHost host(player);
    CalculatorEngine engine(host);
    engine.StartUp();
    engine.btnNum1Click(5); // opens the audio device outside the timing
    for (auto _ : state) {
        engine.StartNewNumber = true;
        engine.btnNum1Click(5);
        benchmark::DoNotOptimize(engine.DisplayText);
    }
}
BENCHMARK(BM_DigitKeyWithCue)->Unit(benchmark::kMicrosecond);

// Sync cues return at once; measures our own work between the two cues.
class StampingHost final : public EngineHost {
public:
    Clock::time_point equalsDone, firstReadOutCue;
    bool sawEquals = false, sawFirst = false;
    void PlayCue(const std::string &name, bool) override
    {
        if (name == "等于") {
            sawEquals = true;
            sawFirst = false;
            equalsDone = Clock::now();
        } else if (sawEquals && !sawFirst) {
            sawFirst = true;
            firstReadOutCue = Clock::now();
        }
    }
    void ProcessPendingEvents() override {}
    void FocusInput() override {}
    void ReportFault(const std::string &) override {}
};

void BM_EqualsToFirstReadOutCue(benchmark::State &state)
{
    StampingHost host;
    CalculatorEngine engine(host);
    engine.StartUp();
    for (auto _ : state) {
        engine.PasteText("123456789012345");
        engine.Accumulator = 987654321;
        engine.PendingOperator = OpMultiply;
        engine.btnEqualClick();
        state.SetIterationTime(std::chrono::duration<double>(host.firstReadOutCue - host.equalsDone).count());
    }
}
BENCHMARK(BM_EqualsToFirstReadOutCue)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
