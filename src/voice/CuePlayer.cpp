// SPDX-License-Identifier: GPL-3.0-or-later
#include "voice/CuePlayer.h"

#include "numbers/ProgramFolder.h"
#include "voice/CueDecoder.h"
#include "voice/CueScramble.h"
#include "voice/SdlAudio.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include <dlfcn.h>

namespace tallyvox {

namespace {

// Frames per device period (23 ms at 22.05 kHz); a period is still in the
// device when the queue reads empty. A cue queued behind silence already
// written waits up to one period, so the period is what a key's cue is late
// by. SDL's PulseAudio stream holds a single period, refilled by two threads
// of ordinary priority once the server has taken it all: with both cores
// busy, 256 frames underran 2-4 times as often as 512 and 128 frames ten
// times, each underrun a dropout inside a cue. Shorter periods wait for an
// output that keeps a deeper buffer and replaces its queued silence.
constexpr Uint16 DevicePeriodFrames = 512;
// A synchronous cue never blocks longer than its own length plus this, even
// if the device stops consuming.
constexpr Uint32 SyncSlackMs = 2000;
// How long the device stays open after a cue has played, so that a row of
// keys does not reopen it for each cue.
constexpr std::chrono::milliseconds IdleCloseDelay{2000};

void QuietAlsaError(const char *, int, const char *, int, const char *, ...) {}

// On a machine without a sound card ALSA prints "cannot find card" lines on
// stderr while SDL probes it. The calculator has nothing to say about that,
// so ALSA's error handler is replaced before SDL loads the library (same
// soname, so SDL gets this very instance).
void SilenceAlsa()
{
    static bool done = false;
    const char *driver = std::getenv("SDL_AUDIODRIVER");
    if (done || (driver && *driver && !std::strstr(driver, "alsa")))
        return;
    done = true;
    void *lib = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return;
    using Handler = void (*)(const char *, int, const char *, int, const char *, ...);
    if (auto set = reinterpret_cast<int (*)(Handler)>(dlsym(lib, "snd_lib_error_set_handler")))
        set(&QuietAlsaError);
    // The library stays loaded for the handler to stay installed.
}

// Scales samples of the device format to a volume step; at the full step
// they stay as recorded, bit for bit.
void ScaleVolume(std::vector<std::uint8_t> &samples, SDL_AudioFormat format, int level)
{
    if (level >= 10)
        return;
    const double gain = level <= 0 ? 0.0 : std::pow(10.0, -3.0 * (10 - level) / 20.0);
    if (format == AUDIO_S16SYS) {
        for (std::size_t at = 0; at + 1 < samples.size(); at += 2) {
            std::int16_t s;
            std::memcpy(&s, &samples[at], 2);
            s = std::int16_t(std::lround(s * gain));
            std::memcpy(&samples[at], &s, 2);
        }
    } else if (format == AUDIO_F32SYS) {
        for (std::size_t at = 0; at + 3 < samples.size(); at += 4) {
            float s;
            std::memcpy(&s, &samples[at], 4);
            s = float(s * gain);
            std::memcpy(&samples[at], &s, 4);
        }
    }
}

} // namespace

struct CuePlayer::Impl {
    using Clock = std::chrono::steady_clock;

    const SdlAudio *sdl = nullptr; // set once the audio driver is up
    std::filesystem::path folder;
    std::vector<std::uint8_t> cueStream; // the file image of the last cue, unscrambled
    std::vector<std::uint8_t> converted; // its samples in the device format
    std::atomic<bool> released = false;
    std::atomic<int> volume = 10;
    std::once_flag audioOnce;
    std::atomic<bool> audioReady = false;
    std::thread preparer;          // Prepare's EnsureAudio
    bool subsystemCounted = false; // SDL_InitSubSystem succeeded
    bool audioInitDirect = false;  // audio brought up by SDL_AudioInit alone

    // The device is open only while a cue sounds and for IdleCloseDelay
    // after: an open SDL device writes silence and wakes its thread every
    // period even when paused, so idle means closed. The closer thread
    // sleeps until closeAt and closes it; `lock` guards what it touches.
    std::mutex lock;
    std::condition_variable wake;
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec deviceFormat{};
    Clock::time_point closeAt;
    // The queue's end is a tail that PlayCueToTail let go: heard out, not cut.
    bool tailLetGo = false;
    // When the device was last opened: a cue queued on a stream that has
    // just started has its onset damaged by the server's start.
    Clock::time_point openedAt;
    bool stopCloser = false;
    std::thread closer;

