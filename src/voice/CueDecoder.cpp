// SPDX-License-Identifier: GPL-3.0-or-later
#include "voice/CueDecoder.h"

#include "voice/SdlAudio.h"

#include <algorithm>
#include <cstring>

namespace tallyvox {

static_assert(CueAudioFormat{}.sampleFormat == AUDIO_S16SYS);

std::string DecodeCue(const std::vector<std::uint8_t> &image, const CueAudioFormat &to,
                      std::vector<std::uint8_t> &samples)
{
    try {
        const SdlAudio *sdl = LoadSdlAudio();
        if (!sdl)
            return "SDL2 cannot be loaded";
        sdl->SetHint(SDL_HINT_WAVE_TRUNCATION, "verystrict");
        SDL_AudioSpec from{};
        Uint8 *wav = nullptr;
        Uint32 length = 0;
        if (image.size() > std::size_t(INT32_MAX) ||
            !sdl->LoadWAV_RW(sdl->RWFromConstMem(image.data(), int(image.size())), 1, &from, &wav, &length))
            return std::string("not a WAV image SDL plays: ") + sdl->GetError();
        struct WavBuffer {
            const SdlAudio *sdl;
            Uint8 *wav;
            ~WavBuffer() { sdl->FreeWAV(wav); }
        } owned{sdl, wav};

        if (from.freq < MinCueRate || from.freq > MaxCueRate)
            return "sample rate " + std::to_string(from.freq) + " Hz, not " + std::to_string(MinCueRate) + "-" +
                   std::to_string(MaxCueRate) + " Hz";
        if (from.channels < 1 || from.channels > MaxCueChannels)
            return std::to_string(from.channels) + " channels, not 1 or 2";
        const Uint32 frameBytes = SDL_AUDIO_BITSIZE(from.format) / 8 * Uint32(from.channels);
        if (frameBytes == 0)
            return "no whole sample frames";
        // Checked before converting, so a long cue costs no conversion.
        if (length / frameBytes > Uint64(from.freq) * MaxCueSeconds)
            return "longer than " + std::to_string(MaxCueSeconds) + " s";
        length -= length % frameBytes;

        if (from.format == to.sampleFormat && from.channels == to.channels && from.freq == to.rate) {
            samples.assign(wav, wav + length);
            return {};
        }
        // SDL_AudioCVT rather than SDL_AudioStream: the stream of SDL 2.26
        // drops the last few milliseconds when it resamples.
        SDL_AudioCVT cvt{};
        if (sdl->BuildAudioCVT(&cvt, from.format, Uint8(from.channels), from.freq, to.sampleFormat, Uint8(to.channels),
                               to.rate) < 0)
            return std::string("cannot be converted: ") + sdl->GetError();
        samples.clear();
        if (length == 0)
            return {}; // an empty data chunk: nothing to convert, and no buffer to copy from
        samples.resize(std::size_t(length) * std::size_t(std::max(cvt.len_mult, 1)));
        std::memcpy(samples.data(), wav, length);
        cvt.buf = samples.data();
        cvt.len = int(length);
        if (sdl->ConvertAudio(&cvt) != 0) {
            samples.clear();
            return std::string("cannot be converted: ") + sdl->GetError();
        }
        samples.resize(std::size_t(cvt.len_cvt));
        return {};
    } catch (...) {
        samples.clear();
        return "out of memory";
    }
}

} // namespace tallyvox
