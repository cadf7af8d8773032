// SPDX-License-Identifier: GPL-3.0-or-later
// Key-to-sound probe: records a PulseAudio monitor source in 2 ms fragments,
// types keys with XTest, and finds each key's cues in the recording by their
// samples, so a cue that cuts off another is found where it starts.
//
// usage: keysound_probe [--launch|--spawn] CUE_FOLDER SOURCE TAIL_MS [PROGRAM ARGS...] < PLAN
//   --launch starts PROGRAM and runs the plan once its first window maps;
//   --spawn starts it with a pipe for its stdin and runs the plan at once.
//   PLAN lines: WAIT_MS KEYSYM LABEL [CUE ...]. Each waits WAIT_MS, presses
//   and releases KEYSYM (or, for "!line", writes a line to the spawned
//   program; for "!paplay", plays the first CUE with paplay), and, unless
//   LABEL is "-", reports for each CUE expected after the release one line:
//     LABEL <tab> index <tab> cue <tab> key-to-heard ms <tab> gap added by
//     the player ms <tab> silence heard ms <tab> the cue's length from its
//     first sound, ms
//   The player's gap is from the end of the cue before to the start of this
//   one, both as files; the silence heard is from the last sound above 1 %
//   of the cue before to the first of this one. "-" where there is none.
#include "voice/CueDecoder.h"
#include "voice/CueScramble.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int Rate = 22050;
constexpr int FragmentFrames = Rate / 500; // 2 ms
constexpr int Heard = 328;                 // 1 % of full scale: the cue generator's threshold
constexpr int MatchFrames = Rate / 100;    // 10 ms of a cue's sound identify it

double Now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Cue {
    std::vector<std::int16_t> samples;
    std::size_t first = 0; // first sample heard
    std::size_t last = 0;  // last sample heard
};

std::uint32_t Le(const std::vector<std::uint8_t> &b, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + std::size_t(i)];
    return v;
}

// A cue file of the pack: 16-bit mono PCM at the sink's rate.
bool LoadCue(const std::string &folder, const std::string &name, Cue &cue)
{
    std::vector<std::uint8_t> b;
    if (!tallyvox::LoadCueFile(folder + "/" + name + ".WAV", b, tallyvox::CueKey(), tallyvox::MaxCueFileSize))
        return false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::size_t size = std::min<std::size_t>(Le(b, at + 4, 4), b.size() - at - 8);
        if (std::memcmp(&b[at], "fmt ", 4) == 0 && (Le(b, at + 8 + 2, 2) != 1 || Le(b, at + 8 + 4, 4) != Rate))
            return false;
        if (std::memcmp(&b[at], "data", 4) == 0) {
            for (std::size_t i = 0; i + 1 < size; i += 2)
                cue.samples.push_back(std::int16_t(Le(b, at + 8 + i, 2)));
            break;
        }
        at += 8 + size + (size & 1);
    }
    const auto loud = [](std::int16_t s) { return std::abs(int(s)) >= Heard; };
    const auto first = std::find_if(cue.samples.begin(), cue.samples.end(), loud);
    if (cue.samples.end() - first < MatchFrames)
        return false;
    cue.first = std::size_t(first - cue.samples.begin());
    cue.last = cue.samples.size() - 1 -
               std::size_t(std::find_if(cue.samples.rbegin(), cue.samples.rend(), loud) - cue.samples.rbegin());
    return true;
}

// The monitor's samples, and the clock: sample i was heard at base + i / Rate.
// Each fragment arrives at or after the time of its last sample, so the
// earliest arrival less its sample count is the closest estimate of base.
struct Recording {
    std::mutex lock;
    std::vector<std::int16_t> samples;
    double base = 1e300;
    std::atomic<bool> stop = false;
    std::string error;

    void Run(const std::string &source)
    {
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, Rate, 1};
        pa_buffer_attr attr{};
        attr.maxlength = std::uint32_t(-1);
        attr.fragsize = FragmentFrames * 2;
        int err = 0;
        pa_simple *s = pa_simple_new(nullptr, "keysound_probe", PA_STREAM_RECORD, source.c_str(), "probe",
                                     &sampleFormat, nullptr, &attr, &err);
        if (!s) {
            error = pa_strerror(err);
            stop = true;
            return;
        }
        std::vector<std::int16_t> fragment(FragmentFrames);
        while (!stop) {
            if (pa_simple_read(s, fragment.data(), fragment.size() * 2, &err) < 0) {
                error = pa_strerror(err);
                break;
            }
            const double at = Now();
            std::lock_guard<std::mutex> hold(lock);
            samples.insert(samples.end(), fragment.begin(), fragment.end());
            base = std::min(base, at - double(samples.size()) / Rate);
        }
        pa_simple_free(s);
    }
};