    bool EnsureAudio();
    bool BringUpAudio();
    bool EnsureDeviceLocked();
    Uint32 Queue(const std::string &name, bool cutOff);
    SDL_AudioDeviceID OpenDevice();
    Uint64 Milliseconds(Uint32 bytes) const;
    Uint32 Bytes(Uint64 milliseconds) const;
    Uint64 PeriodMs() const;
    void CloseWhenIdle();
    void WaitUntilPlayed(Uint32 queuedBytes, const std::function<void()> &whileWaiting);
    void WaitUntilTail(Uint32 queuedBytes, const std::function<void()> &whileWaiting);
    Uint32 Queued();
    void Release();
};

SDL_AudioDeviceID CuePlayer::Impl::OpenDevice()
{
    const CueAudioFormat preferred;
    SDL_AudioSpec want{};
    want.freq = preferred.rate;
    want.format = preferred.sampleFormat;
    want.channels = Uint8(preferred.channels);
    want.samples = DevicePeriodFrames;
    return sdl->OpenAudioDevice(nullptr, 0, &want, &deviceFormat,
                                SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
}

// Loads SDL and brings up its audio driver, once, on whichever thread comes
// first (Prepare's or a cue's); the others wait for it.
bool CuePlayer::Impl::EnsureAudio()
{
    std::call_once(audioOnce, [this] { audioReady = BringUpAudio(); });
    return audioReady;
}

// Where the configured driver opens no device, SDL's dummy driver is used
// instead.
bool CuePlayer::Impl::BringUpAudio()
{
    sdl = LoadSdlAudio();
    if (!sdl)
        return false;
    SilenceAlsa();
    // SDL would otherwise take over SIGTERM and SIGINT, and the program could
    // no longer be ended by kill or a logout.
    sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_AudioDeviceID probe = 0;
    if (sdl->InitSubSystem(SDL_INIT_AUDIO) == 0) {
        subsystemCounted = true;
        probe = OpenDevice();
    }
    if (probe == 0) {
        // No usable sound device: the dummy driver keeps cue timing, so
        // synchronous read-outs still pace as they would with sound.
        sdl->AudioQuit();
        if (sdl->AudioInit("dummy") != 0)
            return false;
        audioInitDirect = !subsystemCounted;
        probe = OpenDevice();
        if (probe == 0)
            return false;
    }
    std::lock_guard<std::mutex> hold(lock);
    device = probe;
    sdl->PauseAudioDevice(device, 0);
    openedAt = Clock::now();
    closeAt = openedAt + IdleCloseDelay;
    closer = std::thread([this] { CloseWhenIdle(); });
    return true;
}

// Opens the device again after it was closed for being idle.
bool CuePlayer::Impl::EnsureDeviceLocked()
{
    if (device != 0)
        return true;
    device = OpenDevice();
    if (device == 0)
        return false;
    sdl->PauseAudioDevice(device, 0);
    openedAt = Clock::now();
    wake.notify_one();
    return true;
}

Uint64 CuePlayer::Impl::Milliseconds(Uint32 bytes) const
{
    const Uint32 frameBytes = SDL_AUDIO_BITSIZE(deviceFormat.format) / 8 * std::max<Uint32>(deviceFormat.channels, 1);
    return Uint64(bytes / std::max<Uint32>(frameBytes, 1)) * 1000 / Uint64(std::max(deviceFormat.freq, 1));
}

Uint32 CuePlayer::Impl::Bytes(Uint64 milliseconds) const
{
    const Uint32 frameBytes = SDL_AUDIO_BITSIZE(deviceFormat.format) / 8 * std::max<Uint32>(deviceFormat.channels, 1);
    return Uint32(Uint64(std::max(deviceFormat.freq, 0)) * milliseconds / 1000) * frameBytes;
}

Uint64 CuePlayer::Impl::PeriodMs() const
{
    const Uint64 rate = Uint64(std::max(deviceFormat.freq, 1));
    return (Uint64(deviceFormat.samples) * 1000 + rate - 1) / rate;
}

void CuePlayer::Impl::CloseWhenIdle()
{
    std::unique_lock<std::mutex> held(lock);
    while (!stopCloser) {
        if (device == 0) {
            wake.wait(held);
            continue;
        }
        if (wake.wait_until(held, closeAt) != std::cv_status::timeout || stopCloser || device == 0 ||
            Clock::now() < closeAt)
            continue;
        if (sdl->GetQueuedAudioSize(device) > 0) {
            // The device plays slower than the clock runs: look again later.
            closeAt = Clock::now() + std::chrono::milliseconds(PeriodMs());
            continue;
        }
        sdl->CloseAudioDevice(device);
        device = 0;
    }
}

Uint32 CuePlayer::Impl::Queued()
{
    std::lock_guard<std::mutex> hold(lock);
    return device != 0 ? sdl->GetQueuedAudioSize(device) : 0;
}

// Sleeps in steps of one device period, letting the caller's events run at
// each step. The queue is asked only once the cue should have ended: asking
// takes the device's lock, which the audio thread holds while it plays, and
// each time it is held the waiting thread wakes once more.
void CuePlayer::Impl::WaitUntilPlayed(Uint32 queuedBytes, const std::function<void()> &whileWaiting)
{
    const Uint64 periodMs = PeriodMs();
    const Uint64 start = sdl->GetTicks64();
    const Uint64 expectedEnd = start + Milliseconds(queuedBytes);
    const Uint64 giveUp = expectedEnd + periodMs + SyncSlackMs;
    for (;;) {
        if (whileWaiting)
            whileWaiting();
        if (released)
            return;
        const Uint64 now = sdl->GetTicks64();
        if (now >= expectedEnd && (Queued() == 0 || now >= giveUp))
            break;
        const Uint64 untilEnd = expectedEnd > now ? expectedEnd - now : periodMs;
        sdl->Delay(Uint32(std::clamp<Uint64>(untilEnd, 1, periodMs)));
    }
    // The queue reads empty while its last period is still in the device.
    sdl->Delay(Uint32(periodMs));
    if (whileWaiting && !released)
        whileWaiting();
}

// As WaitUntilPlayed, but returns once at most TailMs of sound is queued:
// the caller then has that long to queue what follows without a gap. The
// queue is asked every period, and more often near the tail, since a device
// may play faster than the clock runs (SDL's disk driver rounds its period
// down to whole milliseconds).
void CuePlayer::Impl::WaitUntilTail(Uint32 queuedBytes, const std::function<void()> &whileWaiting)
{
    const Uint32 tail = Bytes(TailMs);
    const Uint64 periodMs = PeriodMs();
    const Uint64 giveUp = sdl->GetTicks64() + Milliseconds(queuedBytes) + periodMs + SyncSlackMs;
    for (;;) {
        if (whileWaiting)
            whileWaiting();
        if (released)
            return;
        const Uint32 queued = Queued();
        if (queued <= tail || sdl->GetTicks64() >= giveUp)
            break;
        sdl->Delay(Uint32(std::clamp<Uint64>(Milliseconds(queued - tail) / 2, 1, periodMs)));
    }
    std::lock_guard<std::mutex> hold(lock);
    tailLetGo = true;
}

// Decodes the cue and queues it, after clearing the queue when cutOff (but
// for a tail let go). Returns the bytes queued in all, 0 when nothing of the
// cue plays.
Uint32 CuePlayer::Impl::Queue(const std::string &name, bool cutOff)
{
    // A name is one file in the cue folder, never a path.
    if (released || name.find('/') != std::string::npos || name.find('\0') != std::string::npos || !EnsureAudio())
        return 0;
    // A cue that fails to load leaves the one sounding alone, and the
    // device as it was. Read before the lock, which the closer waits on.
    if (!LoadCueFile(folder / (name + ".WAV"), cueStream, CueKey(), MaxCueFileSize))
        return 0;
    Uint32 queued = 0;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!EnsureDeviceLocked())
            return 0;
        const CueAudioFormat format{deviceFormat.freq, deviceFormat.format, deviceFormat.channels};
        if (!DecodeCue(cueStream, format, converted).empty())
            return 0;
        ScaleVolume(converted, deviceFormat.format, volume);
        const Uint32 length = Uint32(converted.size());
        // Cutting a sound mid-wave clicks; a tail that was let go is short
        // enough to be heard out.
        if (cutOff && !(tailLetGo && sdl->GetQueuedAudioSize(device) <= Bytes(TailMs)))
            sdl->ClearQueuedAudio(device);
        tailLetGo = false;
        // On a PulseAudio stream that has just opened, the start of what is
        // queued came out damaged (8 of 30 cues after a reopen were not heard
        // as recorded); the silence generated cues had at their head used to
        // take it. Up to a period of silence ahead of the cue takes it now.
        const Uint64 openFor =
            Uint64(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - openedAt).count());
        if (openFor < PeriodMs() && length > 0) {
            const std::vector<std::uint8_t> lead(Bytes(PeriodMs() - openFor), deviceFormat.silence);
            sdl->QueueAudio(device, lead.data(), Uint32(lead.size()));
        }
        // The queue holds its own copy, so the buffer may be reused at once.
        if (length > 0 && sdl->QueueAudio(device, converted.data(), length) == 0)
            queued = sdl->GetQueuedAudioSize(device);
        closeAt = Clock::now() + std::chrono::milliseconds(Milliseconds(queued) + PeriodMs()) + IdleCloseDelay;
    }
    wake.notify_one();
    return queued;
}

