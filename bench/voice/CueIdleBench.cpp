// SPDX-License-Identifier: GPL-3.0-or-later
// What the cue player costs when nothing is said: wake-ups per second of the
// whole process and of the waiting thread during a synchronous 1 s cue (a
// read-out) and once idle, and the bytes written to the device while idle.
// Audio goes through SDL's disk driver, which writes what the device would
// get. Targets: idle writes 0 bytes and wakes nobody; a synchronous wait
// wakes its thread at most once per device period (512 frames).
#include "tests/support/WavFixtures.h"
#include "voice/CuePlayer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

using namespace tallyvox;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

long Switches(int who)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_nvcsw + u.ru_nivcsw;
}

std::uintmax_t Written(const fs::path &file)
{
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

struct Sample {
    double processPerSecond;
    double threadPerSecond;
    std::uintmax_t bytes;
    double seconds;
};

template <typename F>
Sample Measure(const fs::path &output, F &&during)
{
    const long process = Switches(RUSAGE_SELF), thread = Switches(RUSAGE_THREAD);
    const auto bytes = Written(output);
    const auto start = Clock::now();
    during();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return {double(Switches(RUSAGE_SELF) - process) / seconds, double(Switches(RUSAGE_THREAD) - thread) / seconds,
            Written(output) - bytes, seconds};
}

} // namespace

int main()
{
    const fs::path folder = fs::temp_directory_path() / ("tallyvox-idle-bench-" + std::to_string(::getpid()));
    const fs::path output = folder / "device.raw";
    fs::create_directories(folder);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    test::WriteCue(folder, "one", test::WavImage(test::S16Bytes(test::Pattern(22050, 1))));

    {
        CuePlayer player(folder);
        player.PlayCue("one", true); // opens the device outside the figures
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        const Sample readOut = Measure(output, [&] { player.PlayCue("one", false, [] {}); });
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        const Sample idle = Measure(output, [] { std::this_thread::sleep_for(std::chrono::seconds(3)); });

        const double periodsPerSecond = 22050.0 / 512;
        std::printf("cue_idle/read-out (sync 1 s cue)   process %6.1f wake-ups/s, waiting thread %6.1f/s   "
                    "(target: thread <= %.1f/s, one per period)\n",
                    readOut.processPerSecond, readOut.threadPerSecond, periodsPerSecond);
        std::printf("cue_idle/idle (2.5 s after a cue)  process %6.1f wake-ups/s, %8ju bytes written in %.1f s   "
                    "(target: 0 bytes)\n",
                    idle.processPerSecond, idle.bytes, idle.seconds);
    }
    fs::remove_all(folder);
    return 0;
}
