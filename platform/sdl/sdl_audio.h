// SDL2_mixer behind the sound effects and, through the music stream, BGM.
#pragma once

#include <memory>
#include <string>

#include "music/sound_balance.h"
#include "platform/platform.h"

namespace kelvane {

// Opens SDL's audio subsystem (no video) and the mixer, starts the
// synthesiser if it is not running yet, and feeds the music stream into the
// mixer's output; false when no audio device can be opened, in which case
// the game runs silently.
bool OpenSdlAudio();
void CloseSdlAudio();
bool SdlAudioIsOpen();

// The effects sit this far under their files' own level at full effects
// volume: the default effects sound at about -18 dBFS RMS while they last,
// the tunes at about -26, so at their files' level the effects drowned the
// music; halved (-6 dB) they stand a little above it and both are heard.
// With every tune at the game's one loudness, the effects take the gain
// set against that loudness instead.
inline constexpr float kEffectsBalance = static_cast<float>(sound_balance::kEffectsFactorAsMade);
float EffectsBalance();

// Master volumes of the music and of the sound effects, 0 (silent) to 1
// (full, the default). They hold across opening and closing the audio and
// may be set before it opens.
void SetMusicVolume(float volume);
void SetEffectsVolume(float volume);
float MusicVolume();
float EffectsVolume();

// SDL_mixer's own music (WAV and MP3 tunes) fades over a few milliseconds
// like the music stream. Halt and Pause ramp a sounding tune down first and
// return once it is silent (at most about 40 ms); Resume ramps it back up,
// and FadeInSdlMusic, called before Mix_PlayMusic, starts the next tune
// from silence.
void HaltSdlMusic();
void PauseSdlMusic();
void ResumeSdlMusic();
void FadeInSdlMusic();
// The factor that brings the next WAV or MP3 tune to the game's loudness
// (set before it starts).
void SetSdlMusicLevel(float level);

class SdlSoundEffects : public SoundEffects {
 public:
  ~SdlSoundEffects() override;
  void Play(const std::string& path) override;
  void Stop() override;

 private:
  struct Chunk;
  std::shared_ptr<Chunk> playing_;
};

}  // namespace kelvane