void CuePlayer::Impl::Release()
{
    released = true;
    if (preparer.joinable())
        preparer.join();
    {
        std::lock_guard<std::mutex> hold(lock);
        stopCloser = true;
        if (device != 0) {
            sdl->ClearQueuedAudio(device);
            sdl->CloseAudioDevice(device);
            device = 0;
        }
    }
    wake.notify_one();
    if (closer.joinable())
        closer.join();
    if (subsystemCounted)
        sdl->QuitSubSystem(SDL_INIT_AUDIO);
    else if (audioInitDirect)
        sdl->AudioQuit();
    subsystemCounted = audioInitDirect = false;
    std::vector<std::uint8_t>().swap(cueStream);
    std::vector<std::uint8_t>().swap(converted);
}

CuePlayer::CuePlayer(std::filesystem::path cueFolder) : impl_(std::make_unique<Impl>())
{
    impl_->folder = std::move(cueFolder);
}

CuePlayer::~CuePlayer()
{
    try {
        impl_->Release();
    } catch (...) {
    }
}

void CuePlayer::PlayCue(const std::string &name, bool async, const std::function<void()> &whileWaiting)
{
    try {
        const Uint32 queued = impl_->Queue(name, true);
        if (!async && queued > 0)
            impl_->WaitUntilPlayed(queued, whileWaiting);
    } catch (...) {
    }
}