// Where the cue's first 10 ms of sound begin in the recording, from `from`
// on; -1 when they are not there within `within` samples.
long Find(const std::vector<std::int16_t> &heard, const Cue &cue, long from, long within)
{
    const std::int16_t *part = cue.samples.data() + cue.first;
    const long end = std::min<long>(long(heard.size()) - MatchFrames, from + within);
    for (long at = std::max(from, 0L); at <= end; ++at) {
        int i = 0;
        while (i < MatchFrames && std::abs(int(heard[std::size_t(at + i)]) - part[i]) <= 2)
            ++i;
        if (i == MatchFrames)
            return at;
    }
    return -1;
}

// The cue as a plain WAV file, for paplay.
bool WriteWav(const std::string &path, const Cue &cue)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const std::uint32_t data = std::uint32_t(cue.samples.size() * 2);
    const auto le = [f](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            std::fputc(int(v >> (8 * i) & 0xff), f);
    };
    std::fputs("RIFF", f);
    le(36 + data, 4);
    std::fputs("WAVEfmt ", f);
    le(16, 4), le(1, 2), le(1, 2), le(Rate, 4), le(Rate * 2, 4), le(2, 2), le(16, 2);
    std::fputs("data", f);
    le(data, 4);
    for (std::int16_t v : cue.samples)
        le(std::uint16_t(v), 2);
    return std::fclose(f) == 0;
}

struct Step {
    int waitMs = 0;
    std::string keysym, label;
    std::vector<std::string> cues;
    double released = 0;
};

