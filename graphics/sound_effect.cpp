#include "graphics/sound_effect.h"

#include <cstdint>

#include "app/game.h"
#include "app/trace.h"
#include "config/numbered_files.h"

namespace kelvane {

void PlaySoundEffect(Game& g, int n) {
  // The effect number is a byte: scripts that add one to effect 255, or pass
  // a larger argument, wrap around instead of naming another file.
  const uint8_t number = static_cast<uint8_t>(n);
  if (g.trace) g.trace->SoundEffect(g.Now(), number);
  g.pf.sound->Play(g.st.dataFolder + "Y_q" + ZeroPad(2, number) + ".wav");
}

void StopSoundEffect(Game& g) {
  g.pf.sound->Stop();
}

}  // namespace kelvane
