// SPDX-License-Identifier: GPL-3.0-or-later
// Key presses through the engine: a digit key whose cue is loaded from disk,
// unscrambled and queued on the (dummy) audio device, and the time from the
// end of the equals cue to the start of the first read-out cue.
#include "engine/CalculatorEngine.h"
#include "tests/support/TempCueFolder.h"
#include "voice/CuePlayer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using namespace tallyvox;
using Clock = std::chrono::steady_clock;

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
    const test::TempCueFolder folder("5");
    CuePlayer player(folder.path);
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
