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