bool WaitForMap(Display *dpy, double timeout)
{
    const double end = Now() + timeout;
    while (Now() < end) {
        while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (e.type == MapNotify && e.xmap.event == DefaultRootWindow(dpy) && !e.xmap.override_redirect)
                return true;
        }
        usleep(500);
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    int arg = 1;
    const bool launch = argc > 1 && std::strcmp(argv[1], "--launch") == 0;
    const bool spawn = argc > 1 && std::strcmp(argv[1], "--spawn") == 0;
    arg += launch || spawn;
    if (argc - arg < 3 || ((launch || spawn) && argc - arg < 4)) {
        std::fprintf(stderr, "usage: keysound_probe [--launch|--spawn] CUE_FOLDER SOURCE TAIL_MS [PROGRAM ARGS...] "
                             "< PLAN\n");
        return 2;
    }
    char wavFolder[] = "/tmp/keysound-XXXXXX";
    if (!mkdtemp(wavFolder))
        return 2;
    const std::string folder = argv[arg], source = argv[arg + 1];
    const int tailMs = std::atoi(argv[arg + 2]);

    std::vector<Step> plan;
    std::map<std::string, Cue> cues;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream in(line);
        Step step;
        if (!(in >> step.waitMs >> step.keysym >> step.label))
            continue;
        for (std::string cue; in >> cue;) {
            step.cues.push_back(cue);
            if (!cues.count(cue) && !LoadCue(folder, cue, cues[cue])) {
                std::fprintf(stderr, "keysound_probe: no cue %s in %s\n", cue.c_str(), folder.c_str());
                return 2;
            }
        }
        if (step.keysym == "!paplay" &&
            (step.cues.empty() ||
             !WriteWav(std::string(wavFolder) + "/" + step.cues[0] + ".wav", cues[step.cues[0]]))) {
            std::fprintf(stderr, "keysound_probe: !paplay needs a cue\n");
            return 2;
        }
        plan.push_back(step);
    }

    Display *dpy = XOpenDisplay(nullptr);
    int ev, er, major, minor;
    if (!dpy || !XTestQueryExtension(dpy, &ev, &er, &major, &minor)) {
        std::fprintf(stderr, "keysound_probe: no X display with XTest\n");
        return 2;
    }
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, False);

    Recording rec;
    std::thread recorder([&] { rec.Run(source); });
    // The recording runs before the first key.
    while (!rec.stop && rec.base > 1e299)
        usleep(1000);

    pid_t child = -1;
    int toChild = -1;
    if (launch || spawn) {
        int pipeEnds[2] = {-1, -1};
        if (spawn && pipe(pipeEnds) != 0)
            return 2;
        child = fork();
        if (child == 0) {
            if (spawn) {
                dup2(pipeEnds[0], 0);
                close(pipeEnds[0]);
                close(pipeEnds[1]);
            }
            execvp(argv[arg + 3], argv + arg + 3);
            _exit(127);
        }
        if (spawn) {
            close(pipeEnds[0]);
            toChild = pipeEnds[1];
            usleep(500000);
        }
        if (launch && !WaitForMap(dpy, 30)) {
            std::fprintf(stderr, "keysound_probe: %s mapped no window\n", argv[arg + 3]);
            kill(child, SIGKILL);
            rec.stop = true;
            recorder.join();
            return 1;
        }
    }
    std::vector<pid_t> players;
    for (Step &step : plan) {
        usleep(useconds_t(step.waitMs) * 1000);
        if (step.keysym == "!line") {
            step.released = Now();
            if (write(toChild, "\n", 1) != 1)
                std::fprintf(stderr, "keysound_probe: the spawned program does not read\n");
            continue;
        }
        if (step.keysym == "!paplay") {
            const std::string file = std::string(wavFolder) + "/" + step.cues[0] + ".wav";
            step.released = Now();
            const pid_t player = fork();
            if (player == 0) {
                execlp("paplay", "paplay", file.c_str(), static_cast<char *>(nullptr));
                _exit(127);
            }
            players.push_back(player);
            continue;
        }
        const KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(step.keysym.c_str()));
        XTestFakeKeyEvent(dpy, code, True, 0);
        XSync(dpy, False);
        usleep(40000);
        // Timed before the request: the program may act on the release
        // before the round trip returns; a latency is never understated.
        step.released = Now();
        XTestFakeKeyEvent(dpy, code, False, 0);
        XSync(dpy, False);
    }
    usleep(useconds_t(tailMs) * 1000);
    rec.stop = true;
    recorder.join();
    if (toChild >= 0)
        close(toChild);
    if (child > 0) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
    }
    for (pid_t player : players)
        waitpid(player, nullptr, 0);
    for (const Step &step : plan)
        if (step.keysym == "!paplay")
            std::remove((std::string(wavFolder) + "/" + step.cues[0] + ".wav").c_str());
    rmdir(wavFolder);
    if (!rec.error.empty() && rec.samples.empty()) {
        std::fprintf(stderr, "keysound_probe: recording %s: %s\n", source.c_str(), rec.error.c_str());
        return 1;
    }

    int missed = 0;
    for (const Step &step : plan) {
        if (step.label == "-")
            continue;
        // A sample is heard no sooner than the key: 5 ms of slack for the clock estimate.
        long from = long(std::floor((step.released - rec.base) * Rate)) - Rate / 200;
        const Cue *before = nullptr;
        long beforeStart = 0;
        for (std::size_t i = 0; i < step.cues.size(); ++i) {
            const Cue &cue = cues[step.cues[i]];
            const long at = Find(rec.samples, cue, from, 3 * Rate);
            if (at < 0) {
                std::printf("%s\t%zu\t%s\tmissed\t-\t-\t-\n", step.label.c_str(), i, step.cues[i].c_str());
                ++missed;
                break;
            }
            const long start = at - long(cue.first);
            const double ms = (rec.base + double(at) / Rate - step.released) * 1000;
            std::printf("%s\t%zu\t%s\t%.2f", step.label.c_str(), i, step.cues[i].c_str(), ms);
            if (before)
                std::printf("\t%.2f\t%.2f", double(start - beforeStart - long(before->samples.size())) * 1000 / Rate,
                            double(at - beforeStart - long(before->last)) * 1000 / Rate);
            else
                std::printf("\t-\t-");
            std::printf("\t%.2f\n", double(cue.samples.size() - cue.first) * 1000 / Rate);
            before = &cue;
            beforeStart = start;
            from = at + 1;
        }
    }
    XCloseDisplay(dpy);
    return missed ? 1 : 0;
}
