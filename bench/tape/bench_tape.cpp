// SPDX-License-Identifier: GPL-3.0-or-later
// The tape's costs. Targets: recording an entry adds at most 20 us to the
// equals key (the key only queues the file's write); reading 1,000 entries
// at start-up takes at most 5 ms; 100,000 calculations leave the memory
// where 1,000 left it (the tape keeps 1,000 entries).
#include "tape/TapeKeys.h"
#include "tape/TapeStore.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

using namespace tallyvox;

class SilentHost final : public EngineHost {
public:
    TapeKeys *tape = nullptr;
    void PlayCue(const std::string &, bool) override {}
    void ProcessPendingEvents() override {}
    void FocusInput() override {}
    void ReportFault(const std::string &) override {}
    void CalculationFinished(const CalculationRecord &calculation) override
    {
        if (tape)
            tape->Record(calculation, std::time(nullptr));
    }
};

std::filesystem::path TempFile(const char *name)
{
    const auto folder = std::filesystem::temp_directory_path() / ("tape-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder / name;
}

// 12 + 3 × 2, before the equals key.
void TypeCalculation(CalculatorEngine &engine, int n)
{
    engine.btnNum1Click(1 + n % 9);
    engine.btnNum1Click(2);
    engine.btnAddClick(OpAdd);
    engine.btnNum1Click(3);
    engine.btnAddClick(OpMultiply);
    engine.btnNum1Click(2);
}

// The whole calculation with its equals key. Arg 0: no tape; 1: the tape in
// memory; 2: and kept in a file.
void BM_EqualsKey(benchmark::State &state)
{
    SilentHost host;
    CalculatorEngine engine(host);
    Tape tape;
    TapeKeys keys(engine, tape);
    const auto file = TempFile("equals.txt");
    std::filesystem::remove(file);
    TapeStore store(file, nullptr);
    if (state.range(0) >= 1)
        host.tape = &keys;
    if (state.range(0) == 2)
        keys.SetStore(&store);
    engine.StartUp();
    int n = 0;
    for (auto _ : state) {
        TypeCalculation(engine, n++);
        engine.btnEqualClick();
        benchmark::DoNotOptimize(engine.DisplayText);
        // The disk keeps pace outside the timing: the queue stays short.
        if (n % 64 == 0) {
            state.PauseTiming();
            store.Flush();
            state.ResumeTiming();
        }
    }
    store.Flush();
    std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_EqualsKey)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
// Each entry is flushed to the disk (fsync) outside the timing: a fixed count.
BENCHMARK(BM_EqualsKey)->Arg(2)->Iterations(2000)->Unit(benchmark::kMicrosecond);

// Start-up's part: the file read and the tape filled.
void BM_Load1000Entries(benchmark::State &state)
{
    const auto file = TempFile("load.txt");
    {
        std::ofstream out(file, std::ios::binary);
        out << TapeHeaderLine() << '\n';
        for (int i = 0; i < 1000; ++i) {
            const std::string a = std::to_string(i * 37 % 100000), b = std::to_string(i % 977);
            TapeEntry entry{{{{CalculationTerm::Kind::Key, "sqrt"},
                              {CalculationTerm::Kind::Number, a},
                              {CalculationTerm::Kind::Key, "*"},
                              {CalculationTerm::Kind::Number, b},
                              {CalculationTerm::Kind::Key, "+"},
                              {CalculationTerm::Kind::Number, "12.5"}},
                             "1234.56789012345"},
                            1765000000 + i};
            out << EncodeTapeLine(entry) << '\n';
        }
    }
    for (auto _ : state) {
        Tape tape;
        tape.Assign(ReadTapeFile(file).entries);
        benchmark::DoNotOptimize(tape.Size());
    }
    std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_Load1000Entries)->Unit(benchmark::kMillisecond);

long ResidentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Memory after 1,000 and after 100,000 calculations, each with a chain of
// functions and operators, kept in a tape in memory.
void BM_MemoryOver100000Calculations(benchmark::State &state)
{
    for (auto _ : state) {
        SilentHost host;
        CalculatorEngine engine(host);
        Tape tape;
        TapeKeys keys(engine, tape);
        host.tape = &keys;
        engine.StartUp();
        long after1000 = 0;
        for (int n = 1; n <= 100000; ++n) {
            TypeCalculation(engine, n);
            engine.btnRootsClick();
            engine.btnAddClick(OpSubtract);
            engine.btnNum1Click(n % 10);
            engine.btnEqualClick();
            if (n == 1000)
                after1000 = ResidentKiB();
        }
        const long after100000 = ResidentKiB();
        state.counters["rss_after_1000_KiB"] = double(after1000);
        state.counters["rss_after_100000_KiB"] = double(after100000);
        state.counters["growth_KiB"] = double(after100000 - after1000);
        state.counters["entries"] = double(tape.Size());
    }
}
BENCHMARK(BM_MemoryOver100000Calculations)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
