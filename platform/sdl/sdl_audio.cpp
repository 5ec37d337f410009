#include "platform/sdl/sdl_audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

#include "platform/sdl/music_stream.h"
#include "platform/sdl/synthesiser.h"

namespace kelvane {
namespace {

bool audioOpen = false;
constexpr int kEffectChannel = 0;  // one effect at a time
// 256 frames (6 ms) a mix: a tune asked for starts within one of them, so
// its first note comes well inside 20 ms. 512 frames saved about 1.5 % of a
// core but now and then took 30 ms.
constexpr int kMixFrames = 256;
std::atomic<float> musicVolume{1.0f};
std::atomic<float> effectsVolume{1.0f};

float ClampVolume(float v) {
  return v != v ? 1.0f : std::clamp(v, 0.0f, 1.0f);  // NaN counts as full
}

int MixerVolume(float v) {
  return static_cast<int>(std::lround(v * MIX_MAX_VOLUME));
}

// The music stream joins the mixer's output after the effects; SDL_mixer's
// own music (WAV and MP3 tunes) keeps playing underneath, so the stream's
// fade-out of one tune can overlap the start of a tune of the other kind.
void MixMusicStream(void*, Uint8* stream, int bytes) {
  RenderMusicStream(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(bytes) / 4);
}

}  // namespace

void SetMusicVolume(float volume) {
  musicVolume = ClampVolume(volume);
  SetStreamVolume(musicVolume);
  if (audioOpen) Mix_VolumeMusic(MixerVolume(musicVolume));
}

void SetEffectsVolume(float volume) {
  effectsVolume = ClampVolume(volume);
  if (audioOpen) Mix_Volume(kEffectChannel, MixerVolume(effectsVolume));
}

float MusicVolume() {
  return musicVolume;
}

float EffectsVolume() {
  return effectsVolume;
}

bool SdlAudioIsOpen() {
  return audioOpen;
}

bool OpenSdlAudio() {
  if (audioOpen) return true;
  // The timer stops a WAV or MP3 play at its end position.
  if (SDL_InitSubSystem(SDL_INIT_AUDIO | SDL_INIT_TIMER) != 0) {
    std::fprintf(stderr, "kelvane: no audio: %s\n", SDL_GetError());
    return false;
  }
  StartSynthesiser();
  Mix_Init(MIX_INIT_MP3);
  // Signed 16-bit stereo at the synthesiser's rate: the stream writes that.
  if (Mix_OpenAudioDevice(kStreamRate, AUDIO_S16SYS, 2, kMixFrames, nullptr, 0) != 0) {
    std::fprintf(stderr, "kelvane: no audio: %s\n", Mix_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_TIMER);
    return false;
  }
  Mix_AllocateChannels(4);
  ResetMusicStream();
  Mix_SetPostMix(MixMusicStream, nullptr);
  audioOpen = true;
  SetMusicVolume(musicVolume);
  SetEffectsVolume(effectsVolume);
  return true;
}

void CloseSdlAudio() {
  if (!audioOpen) return;
  Mix_SetPostMix(nullptr, nullptr);
  ResetMusicStream();
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_TIMER);
  audioOpen = false;
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
