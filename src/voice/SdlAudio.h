// SPDX-License-Identifier: GPL-3.0-or-later
// The few SDL2 audio functions the cue player uses, loaded with dlopen at the
// first cue: linking SDL2 would load it and its ~30 dependencies (PulseAudio,
// Wayland, ...) before the window shows, for sound that may never be asked for.
#pragma once

#include <SDL.h>

namespace tallyvox {

struct SdlAudio {
    decltype(&::SDL_InitSubSystem) InitSubSystem;
    decltype(&::SDL_QuitSubSystem) QuitSubSystem;
    decltype(&::SDL_AudioInit) AudioInit;
    decltype(&::SDL_AudioQuit) AudioQuit;
    decltype(&::SDL_OpenAudioDevice) OpenAudioDevice;
    decltype(&::SDL_CloseAudioDevice) CloseAudioDevice;
    decltype(&::SDL_PauseAudioDevice) PauseAudioDevice;
    decltype(&::SDL_QueueAudio) QueueAudio;
    decltype(&::SDL_ClearQueuedAudio) ClearQueuedAudio;
    decltype(&::SDL_GetQueuedAudioSize) GetQueuedAudioSize;
    decltype(&::SDL_LoadWAV_RW) LoadWAV_RW;
    decltype(&::SDL_FreeWAV) FreeWAV;
    decltype(&::SDL_RWFromConstMem) RWFromConstMem;
    decltype(&::SDL_BuildAudioCVT) BuildAudioCVT;
    decltype(&::SDL_ConvertAudio) ConvertAudio;
    decltype(&::SDL_SetHint) SetHint;
    decltype(&::SDL_GetTicks64) GetTicks64;
    decltype(&::SDL_Delay) Delay;
    decltype(&::SDL_GetError) GetError;
};

// The loaded library's functions, or nullptr when SDL2 cannot be loaded (the
// player is then silent). Loaded once per process; never unloaded.
const SdlAudio *LoadSdlAudio();

} // namespace tallyvox
