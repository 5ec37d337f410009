#include "platform/sdl/sdl_audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>

namespace kelvane {
namespace {
bool audioOpen = false;
constexpr int kEffectChannel = 0;  // one effect at a time
}  // namespace

bool OpenSdlAudio() {
  if (audioOpen) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "kelvane: no audio: %s\n", SDL_GetError());
    return false;
  }
  Mix_Init(MIX_INIT_MID | MIX_INIT_MP3);
  if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
    std::fprintf(stderr, "kelvane: no audio: %s\n", Mix_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  Mix_AllocateChannels(4);
  audioOpen = true;
  return true;
}

void CloseSdlAudio() {
  if (!audioOpen) return;
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  audioOpen = false;
}

struct SdlSoundEffects::Chunk {
  explicit Chunk(Mix_Chunk* c) : chunk(c) {}
  ~Chunk() { Mix_FreeChunk(chunk); }
  Mix_Chunk* chunk;
};

SdlSoundEffects::~SdlSoundEffects() { Stop(); }

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