void CuePlayer::PlayCueToTail(const std::string &name, Start start, const std::function<void()> &whileWaiting)
{
    try {
        const Uint32 queued = impl_->Queue(name, start == Start::CutOff);
        if (queued > 0)
            impl_->WaitUntilTail(queued, whileWaiting);
    } catch (...) {
    }
}

void CuePlayer::Prepare()
{
    Impl &d = *impl_;
    if (d.released || d.preparer.joinable())
        return;
    try {
        d.preparer = std::thread([&d] {
            try {
                d.EnsureAudio();
            } catch (...) {
                // The first cue tries again, as it would have without this.
            }
        });
    } catch (...) {
    }
}

void CuePlayer::SetVolume(int level)
{
    impl_->volume = std::clamp(level, 0, 10);
}

bool CuePlayer::IsSounding() const
{
    return !impl_->released && impl_->audioReady && impl_->Queued() > 0;
}

void CuePlayer::WaitForEnd(const std::function<void()> &whileWaiting)
{
    if (!IsSounding())
        return;
    try {
        impl_->WaitUntilPlayed(impl_->Queued(), whileWaiting);
    } catch (...) {
        // The cue is silent after all.
    }
}

void CuePlayer::ReleaseCueStream()
{
    try {
        impl_->Release();
    } catch (...) {
    }
}

std::filesystem::path CuePlayer::DefaultCueFolder()
{
    return FindProgramPiece("play");
}

} // namespace tallyvox
