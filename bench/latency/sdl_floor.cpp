// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of SDL's queue: a device open with PERIOD frames plays the cue
// NAME of the pack in FOLDER each time a line arrives on stdin, cutting off
// the one before. keysound_probe times the line's write.
//
// usage: sdl_floor FOLDER NAME PERIOD
#include "voice/CueDecoder.h"
#include "voice/CueScramble.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: sdl_floor FOLDER NAME PERIOD\n");
        return 2;
    }
    std::vector<std::uint8_t> image;
    if (!tallyvox::LoadCueFile(std::string(argv[1]) + "/" + argv[2] + ".WAV", image, tallyvox::CueKey(),
                               tallyvox::MaxCueFileSize)) {
        std::fprintf(stderr, "sdl_floor: no cue %s\n", argv[2]);
        return 2;
    }
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return 1;
    SDL_AudioSpec format{};
    Uint8 *samples = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(image.data(), int(image.size())), 1, &format, &samples, &length))
        return 1;
    format.samples = Uint16(std::atoi(argv[3]));
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &format, nullptr, 0);
    if (device == 0)
        return 1;
    SDL_PauseAudioDevice(device, 0);
    for (int c; (c = std::getchar()) != EOF;) {
        if (c != '\n')
            continue;
        SDL_ClearQueuedAudio(device);
        SDL_QueueAudio(device, samples, length);
    }
    SDL_CloseAudioDevice(device);
    SDL_FreeWAV(samples);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return 0;
}
