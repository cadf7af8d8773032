// SPDX-License-Identifier: GPL-3.0-or-later
#include "voice/CuePlayer.h"

#include "numbers/ProgramFolder.h"
#include "voice/CueScramble.h"
#include "voice/SdlAudio.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>

namespace tallyvox {

namespace {

// Frames per device period; a period is still in the device when the queue
// reads empty.
constexpr Uint16 DevicePeriodFrames = 512;
// A synchronous cue never blocks longer than its own length plus this, even
// if the device stops consuming.
constexpr Uint32 SyncSlackMs = 2000;
constexpr Uint32 WaitStepMs = 3;

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

} // namespace

struct CuePlayer::Impl {
    const SdlAudio *sdl = nullptr; // set once the device is opened
    std::filesystem::path folder;
    std::vector<std::uint8_t> cueStream; // the file image of the last cue, unscrambled
    std::vector<std::uint8_t> converted; // its samples in the device format
    bool released = false;
    bool audioTried = false;
    bool subsystemCounted = false; // SDL_InitSubSystem succeeded
    bool audioInitDirect = false;  // audio brought up by SDL_AudioInit alone
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec deviceFormat{};

    bool EnsureDevice();
    SDL_AudioDeviceID OpenDevice();
    bool Load(const std::string &name, const Uint8 **samples, Uint32 *length, Uint8 **wavToFree);
    void WaitUntilPlayed(Uint32 queuedBytes, const std::function<void()> &whileWaiting);
    void Release();
};

SDL_AudioDeviceID CuePlayer::Impl::OpenDevice()
{
    SDL_AudioSpec want{};
    want.freq = 22050;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = DevicePeriodFrames;
    return sdl->OpenAudioDevice(nullptr, 0, &want, &deviceFormat,
                                SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
}

bool CuePlayer::Impl::EnsureDevice()
{
    if (device != 0)
        return true;
    if (audioTried)
        return false;
    audioTried = true;

    sdl = LoadSdlAudio();
    if (!sdl)
        return false;
    SilenceAlsa();
    // SDL would otherwise take over SIGTERM and SIGINT, and the program could
    // no longer be ended by kill or a logout.
    sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (sdl->InitSubSystem(SDL_INIT_AUDIO) == 0) {
        subsystemCounted = true;
        device = OpenDevice();
    }
    if (device == 0) {
        // No usable sound device: the dummy driver keeps cue timing, so
        // synchronous read-outs still pace as they would with sound.
        sdl->AudioQuit();
        if (sdl->AudioInit("dummy") == 0) {
            audioInitDirect = !subsystemCounted;
            device = OpenDevice();
        }
    }
    if (device == 0)
        return false;
    sdl->PauseAudioDevice(device, 0);
    return true;
}

bool CuePlayer::Impl::Load(const std::string &name, const Uint8 **samples, Uint32 *length, Uint8 **wavToFree)
{
    // A name is one file in the cue folder, never a path.
    if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos)
        return false;
    if (!LoadCueFile(folder / (name + ".WAV"), cueStream, CueKey(), MaxCueFileSize))
        return false;

    sdl->SetHint(SDL_HINT_WAVE_TRUNCATION, "verystrict");
    SDL_AudioSpec cueFormat{};
    Uint8 *wav = nullptr;
    Uint32 wavLength = 0;
    if (!sdl->LoadWAV_RW(sdl->RWFromConstMem(cueStream.data(), int(cueStream.size())), 1, &cueFormat, &wav, &wavLength))
        return false;

    if (cueFormat.format == deviceFormat.format && cueFormat.channels == deviceFormat.channels &&
        cueFormat.freq == deviceFormat.freq) {
        *samples = wav;
        *length = wavLength;
        *wavToFree = wav;
        return true;
    }
    // SDL_AudioCVT rather than SDL_AudioStream: the stream of SDL 2.26 drops
    // the last few milliseconds when it resamples.
    SDL_AudioCVT cvt{};
    bool ok = sdl->BuildAudioCVT(&cvt, cueFormat.format, cueFormat.channels, cueFormat.freq, deviceFormat.format,
                                 deviceFormat.channels, deviceFormat.freq) >= 0;
    if (ok) {
        const Uint32 frameBytes = SDL_AUDIO_BITSIZE(cueFormat.format) / 8 * std::max<Uint32>(cueFormat.channels, 1);
        const Uint32 length = wavLength - wavLength % frameBytes;
        converted.resize(std::size_t(length) * std::size_t(std::max(cvt.len_mult, 1)));
        std::memcpy(converted.data(), wav, length);
        cvt.buf = converted.data();
        cvt.len = int(length);
        ok = length == 0 || sdl->ConvertAudio(&cvt) == 0;
        converted.resize(ok && length > 0 ? std::size_t(cvt.len_cvt) : 0);
    }
    sdl->FreeWAV(wav);
    if (!ok)
        return false;
    *samples = converted.data();
    *length = Uint32(converted.size());
    *wavToFree = nullptr;
    return true;
}

void CuePlayer::Impl::WaitUntilPlayed(Uint32 queuedBytes, const std::function<void()> &whileWaiting)
{
    const Uint32 frameBytes = SDL_AUDIO_BITSIZE(deviceFormat.format) / 8 * std::max<Uint32>(deviceFormat.channels, 1);
    const Uint32 rate = std::max(deviceFormat.freq, 1);
    const Uint64 durationMs = Uint64(queuedBytes / frameBytes) * 1000 / rate;
    const Uint64 periodMs = (Uint64(deviceFormat.samples) * 1000 + rate - 1) / rate;
    const Uint64 start = sdl->GetTicks64();
    const Uint64 giveUp = start + durationMs + periodMs + SyncSlackMs;

    const auto step = [&] {
        if (whileWaiting)
            whileWaiting();
        sdl->Delay(WaitStepMs);
    };
    while (!released && device != 0 && sdl->GetQueuedAudioSize(device) > 0 && sdl->GetTicks64() < giveUp)
        step();
    const Uint64 lastPeriodEnds = sdl->GetTicks64() + periodMs;
    while (!released && device != 0 && sdl->GetTicks64() < lastPeriodEnds)
        step();
}

void CuePlayer::Impl::Release()
{
    released = true;
    if (device != 0) {
        sdl->ClearQueuedAudio(device);
        sdl->CloseAudioDevice(device);
        device = 0;
    }
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
        Impl &d = *impl_;
        if (d.released || !d.EnsureDevice())
            return;
        const Uint8 *samples = nullptr;
        Uint32 length = 0;
        Uint8 *wav = nullptr;
        // A cue that fails to load leaves the one sounding alone.
        if (!d.Load(name, &samples, &length, &wav))
            return;
        // The queue holds its own copy, so the buffers may be reused at once.
        d.sdl->ClearQueuedAudio(d.device);
        const bool queued = length == 0 || d.sdl->QueueAudio(d.device, samples, length) == 0;
        if (wav)
            d.sdl->FreeWAV(wav);
        if (!async && queued && length > 0)
            d.WaitUntilPlayed(length, whileWaiting);
    } catch (...) {
    }
}

bool CuePlayer::IsSounding() const
{
    return !impl_->released && impl_->device != 0 && impl_->sdl->GetQueuedAudioSize(impl_->device) > 0;
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
