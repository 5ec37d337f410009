#include "graphics/sound_effect.h"

#include "app/game.h"
#include "app/trace.h"
#include "config/numbered_files.h"

namespace kelvane {

void PlaySoundEffect(Game& g, int n) {
  if (g.trace) g.trace->SoundEffect(g.Now(), n);
  g.pf.sound->Play(g.st.dataFolder + "Y_q" + ZeroPad(2, n) + ".wav");
}

void StopSoundEffect(Game& g) { g.pf.sound->Stop(); }

}  // namespace kelvane
