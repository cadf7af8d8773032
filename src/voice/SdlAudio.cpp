// SPDX-License-Identifier: GPL-3.0-or-later
#include "voice/SdlAudio.h"

#include <dlfcn.h>

namespace tallyvox {

namespace {

template <typename F>
bool Resolve(void *lib, const char *name, F *out)
{
    *out = reinterpret_cast<F>(dlsym(lib, name));
    return *out != nullptr;
}

const SdlAudio *Load()
{
    void *lib = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return nullptr;
    static SdlAudio api{};
    const bool ok =
        Resolve(lib, "SDL_InitSubSystem", &api.InitSubSystem) &&
        Resolve(lib, "SDL_QuitSubSystem", &api.QuitSubSystem) && Resolve(lib, "SDL_AudioInit", &api.AudioInit) &&
        Resolve(lib, "SDL_AudioQuit", &api.AudioQuit) && Resolve(lib, "SDL_OpenAudioDevice", &api.OpenAudioDevice) &&
        Resolve(lib, "SDL_CloseAudioDevice", &api.CloseAudioDevice) &&
        Resolve(lib, "SDL_PauseAudioDevice", &api.PauseAudioDevice) &&
        Resolve(lib, "SDL_QueueAudio", &api.QueueAudio) &&
        Resolve(lib, "SDL_ClearQueuedAudio", &api.ClearQueuedAudio) &&
        Resolve(lib, "SDL_GetQueuedAudioSize", &api.GetQueuedAudioSize) &&
        Resolve(lib, "SDL_LoadWAV_RW", &api.LoadWAV_RW) && Resolve(lib, "SDL_FreeWAV", &api.FreeWAV) &&
        Resolve(lib, "SDL_RWFromConstMem", &api.RWFromConstMem) &&
        Resolve(lib, "SDL_BuildAudioCVT", &api.BuildAudioCVT) && Resolve(lib, "SDL_ConvertAudio", &api.ConvertAudio) &&
        Resolve(lib, "SDL_SetHint", &api.SetHint) && Resolve(lib, "SDL_GetTicks64", &api.GetTicks64) &&
        Resolve(lib, "SDL_Delay", &api.Delay) && Resolve(lib, "SDL_GetError", &api.GetError);
    return ok ? &api : nullptr;
}

} // namespace

const SdlAudio *LoadSdlAudio()
{
    static const SdlAudio *api = Load();
    return api;
}

} // namespace tallyvox
