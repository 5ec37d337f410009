#include "platform/sdl/sdl_audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace kelvane {
namespace {
bool audioOpen = false;
std::mutex loadMutex;
std::condition_variable loadsDone;
int loadsInFlight = 0;
constexpr int kEffectChannel = 0;  // one effect at a time
int musicVolume = MIX_MAX_VOLUME;
int effectsVolume = MIX_MAX_VOLUME;

int MixerVolume(int percent) {
  return std::clamp(percent, 0, 100) * MIX_MAX_VOLUME / 100;
}

// The General MIDI soundfont for FluidSynth: one named in SDL_SOUNDFONTS
// wins (SDL_mixer reads it itself), else the first one installed.
void ChooseSoundFont() {
  if (SDL_getenv("SDL_SOUNDFONTS")) return;
  for (const char* path :
       {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
        "/usr/share/soundfonts/default.sf2"}) {
    if (std::FILE* f = std::fopen(path, "rb")) {
      std::fclose(f);
      Mix_SetSoundFonts(path);
      return;
    }
  }
  std::fprintf(stderr, "kelvane: no General MIDI soundfont found; MIDI tunes may stay silent\n");
}
}  // namespace

bool SdlAudioIsOpen() {
  return audioOpen;
}

void BeginSdlAudioLoad() {
  std::lock_guard<std::mutex> lock(loadMutex);
  ++loadsInFlight;
}

bool SdlAudioLoading() {
  std::lock_guard<std::mutex> lock(loadMutex);
  return loadsInFlight > 0;
}

void EndSdlAudioLoad() {
  {
    std::lock_guard<std::mutex> lock(loadMutex);
    --loadsInFlight;
  }
  loadsDone.notify_all();
}

bool OpenSdlAudio() {
  if (audioOpen) return true;
  // The timer stops a play at its end position.
  if (SDL_InitSubSystem(SDL_INIT_AUDIO | SDL_INIT_TIMER) != 0) {
    std::fprintf(stderr, "kelvane: no audio: %s\n", SDL_GetError());
    return false;
  }
  ChooseSoundFont();
  Mix_Init(MIX_INIT_MID | MIX_INIT_MP3);
  if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
    std::fprintf(stderr, "kelvane: no audio: %s\n", Mix_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_TIMER);
    return false;
  }
  Mix_AllocateChannels(4);
  Mix_VolumeMusic(musicVolume);
  Mix_Volume(kEffectChannel, effectsVolume);
  audioOpen = true;
  return true;
}

void CloseSdlAudio() {
  if (!audioOpen) return;
  {
    // A soundfont load takes about a second; ten is plenty.
    std::unique_lock<std::mutex> lock(loadMutex);
    loadsDone.wait_for(lock, std::chrono::seconds(10), [] { return loadsInFlight == 0; });
  }
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_TIMER);
  audioOpen = false;
}

void SetSdlMusicVolume(int percent) {
  musicVolume = MixerVolume(percent);
  if (audioOpen) Mix_VolumeMusic(musicVolume);
}

void SetSdlEffectsVolume(int percent) {
  effectsVolume = MixerVolume(percent);
  if (audioOpen) Mix_Volume(kEffectChannel, effectsVolume);
}

struct SdlSoundEffects::Chunk {
  explicit Chunk(Mix_Chunk* c) : chunk(c) {}
  ~Chunk() { Mix_FreeChunk(chunk); }
  Mix_Chunk* chunk;
};

SdlSoundEffects::~SdlSoundEffects() {
  Stop();
}

void SdlSoundEffects::Play(const std::string& path) {
  if (!audioOpen) return;
  Mix_HaltChannel(kEffectChannel);
  playing_.reset();
  Mix_Chunk* c = Mix_LoadWAV(path.c_str());
  if (!c) return;  // a missing file plays nothing
  playing_ = std::make_shared<Chunk>(c);
  Mix_PlayChannel(kEffectChannel, c, 0);
}

void SdlSoundEffects::Stop() {
  if (audioOpen) Mix_HaltChannel(kEffectChannel);
  playing_.reset();
}

}  // namespace kelvane
