// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of a script evaluation as a key sees it.
//
// A key's call should answer in under 5 ms, and none over 20 ms when keys
// come back to back. Every call goes to one long-lived child, which builds a
// fresh engine after each request: at a key pace (a pause between calls)
// only the hand-over and the evaluation count; back to back a call also
// waits for the child to finish building the engine after the previous one.
// The two lower benchmarks show what a replacement child costs to start
// (warm-up and confinement included) and the child's work per request.
#include "expression/ExpressionCalculator.h"
#include "script/ScriptEvaluator.h"
#include "tools/keys/KeyDriver.h"

#include <QCoreApplication>
#include <QJSEngine>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using tallyvox::ScriptEvaluator;

const char *const kSquare = "str = Math.pow(1.5,2)";

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Figures printed after the run with their targets.
std::vector<std::string> gSummary;

// Times EvalScript calls with range(0) ms of untimed pause before each.
void EvalScriptCalls(benchmark::State &state, const std::string &statement, const std::string &variable,
                     const std::string &expected)
{
    ScriptEvaluator script;
    const std::chrono::milliseconds pause(state.range(0));
    std::vector<double> samples;
    for (auto _ : state) {
        std::this_thread::sleep_for(pause);
        const auto start = Clock::now();
        const std::string text = script.EvalScript(statement, variable);
        const auto elapsed = Clock::now() - start;
        if (text != expected) {
            state.SkipWithError(("unexpected result: " + text).c_str());
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        samples.push_back(Milliseconds(elapsed));
    }
    state.counters["median_ms"] = Median(samples);
}

void BM_EvalScriptSquare(benchmark::State &state)
{
    EvalScriptCalls(state, kSquare, "str", "2.25");
}
// 150 ms between keys is a brisk typist; 0 is a burst.
BENCHMARK(BM_EvalScriptSquare)->Arg(150)->Arg(0)->Iterations(40)->UseManualTime()->Unit(benchmark::kMillisecond);

// The expression window's statement: the prelude and its example.
void BM_EvalScriptExpression(benchmark::State &state)
{
    EvalScriptCalls(state, tallyvox::BuildExpressionStatement("(3-55)*(10+sin(30))"),
                    tallyvox::kExpressionResultVariable, "-546");
}
BENCHMARK(BM_EvalScriptExpression)->Arg(150)->Iterations(40)->UseManualTime()->Unit(benchmark::kMillisecond);

// 40 presses in a row of "3 x^2" through the driver, as tallyvox-keys runs
// them; each x^2 key is timed. The first presses, which meet the children
// still starting, are left out: the calculator starts them once its window
// shows.
void BM_ScriptKeysBackToBack(benchmark::State &state)
{
    ScriptEvaluator script;
    tallyvox::KeyDriver driver(script);
    const auto press = [&driver] {
        driver.RunKey("3", nullptr);
        const auto start = Clock::now();
        driver.RunKey("x^2", nullptr);
        return Clock::now() - start;
    };
    const double first = Milliseconds(press());
    for (int child = 1; child < tallyvox::ScriptLimits{}.children; ++child)
        press();
    std::vector<double> samples;
    for (auto _ : state) {
        const auto elapsed = press();
        if (driver.Engine().DisplayText != "9") {
            state.SkipWithError(("unexpected display: " + driver.Engine().DisplayText).c_str());
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        samples.push_back(Milliseconds(elapsed));
    }
    if (samples.empty())
        return;
    const double median = Median(samples);
    const double max = *std::max_element(samples.begin(), samples.end());
    state.counters["median_ms"] = median;
    state.counters["max_ms"] = max;
    char line[200];
    std::snprintf(line, sizeof line,
                  "script keys back to back, %zu x (3 x^2): median %.2f ms (target <= 5), max %.2f ms (target <= 20); "
                  "first key after start %.1f ms",
                  samples.size(), median, max, first);
    gSummary.push_back(line);
}
BENCHMARK(BM_ScriptKeysBackToBack)->Iterations(40)->UseManualTime()->Unit(benchmark::kMillisecond);

// Start-up of the sandbox program alone: spawn until its hello, which it
// sends once confined and with its first engine built.
void BM_SandboxStartUp(benchmark::State &state)
{
    const std::string program = ScriptEvaluator::DefaultSandboxProgram().string();
    std::vector<double> samples;
    for (auto _ : state) {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
            state.SkipWithError("socketpair");
            break;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
        std::string path = program;
        char *argv[] = {path.data(), nullptr};
        char *environment[] = {nullptr};
        const auto start = Clock::now();
        pid_t pid = -1;
        const int failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environment);
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        char ready = 0;
        const bool ok = failed == 0 && read(ends[0], &ready, 1) == 1;
        const auto elapsed = Clock::now() - start;
        close(ends[0]);
        if (failed == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (!ok) {
            state.SkipWithError("sandbox program did not start");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        samples.push_back(Milliseconds(elapsed));
    }
    state.counters["median_ms"] = Median(samples);
}
BENCHMARK(BM_SandboxStartUp)->Iterations(40)->UseManualTime()->Unit(benchmark::kMillisecond);

// What the child does per request, in process: a fresh engine, the
// statement, the variable read back.
void BM_FreshEngineEvaluation(benchmark::State &state)
{
    for (auto _ : state) {
        QJSEngine engine;
        engine.evaluate(QString::fromLatin1(kSquare));
        benchmark::DoNotOptimize(engine.evaluate(QStringLiteral("str")).toNumber());
    }
}
BENCHMARK(BM_FreshEngineEvaluation)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const std::string &line : gSummary)
        std::printf("%s\n", line.c_str());
    return 0;
}
