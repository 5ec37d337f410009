#include "platform/sdl/sdl_audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <vector>

#include "music/sound_balance.h"
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

// SDL_mixer's own music (WAV and MP3 tunes) fades like the music stream.
// The mixer adds the effect channel to its music before the post-mix sees
// the block, so the channel's samples are taken aside on the way (and
// silenced there): the post-mix then holds the music alone, fades it and
// adds the effect back. All of this runs on the audio thread.
std::vector<int16_t> effectTap;  // this block's effect samples
size_t effectTapped = 0;
float sdlMusicGain = 1.0f;                  // audio thread only
std::atomic<bool> sdlMusicAudible{true};    // the gain the music fades to
std::atomic<bool> sdlMusicSilent{false};    // faded out completely
std::atomic<bool> sdlMusicFromSilence{false};
std::atomic<float> sdlMusicLevel{1.0f};     // the tune's loudness factor

void TapEffect(int, void* stream, int bytes, void*) {
  auto* samples = static_cast<int16_t*>(stream);
  const size_t count = static_cast<size_t>(bytes) / 2;
  if (effectTap.size() < effectTapped + count) effectTap.resize(effectTapped + count);
  std::copy(samples, samples + count, effectTap.begin() + static_cast<std::ptrdiff_t>(effectTapped));
  effectTapped += count;
  std::fill(samples, samples + count, int16_t{0});
}

void FadeSdlMusic(int16_t* out, size_t frames) {
  if (sdlMusicFromSilence.exchange(false)) sdlMusicGain = 0.0f;
  const float target = sdlMusicAudible ? 1.0f : 0.0f;
  const float level = sdlMusicLevel;
  constexpr float kStep = 1.0f / static_cast<float>(kRampFrames);
  for (size_t i = 0; i < frames * 2; i += 2) {
    if (sdlMusicGain < target) sdlMusicGain = std::min(target, sdlMusicGain + kStep);
    if (sdlMusicGain > target) sdlMusicGain = std::max(target, sdlMusicGain - kStep);
    if (sdlMusicGain >= 1.0f && level == 1.0f) continue;
    // The level keeps the true peak under full scale; the clamp guards
    // against a figure that no longer fits the file.
    for (size_t c = i; c < i + 2; ++c)
      out[c] = static_cast<int16_t>(
          std::clamp(std::lround(static_cast<float>(out[c]) * sdlMusicGain * level), -32768L, 32767L));
  }
  if (target == 0.0f && sdlMusicGain == 0.0f) sdlMusicSilent = true;
}

}  // namespace

float EffectsBalance() {
  return LoudnessNormalised()
             ? static_cast<float>(sound_balance::GainFactor(sound_balance::kEffectsGainDb))
             : kEffectsBalance;
}

namespace {

void AddTappedEffect(int16_t* out, size_t samples) {
  const float volume = effectsVolume * EffectsBalance();
  const size_t n = std::min(samples, effectTapped);
  for (size_t i = 0; i < n; ++i) {
    const long sum = out[i] + std::lround(static_cast<float>(effectTap[i]) * volume);
    out[i] = static_cast<int16_t>(std::clamp(sum, -32768L, 32767L));
  }
  effectTapped = 0;
}

// Ramps SDL_mixer's music down if it is sounding and returns once it is
// silent.
void FadeOutSdlMusic() {
  if (!audioOpen || !Mix_PlayingMusic() || Mix_PausedMusic()) return;
  sdlMusicSilent = false;
  sdlMusicAudible = false;
  // One mix period and the ramp; a device that has stopped calling back
  // is not waited for longer.
  for (int waited = 0; waited < 40 && !sdlMusicSilent; ++waited) SDL_Delay(1);
}

// The post-mix: SDL_mixer's music faded, the effect added back, then the
// music stream, so the stream's fade-out of one tune can overlap the start
// of a WAV or MP3 tune.
void MixMusicStream(void*, Uint8* stream, int bytes) {
  auto* out = reinterpret_cast<int16_t*>(stream);
  const size_t frames = static_cast<size_t>(bytes) / 4;
  FadeSdlMusic(out, frames);
  AddTappedEffect(out, frames * 2);
  RenderMusicStream(out, frames);
}

}  // namespace

void SetMusicVolume(float volume) {
  musicVolume = ClampVolume(volume);
  SetStreamVolume(musicVolume);
  if (audioOpen) Mix_VolumeMusic(MixerVolume(musicVolume));
}

void SetEffectsVolume(float volume) {
  // Applied where the tapped effect is added back.
  effectsVolume = ClampVolume(volume);
}

void SetSdlMusicLevel(float level) {
  sdlMusicLevel = level;
}

void FadeInSdlMusic() {
  sdlMusicFromSilence = true;
  sdlMusicAudible = true;
}

void HaltSdlMusic() {
  FadeOutSdlMusic();
  Mix_HaltMusic();
}

void PauseSdlMusic() {
  FadeOutSdlMusic();
  Mix_PauseMusic();
}

void ResumeSdlMusic() {
  FadeInSdlMusic();
  Mix_ResumeMusic();
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
  effectTap.assign(static_cast<size_t>(kMixFrames) * 2 * 4, 0);
  effectTapped = 0;
  sdlMusicAudible = true;
  sdlMusicFromSilence = false;
  Mix_SetPostMix(MixMusicStream, nullptr);
  audioOpen = true;
  SetMusicVolume(musicVolume);
  return true;
}

void CloseSdlAudio() {
  if (!audioOpen) return;
  Mix_SetPostMix(nullptr, nullptr);
  ResetMusicStream();
  Mix_HaltChannel(-1);
  Mix_UnregisterAllEffects(kEffectChannel);
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
  // The mixer drops a channel's effects whenever the channel halts or
  // finishes, so the tap goes on afresh for every effect; without it the
  // effect would miss its volume and sit inside the WAV/MP3 fade, which
  // holds at silence once such a tune has stopped.
  Mix_RegisterEffect(kEffectChannel, TapEffect, nullptr, nullptr);
  Mix_PlayChannel(kEffectChannel, c, 0);
}

void SdlSoundEffects::Stop() {
  if (audioOpen) Mix_HaltChannel(kEffectChannel);
  playing_.reset();
}

}  // namespace kelvane
