// SDL2_mixer behind the sound effects (and, through the music player, BGM).
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace kelvane {

// Opens SDL's audio subsystem (no video) and the mixer; false when no audio
// device can be opened, in which case the game runs silently.
bool OpenSdlAudio();
void CloseSdlAudio();
bool SdlAudioIsOpen();
// Music loads running on worker threads; closing the audio waits for them,
// since the mixer must not shut down under a load.
void BeginSdlAudioLoad();
void EndSdlAudioLoad();
// True while a music load is running on a worker thread.
bool SdlAudioLoading();

// Music and effect loudness in percent (0 to 100, full by default). Kept
// across the device's opening and closing.
void SetSdlMusicVolume(int percent);
void SetSdlEffectsVolume(int percent);

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
